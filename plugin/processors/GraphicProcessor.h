// Graphic processors: the objects through which a composite graphic handles one picture file. They own the
// file reader, answer size questions in device units, carry the clipping path and write the intermediate PDF.
#pragma once

#include "CallasRip.h"
#include "EPSVectorFileReader.h"
#include "Rip.h"

#include "brask/Graphics.h"
#include "brask/IClassFactory.h"
#include "brask/IO.h"
#include "brask/TObject.h"

#include <memory>
#include <string>

namespace BRASK::PLUGIN {

class GraphicProcessor : public TObject<IObject> {
public:
    // `factory` makes every host object the processor needs; both it and `uri` (may be null) are borrowed.
    GraphicProcessor(IClassFactory* factory, IO::IURI* uri) : mFactory(factory), mURI(uri) {}

    virtual Status Init() = 0;
    virtual void SetOutputResolution(float resolution) = 0;
    virtual Status CreatePDF() = 0;

protected:
    ~GraphicProcessor() override = default;

    std::unique_ptr<std::uint8_t[]> mWorkBuffer;
    IClassFactory* mFactory;
    IO::IURI* mURI;
};

class EPSGraphicProcessor : public GraphicProcessor {
public:
    static constexpr Status kInitFailed = 18;

    // Holds a reference to `dataProvider`.
    EPSGraphicProcessor(IClassFactory* factory, IO::IDataProvider* dataProvider, IO::IURI* uri);

    // Reads the DSC comments and takes the clipping path from the Photoshop resources; 18 when already done
    // or when the comments could not be read.
    Status Init() override;

    virtual std::uint16_t GetCustomColorListSize() const;
    virtual const std::uint16_t* GetCustomColorList() const;
    virtual std::uint32_t GetTIFFOffset() const;

    // Size in device units: pixels of an embedded image, else points scaled by the resolution / 72.
    float Width() const;
    float Height() const;

    const EPSVectorFileReader* GetFileReader() const { return mFileReader.get(); }
    GRAPHICS::IPathCollection* GetClippingPath() const { return mClippingPath.Get(); }
    std::uint8_t GetColorSpaceByte() const { return mColorSpaceByte; }
    // The interpreter RIP that distilled the PDF; null on the converter path.
    JawsRip* GetJawsRip() const { return mRip.get(); }

protected:
    ~EPSGraphicProcessor() override;
    float DeviceSize(float points, const char* message, const char* function) const;

    TInterfacePtr<IO::IDataProvider> mDataProvider;
    std::unique_ptr<EPSVectorFileReader> mFileReader;
    TInterfacePtr<IObject> mRasterComponent;
    TInterfacePtr<GRAPHICS::IPathCollection> mClippingPath;
    float mResolution = 72.0f;
    std::int32_t mColorSpace = 0;
    std::uint8_t mColorSpaceByte = 0;
    std::unique_ptr<JawsRip> mRip;
};

class PDFOutputEPSGraphicProcessor : public EPSGraphicProcessor {
public:
    PDFOutputEPSGraphicProcessor(IClassFactory* factory, IO::IDataProvider* dataProvider, IO::IURI* uri,
                                 const CoreString& pdfPath, bool useCallas, bool processorFlag);

    void SetOutputResolution(float resolution) override;
    // Writes the PDF through the converter or the interpreter: the RIP's status, 7 when the conversion
    // could not run or failed.
    Status CreatePDF() override;

    const std::string& GetOutputPath() const { return mOutputPath; }

private:
    std::string mOutputPath;
    std::uint8_t mUseCallas;
    std::uint8_t mProcessorFlag;
    std::unique_ptr<CallasRip> mCallasRip;
};

class PDFOutputSVGGraphicProcessor : public GraphicProcessor {
public:
    PDFOutputSVGGraphicProcessor(IClassFactory* factory, IO::IURI* uri, const CoreString& pdfPath,
                                 bool processorFlag);

    Status Init() override { return kOK; }
    void SetOutputResolution(float) override {}
    // Converts the SVG through the converter: 0, or 7 when the conversion could not run or failed.
    Status CreatePDF() override;

private:
    std::string mOutputPath;
    std::uint8_t mProcessorFlag;
    std::unique_ptr<CallasRip> mCallasRip;
};

} // namespace BRASK::PLUGIN
