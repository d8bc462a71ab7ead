#include "InterfaceDiscoveryService.h"

#include "ConnectionSpace.h"
#include "PdfCompositeGraphic.h"
#include "PdfPageBox.h"
#include "PersistentDictionary.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Logger.h"
#include "brask_host/HostStatus.h"

#include <new>
#include <vector>

namespace BRASK::HOST {

namespace {

// Every byte of `data`, read from its start.
Status ReadAll(IO::IDataProvider& data, std::vector<std::uint8_t>& bytes) {
    const std::int32_t size = data.GetSize();
    if (size <= 0) {
        bytes.clear();
        return kOK;
    }
    bytes.resize(static_cast<std::size_t>(size));
    Status status = data.SetPosition(0, IO::IDataProvider::kFromStart);
    if (status != kOK)
        return status;
    std::size_t filled = 0;
    while (filled < bytes.size()) {
        std::uint32_t count = static_cast<std::uint32_t>(bytes.size() - filled);
        status = data.Read(bytes.data() + filled, count);
        if (count > bytes.size() - filled)
            count = static_cast<std::uint32_t>(bytes.size() - filled); // a provider that claims too much
        filled += count;
        if (status != kOK)
            return status;
        if (count == 0)
            break;
    }
    bytes.resize(filled);
    return kOK;
}

} // namespace

Status InterfaceDiscoveryService::CreateCompositeGraphic(IClassFactory&, IO::IDataProvider& data,
                                                         TInterfacePtr<GRAPHICS::ICompositeGraphic>& graphic,
                                                         std::uint32_t type, const IDictionary*) {
    graphic.Reset();
    if (type != GRAPHICS::kTypePDF) {
        BRASK_LOG_ERROR(kDiscoveryLogSource, kCreateCompositeGraphicSignature,
                        "Unsupported composite graphic type " << type);
        return kUnsupported;
    }
    try {
        std::vector<std::uint8_t> pdf;
        const Status read = ReadAll(data, pdf);
        if (read != kOK) {
            BRASK_LOG_ERROR(kDiscoveryLogSource, kCreateCompositeGraphicSignature,
                            "Could not read the PDF data provider. Status = " << read);
            return read;
        }
        PageSize size;
        std::string reason;
        const Status measured = MeasureFirstPage(pdf, size, reason);
        if (measured != kOK) {
            if (measured == kEngineError)
                BRASK_LOG_ERROR(kDiscoveryLogSource, kCreateCompositeGraphicSignature,
                                "qpdf could not open the PDF: " << CoreString::FromUTF8(reason));
            else
                BRASK_LOG_ERROR(kDiscoveryLogSource, kCreateCompositeGraphicSignature,
                                "The PDF cannot be placed: " << CoreString::FromUTF8(reason));
            return measured;
        }

        TInterfacePtr<PersistentDictionary> dictionary;
        dictionary.Adopt(new PersistentDictionary);
        dictionary->SetFloat(FILTERKEY::kWidth, size.width);
        dictionary->SetFloat(FILTERKEY::kHeight, size.height);

        GRAPHICS::Rect<float> pageBox;
        pageBox.top = size.height;
        pageBox.right = size.width;
        TInterfacePtr<ConnectionSpace> space;
        space.Adopt(new ConnectionSpace(std::move(pdf), pageBox));

        TInterfacePtr<PdfCompositeGraphic> made;
        made.Adopt(new PdfCompositeGraphic);
        made->AttachInterface(dictionary.Get(), IDictionary::IID);
        made->AttachInterface(space.Get(), CLSID::ConnectionSpaceKey);
        graphic.Adopt(made.Detach());
        return kOK;
    } catch (const std::bad_alloc&) {
        BRASK_LOG_ERROR(kDiscoveryLogSource, kCreateCompositeGraphicSignature,
                        "Out of memory reading the PDF");
        return kOutOfMemory;
    }
}

} // namespace BRASK::HOST
