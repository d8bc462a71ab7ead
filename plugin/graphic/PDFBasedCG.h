// PDFBasedCG: the composite graphic the host receives for an EPS or SVG picture. Init converts the picture to
// an intermediate PDF, has the host build a PDF graphic from it and keeps that graphic's connection space;
// the attached filter-information dictionary tells the host what was imported.
#pragma once

#include "BaseTileAdaptor.h"
#include "GraphicProcessor.h"

#include "brask/CoreString.h"
#include "brask/FileSys.h"
#include "brask/Graphics.h"
#include "brask/IDictionary.h"
#include "brask/IO.h"

#include <optional>

namespace BRASK::COREREGISTRY {

// Base of the plug-in's composite graphics.
class BaseCompositeGraphic : public BaseTileAdaptor<GRAPHICS::ICompositeGraphic> {};

class PDFBasedCG : public BaseCompositeGraphic {
public:
    // Status codes of Init and the operations it runs.
    static constexpr Status kNoFileURI = 3;
    static constexpr Status kSourceReadFailed = 4;
    static constexpr Status kNoGraphicDictionary = 11;
    static constexpr Status kNoDictionary = 12;
    static constexpr Status kNoCopyMemory = 18;
    static constexpr Status kNoFilterDictionary = 28;

    // The marker inserted into an Illustrator file's first line.
    static constexpr char kEPSFMarker[] = " EPSF-3.0 ";
    static constexpr std::uint32_t kEPSFMarkerLength = 10;

    PDFBasedCG() = default;

    // The host's entry points; an exception inside is logged and answered with 7.
    Status AdaptTile(GRAPHICS::ITile* inputTile, GRAPHICS::ITile* outputTile) override;
    Status Init(IClassFactory& factory, IO::IDataProvider& source, const IDictionary* options) override;

    // Makes the filter-information dictionary with its fixed format keys through `factory` and attaches it;
    // 0 or 12.
    Status CreateDictionaryWithFilterInfoKeys(IClassFactory* factory);
    // Takes the connection space of the intermediate PDF graphic through a tile made by `factory` (borrowed).
    bool GetConnectionSpaceForInputGraphic(IClassFactory& factory,
                                           GRAPHICS::IConnectionSpace*& connectionSpace);

    Status ProcessEPSToConnectionSpace(IClassFactory& factory, IO::IDataProvider& source,
                                       const IDictionary* options, bool useCallas, bool processorFlag,
                                       IDictionary* filterDictionary, CoreString& pdfPath);
    Status ProcessSVGToConnectionSpace(IClassFactory& factory, IO::IDataProvider& source, IO::IURI* uri,
                                       const IDictionary* options, bool processorFlag,
                                       IDictionary* filterDictionary, CoreString& pdfPath);

    // For tests and the host: what Init prepared.
    IO::IURI* GetSourceURI() const { return mSourceURI.Get(); }
    FILE_SYS::IFile* GetTempFile() const { return mTempFile.Get(); }
    const CoreString& GetPDFPath() const { return mPDFPath; }

protected:
    ~PDFBasedCG() override;

    // The intermediate PDF graphic, set by the host's discovery service during a Process operation.
    TInterfacePtr<GRAPHICS::ICompositeGraphic> mPDFGraphic;

private:
    // Init's work; Init runs it behind the guard of host calls.
    Status InitUnguarded(IClassFactory& factory, IO::IDataProvider& source, const IDictionary* options);
    // Copies `source` into a new temporary file and points mSourceURI at it.
    Status CopySourceToTempFile(IClassFactory& factory, IO::IDataProvider& source, std::uint32_t fileType);
    // Copies every byte of `source` to `target` through one buffer (halved until it can be had); with
    // `markerAt`, the EPSF marker is written once before that source byte.
    static Status CopyProviderBytes(IO::IDataProvider& source, IO::IDataProvider& target,
                                    std::optional<std::uint32_t> markerAt, const char* function);
    // Repairs an Illustrator file whose first line lacks the EPSF marker: a copy with the marker inserted,
    // whose DOS binary header (when it has one) is made to describe the copy.
    Status InsertEPSFStringHeader(IClassFactory& factory, IO::IDataProvider& source,
                                  TInterfacePtr<IO::IDataProvider>& repaired,
                                  const PLUGIN::EPSGraphicProcessor& processor);
    // Writes the bounding box, size checks, colour spaces, flags, custom colours and ICC profile of the EPS.
    void WriteEPSFilterInfo(PLUGIN::PDFOutputEPSGraphicProcessor& processor, IDictionary& filterDictionary,
                            float userWidth, float userHeight);
    // Makes the intermediate PDF's path safe, has the processor write the PDF there and adopts it when it is
    // the file this conversion made; a failed conversion fails with its own status.
    Status ConvertAndAdoptPDF(PLUGIN::GraphicProcessor& processor, IClassFactory& factory,
                              const IDictionary* options, IDictionary& filterDictionary,
                              const CoreString& pdfPath, float& userWidth, float& userHeight, bool svgRules,
                              const char* function);
    // Opens the intermediate PDF, has the host make its graphic, keeps its connection space and copies its
    // size into the filter dictionary; deletes the PDF file once the host has read it.
    Status AdoptIntermediatePDF(IClassFactory& factory, const IDictionary* options,
                                IDictionary& filterDictionary, const CoreString& pdfPath, float& userWidth,
                                float& userHeight, bool svgRules, const char* function);

    TInterfacePtr<IO::IURI> mSourceURI;
    TInterfacePtr<FILE_SYS::IFile> mTempFile;
    CoreString mPDFPath;
};

// Makes a new empty file with a unique name in the temporary folder of `factory`'s host; `suffix` (may be
// null) ends the name. `file` stays empty without a class factory or when no name could be created.
void CreateUniqueTempFile(IClassFactory* factory, TInterfacePtr<FILE_SYS::IFile>& file, const char* suffix);

// The intermediate PDF path for the calling thread: <temporary folder>/<thread id>temp.pdf, the folder taken
// from the core registry, else from `factory`. Empty when neither gives a temporary folder.
CoreString IntermediatePDFPath(IClassFactory& factory);

} // namespace BRASK::COREREGISTRY
