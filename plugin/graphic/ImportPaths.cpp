// The EPS and SVG conversion paths: a graphic processor writes the intermediate PDF, the host turns it into a
// PDF graphic whose connection space this graphic keeps, and the filter dictionary learns what was placed.
#include "GraphicLog.h"
#include "IntermediatePDF.h"
#include "PDFBasedCG.h"

#include "LibUtils.h"

#include "MemoryManager.h"
#include "Platform.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <vector>

namespace BRASK::COREREGISTRY {

namespace {
constexpr char kProcessEPSFunction[] =
    "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::ProcessEPSToConnectionSpace(class BRASK::IClassFactory "
    "&,class "
    "BRASK::IO::IDataProvider &,const class BRASK::IDictionary *,bool,bool,class BRASK::IDictionary *,class "
    "BRASK::STRING::CoreString &)";
constexpr char kProcessSVGFunction[] =
    "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::ProcessSVGToConnectionSpace(class BRASK::IClassFactory "
    "&,class "
    "BRASK::IO::IDataProvider &,class BRASK::IO::IURI *,const class BRASK::IDictionary *,bool,class "
    "BRASK::IDictionary *,class BRASK::STRING::CoreString &)";
constexpr char kInsertHeaderFunction[] =
    "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::InsertEPSFStringHeader(class BRASK::IO::IDataProvider "
    "&,class "
    "BRASK::IO::IURI &,class BRASK::TInterfacePtr<class BRASK::IO::IDataProvider> &,class "
    "BRASK::PLUGIN::EPSGraphicProcessor *)";
constexpr char kNoHeaderMessage[] = " File does not contains EPSF- string in the header";

constexpr float kMinimumSize = 3.0f;
constexpr double kSizeTolerance = 1.0;

float Points(PLUGIN::Fixed value) {
    return static_cast<float>(FixedToPoints(value));
}

// The characters after the last "." (each unit reduced to its low byte), upper-cased; the whole text without
// one.
std::string UpperExtension(const CoreString& path) {
    const std::size_t dot = path.rfind(u'.');
    const std::size_t start = dot == CoreString::npos ? 0 : dot + 1;
    std::string extension;
    for (std::size_t i = start; i < path.length(); ++i)
        extension += static_cast<char>(std::toupper(static_cast<unsigned char>(path[i] & 0xFF)));
    return extension;
}

using Bytes = std::vector<std::uint8_t>;

void PutLittleEndian(Bytes& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// The 30 bytes of the DOS binary header of a copy with the EPSF marker inserted at file offset `insertion`;
// the checksum is 0xFFFF (none computed).
Bytes RepairedBinaryHeader(const PLUGIN::EPSVectorFileReader& reader, std::uint32_t insertion) {
    const PLUGIN::DOSBinaryHeader& header = reader.GetEPSInfo()->binaryHeader;
    const auto moved = [insertion](std::uint32_t offset) {
        return offset >= insertion && offset <= UINT32_MAX - PDFBasedCG::kEPSFMarkerLength
                   ? offset + PDFBasedCG::kEPSFMarkerLength
                   : offset;
    };
    // The section as the copy holds it: the bytes read from the file and the marker.
    const auto sectionLength =
        static_cast<std::uint32_t>(reader.GetPostScriptEnd() - reader.GetPostScriptStart());
    Bytes bytes;
    PutLittleEndian(bytes, header.magic, 4);
    PutLittleEndian(bytes, header.postScriptOffset, 4);
    PutLittleEndian(bytes, sectionLength + PDFBasedCG::kEPSFMarkerLength, 4);
    PutLittleEndian(bytes, moved(header.wmfOffset), 4);
    PutLittleEndian(bytes, header.wmfLength, 4);
    PutLittleEndian(bytes, moved(header.tiffOffset), 4);
    PutLittleEndian(bytes, header.tiffLength, 4);
    PutLittleEndian(bytes, PLUGIN::DOSBinaryHeader::kNoChecksum, 2);
    return bytes;
}

// Keeps the user-space size in step with the bounding box: when they disagree by more than a point the box
// wins, and a box narrower than 3 points is widened to 3.
void CheckSize(IDictionary& dictionary, std::int32_t lowKey, std::int32_t highKey, std::int32_t sizeKey,
               float userSize, const char* message) {
    float low = 0;
    float high = 0;
    dictionary.GetFloat(lowKey, low);
    dictionary.GetFloat(highKey, high);
    const float size = high - low;
    if (std::fabs(size - userSize) > kSizeTolerance && size > 0) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kProcessEPSFunction, message);
        if (size < kMinimumSize) {
            high = static_cast<float>(static_cast<double>(low) + kMinimumSize);
            dictionary.SetFloat(highKey, high);
        }
        dictionary.SetFloat(sizeKey, high - low);
    }
}
} // namespace

