// The filter-information dictionary, the connection space and tile adaptation of PDFBasedCG.
#include "PDFBasedCG.h"

#include "GraphicLog.h"
#include "HostBoundary.h"
#include "LibUtils.h"

#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"

namespace BRASK::COREREGISTRY {

namespace {
// Count (32-bit little-endian) followed by the four-character codes of the formats the plug-in reads.
constexpr std::uint8_t kFormatCodes[12] = {3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'};
// Count byte followed by zero-terminated format names.
constexpr std::uint8_t kFormatNames[10] = {2, 'E', 'P', 'S', 0, 'B', 'S', 'V', 'G', 0};
constexpr char16_t kFormatDescription[] = u"EPS Format"; // written with its terminating zero unit
} // namespace

Status PDFBasedCG::CreateDictionaryWithFilterInfoKeys(IClassFactory* factory) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::CreateDictionaryWithFilterInfoKeys(void)";
    TInterfacePtr<IDictionary> dictionary;
    IO::CreatePersistentDictionary(factory, dictionary);
    if (!dictionary) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "Could not create a dictionary or find one to give back filter information.");
        return kNoDictionary;
    }
    dictionary->SetUInt8(FILTERKEY::kFilterVersion, 254);
    dictionary->SetBytes(FILTERKEY::kFormatCodes, kFormatCodes, sizeof kFormatCodes);
    dictionary->SetBytes(FILTERKEY::kFormatNames, kFormatNames, sizeof kFormatNames);
    dictionary->SetWString(FILTERKEY::kFormatDescription, kFormatDescription,
                           static_cast<std::uint32_t>(std::size(kFormatDescription)));
    AttachInterface(dictionary.Get(), CLSID::FilterDictionaryKey);
    return kOK;
}

Status PDFBasedCG::AdaptTile(GRAPHICS::ITile* inputTile, GRAPHICS::ITile* outputTile) {
    constexpr char kFunction[] = "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::AdaptTile(class "
                                 "BRASK::GRAPHICS::ITile *,class BRASK::GRAPHICS::ITile *)";
    return GuardHostCall(
        kPDFBasedCGSource, kFunction,
        [&]() -> Status {
            if (inputTile == nullptr && outputTile == nullptr) {
                BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "Need either a inputTile or outputTile");
                return kNoFileURI;
            }
            IObject* connectionSpace = nullptr;
            if (GetInterface(CLSID::ConnectionSpaceKey, &connectionSpace) == kOK &&
                connectionSpace != nullptr && outputTile != nullptr)
                outputTile->AttachInterface(connectionSpace, CLSID::ConnectionSpaceKey);
            return kOK;
        },
        kInternalError);
}

bool PDFBasedCG::GetConnectionSpaceForInputGraphic(IClassFactory& factory,
                                                   GRAPHICS::IConnectionSpace*& connectionSpace) {
    constexpr char kFunction[] =
        "bool __cdecl BRASK::COREREGISTRY::PDFBasedCG::GetConnectionSpaceForInputGraphic("
        "class BRASK::GRAPHICS::IConnectionSpace *&)";
    if (!mPDFGraphic) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "Composite graphics is not initialized for excel graphics item.");
        return false;
    }
    if (connectionSpace != nullptr)
        return true;

    // A graphic without a dictionary gets a 0 x 0 tile; the dictionary check below then reports it.
    float width = 0;
    float height = 0;
    if (auto* graphicDictionary = FindAttached<IDictionary>(*mPDFGraphic, CLSID::FilterDictionaryKey)) {
        std::int32_t value = 0;
        if (graphicDictionary->GetInt32(FILTERKEY::kWidth, value) == kOK)
            width = static_cast<float>(value);
        value = 0;
        if (graphicDictionary->GetInt32(FILTERKEY::kHeight, value) == kOK)
            height = static_cast<float>(value);
    }

    TInterfacePtr<GRAPHICS::ITile> tile;
    GRAPHICS::HELPER::CreateTile(&factory, GEOMETRY::Rect<float>{0, 0, height, width}, tile);
    if (!tile) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "Failed to initialize the CompositeGraphic.");
        return false;
    }
    if (mPDFGraphic->AdaptTile(nullptr, tile.Get()) != kOK) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "AdaptTile Failed.");
        return false;
    }
    connectionSpace = FindAttached<GRAPHICS::IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey);
    if (connectionSpace == nullptr)
        return false;
    if (FindAttached<IDictionary>(*mPDFGraphic, CLSID::FilterDictionaryKey) == nullptr) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction, "ICG missing a dictionary.");
        return false;
    }
    return true;
}

} // namespace BRASK::COREREGISTRY