Status PDFBasedCG::ConvertAndAdoptPDF(PLUGIN::GraphicProcessor& processor, IClassFactory& factory,
                                      const IDictionary* options, IDictionary& filterDictionary,
                                      const CoreString& pdfPath, float& userWidth, float& userHeight,
                                      bool svgRules, const char* function) {
    IntermediatePDF pdf(pdfPath.GetUTF8String(), function);
    Status status = pdf.Prepare();
    if (status == kOK)
        status = pdf.Check(processor.CreatePDF());
    if (status != kOK)
        return status;
    return AdoptIntermediatePDF(factory, options, filterDictionary, pdfPath, userWidth, userHeight, svgRules,
                                function);
}

Status PDFBasedCG::AdoptIntermediatePDF(IClassFactory& factory, const IDictionary* options,
                                        IDictionary& filterDictionary, const CoreString& pdfPath,
                                        float& userWidth, float& userHeight, bool svgRules,
                                        const char* function) {
    TInterfacePtr<IO::IURI> pdfURI;
    TInterfacePtr<IO::IDataProvider> pdfProvider;
    Status status = IO::CreateURI(&factory, pdfURI, pdfPath);
    if (status == kOK)
        status = IO::CreateUriDataProvider(&factory, pdfProvider, *pdfURI, IO::kReadOnlyMode, nullptr);
    if (status != kOK || !pdfProvider) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, function, "Could not create IDataProviderPtr");
        return status != kOK ? status : kLibUtilFailed;
    }

    GRAPHICS::IInterfaceDiscoveryService* service = GRAPHICS::HELPER::GetInterfaceDiscoveryService(&factory);
    if (service == nullptr) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, function,
                        "No interface discovery service to read the intermediate PDF");
        status = kLibUtilFailed;
    } else {
        status =
            service->CreateCompositeGraphic(factory, *pdfProvider, mPDFGraphic, GRAPHICS::kTypePDF, options);
    }

    // The SVG path only looks at a graphic the host made without complaint; the EPS path takes whatever came.
    const bool takeGraphic = !svgRules || (status == kOK && mPDFGraphic);
    if (takeGraphic) {
        GRAPHICS::IConnectionSpace* connectionSpace = nullptr;
        if (GetConnectionSpaceForInputGraphic(factory, connectionSpace) && connectionSpace != nullptr)
            AttachInterface(connectionSpace, CLSID::ConnectionSpaceKey);
        pdfProvider.Reset();
        if (mPDFGraphic) {
            if (auto* graphicDictionary =
                    FindAttached<IDictionary>(*mPDFGraphic, CLSID::FilterDictionaryKey)) {
                graphicDictionary->GetFloat(FILTERKEY::kWidth, userWidth);
                graphicDictionary->GetFloat(FILTERKEY::kHeight, userHeight);
                filterDictionary.SetFloat(FILTERKEY::kWidth, userWidth);
                filterDictionary.SetFloat(FILTERKEY::kHeight, userHeight);
            } else {
                status = kNoGraphicDictionary;
                BRASK_LOG_ERROR(kPDFBasedCGSource, function, "Could not get dictionary from ICG.");
            }
        } else {
            BRASK_LOG_ERROR(kPDFBasedCGSource, function,
                            "Composite graphics is not initialized for excel graphics item.");
        }
    } else {
        BRASK_LOG_ERROR(kPDFBasedCGSource, function,
                        "Failed to create the intermediate PDF composite graphic");
    }
    mPDFGraphic.Reset();
    PLATFORM::DeleteFile(pdfPath);
    return status;
}

Status PDFBasedCG::ProcessEPSToConnectionSpace(IClassFactory& factory, IO::IDataProvider& source,
                                               const IDictionary* options, bool useCallas, bool processorFlag,
                                               IDictionary* filterDictionary, CoreString& pdfPath) {
    TInterfacePtr<PLUGIN::PDFOutputEPSGraphicProcessor> processor;
    processor.Adopt(new PLUGIN::PDFOutputEPSGraphicProcessor(&factory, &source, mSourceURI.Get(), pdfPath,
                                                             useCallas, processorFlag));
    Status err = processor->Init();

    const PLUGIN::EPSVectorFileReader* reader = processor->GetFileReader();
    TInterfacePtr<IO::IDataProvider> repaired;
    if (reader != nullptr && reader->GetHeaderLineLength() != 0 && !reader->HasEPSFHeaderLine() &&
        mSourceURI) {
        const CoreString path = mSourceURI->GetPath();
        if (UpperExtension(path) == "AI") {
            InsertEPSFStringHeader(factory, source, repaired, *processor);
            if (repaired) {
                processor.Adopt(new PLUGIN::PDFOutputEPSGraphicProcessor(
                    &factory, repaired.Get(), mSourceURI.Get(), pdfPath, useCallas, processorFlag));
                err = processor->Init();
            }
            BRASK_LOG_INFO(kPDFBasedCGSource, kProcessEPSFunction, path << kNoHeaderMessage);
        } else {
            BRASK_LOG_ERROR(kPDFBasedCGSource, kProcessEPSFunction, path << kNoHeaderMessage);
        }
    }
    if (err != kOK) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kProcessEPSFunction,
                        "Could not initialize the eps. Err = " << err);
        return err;
    }

    float userWidth = 0;
    float userHeight = 0;
    const Status result = ConvertAndAdoptPDF(*processor, factory, options, *filterDictionary, pdfPath,
                                             userWidth, userHeight, false, kProcessEPSFunction);
    WriteEPSFilterInfo(*processor, *filterDictionary, userWidth, userHeight);
    return result;
}

void PDFBasedCG::WriteEPSFilterInfo(PLUGIN::PDFOutputEPSGraphicProcessor& processor, IDictionary& dictionary,
                                    float userWidth, float userHeight) {
    const PLUGIN::EPSVectorFileReader& reader = *processor.GetFileReader();
    dictionary.SetFloat(FILTERKEY::kLeft, Points(reader.GetLeft()));
    dictionary.SetFloat(FILTERKEY::kRight, Points(reader.GetRight()));
    dictionary.SetFloat(FILTERKEY::kBottom, Points(reader.GetBottom()));
    dictionary.SetFloat(FILTERKEY::kTop, Points(reader.GetTop()));
    CheckSize(dictionary, FILTERKEY::kLeft, FILTERKEY::kRight, FILTERKEY::kWidth, userWidth,
              "EPS BoundingBox width, user space width does not match");
    CheckSize(dictionary, FILTERKEY::kBottom, FILTERKEY::kTop, FILTERKEY::kHeight, userHeight,
              "EPS BoundingBox height, user space height does not match");

    std::int32_t count = 0;
    const std::uint8_t* list = nullptr;
    const std::uint8_t colorSpaceByte = processor.GetColorSpaceByte();
    if (PLUGIN::JawsRip* rip = processor.GetJawsRip()) {
        count = rip->GetColorSpaceCount();
        list = rip->GetColorSpaceList();
    } else {
        count = colorSpaceByte != 0 ? 1 : 0;
        list = &colorSpaceByte;
    }
    dictionary.SetUInt16(FILTERKEY::kColorSpaceCount, static_cast<std::uint16_t>(count));
    if (count >= 1 && list != nullptr)
        dictionary.SetBytes(FILTERKEY::kColorSpaces, list, static_cast<std::uint32_t>(count));

    const std::uint32_t flags = reader.GetFlags();
    dictionary.SetUInt8(FILTERKEY::kDCS,
                        (flags & (PLUGIN::EPSFlags::kDCS1 | PLUGIN::EPSFlags::kDCS2)) != 0 ? 1 : 0);
    dictionary.SetUInt8(FILTERKEY::kDuotone, reader.HasDuotoneInks() ? 1 : 0);
    dictionary.SetUInt8(FILTERKEY::kVectorMasked, reader.HasVectorMaskedImagery() ? 1 : 0);
    dictionary.SetUInt8(FILTERKEY::kImageResolution, reader.GetImageResolution() != 0 ? 1 : 0);

    const std::uint16_t colorUnits = processor.GetCustomColorListSize();
    const std::uint16_t* colors = processor.GetCustomColorList();
    if (colorUnits > 0 && colors != nullptr)
        dictionary.SetWString(FILTERKEY::kCustomColors, reinterpret_cast<const char16_t*>(colors),
                              colorUnits);

    MEMFIX::Handle profile = reader.GetICCProfile();
    if (profile != nullptr && *profile != nullptr)
        dictionary.SetBytes(FILTERKEY::kICCProfile, *profile, MEMFIX::GetHandleSize(profile));

    if (GRAPHICS::IPathCollection* clippingPath = processor.GetClippingPath())
        AttachInterface(clippingPath, CLSID::ClippingPathKey);
    dictionary.SetBool(FILTERKEY::kImported, true);
}

Status PDFBasedCG::InsertEPSFStringHeader(IClassFactory& factory, IO::IDataProvider& source,
                                          TInterfacePtr<IO::IDataProvider>& repaired,
                                          const PLUGIN::EPSGraphicProcessor& processor) {
    if (mTempFile)
        mTempFile->Delete(); // an earlier copy would otherwise stay behind on disk
    CreateUniqueTempFile(&factory, mTempFile, nullptr);
    mSourceURI.Reset();
    if (mTempFile)
        IO::CreateURI(&factory, mSourceURI, mTempFile->GetPath(true));
    if (!mSourceURI) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kInsertHeaderFunction,
                        "Can't get a file URI from the data provider to open the EPS.");
        return kNoFileURI;
    }
    const Status openStatus =
        IO::CreateUriDataProvider(&factory, repaired, *mSourceURI, IO::kReadWriteMode, nullptr);
    if (!repaired)
        return openStatus != kOK ? openStatus : kNoFileURI;
    const PLUGIN::EPSVectorFileReader* reader = processor.GetFileReader();
    // The first line is measured from the start of the PostScript section.
    const std::uint32_t position =
        static_cast<std::uint32_t>(reader->GetPostScriptStart()) + reader->GetHeaderLineLength();
    const Status copied = CopyProviderBytes(source, *repaired, position, kInsertHeaderFunction);
    if (copied != kOK || !reader->GetEPSInfo()->binaryHeader.IsPresent())
        return copied;
    // A DOS binary header must describe the copy: its PostScript section is 10 bytes longer, and the previews
    // behind the insertion lie 10 bytes further on.
    const Bytes header = RepairedBinaryHeader(*reader, position);
    Status status = repaired->SetPosition(0, IO::IDataProvider::kFromStart);
    if (status == kOK)
        status = repaired->Write(header.data(), static_cast<std::uint32_t>(header.size()));
    if (status != kOK)
        BRASK_LOG_ERROR(kPDFBasedCGSource, kInsertHeaderFunction,
                        "Could not write the binary header of the repaired EPS. Status = " << status);
    return status;
}

Status PDFBasedCG::ProcessSVGToConnectionSpace(IClassFactory& factory, IO::IDataProvider& /*source*/,
                                               IO::IURI* uri, const IDictionary* options, bool processorFlag,
                                               IDictionary* filterDictionary, CoreString& pdfPath) {
    TInterfacePtr<PLUGIN::PDFOutputSVGGraphicProcessor> processor;
    processor.Adopt(new PLUGIN::PDFOutputSVGGraphicProcessor(&factory, uri, pdfPath, processorFlag));
    const Status err = processor->Init();
    if (err != kOK) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kProcessSVGFunction,
                        "Could not initialize the eps. Err = " << err);
        return err;
    }
    float userWidth = 0;
    float userHeight = 0;
    const Status result = ConvertAndAdoptPDF(*processor, factory, options, *filterDictionary, pdfPath,
                                             userWidth, userHeight, true, kProcessSVGFunction);
    filterDictionary->SetBool(FILTERKEY::kImported, true);
    return result;
}

} // namespace BRASK::COREREGISTRY
