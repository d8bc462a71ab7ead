#include "PdfPageBox.h"

#include "brask_host/HostStatus.h"

#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <algorithm>
#include <cmath>
#include <exception>
#include <optional>

namespace BRASK::HOST {

namespace {

struct Box {
    double llx, lly, urx, ury;
};

// A rectangle array normalised so that ll is below and left of ur; nothing when it is not a rectangle or
// not finite.
std::optional<Box> ReadBox(QPDFObjectHandle box) {
    if (!box.isRectangle())
        return std::nullopt;
    const QPDFObjectHandle::Rectangle r = box.getArrayAsRectangle();
    if (!std::isfinite(r.llx) || !std::isfinite(r.lly) || !std::isfinite(r.urx) || !std::isfinite(r.ury))
        return std::nullopt;
    return Box{std::min(r.llx, r.urx), std::min(r.lly, r.ury), std::max(r.llx, r.urx),
               std::max(r.lly, r.ury)};
}

std::optional<Box> Intersect(const Box& a, const Box& b) {
    const Box c{std::max(a.llx, b.llx), std::max(a.lly, b.lly), std::min(a.urx, b.urx),
                std::min(a.ury, b.ury)};
    if (c.urx <= c.llx || c.ury <= c.lly)
        return std::nullopt;
    return c;
}

} // namespace

Status MeasureFirstPage(const std::vector<std::uint8_t>& pdf, PageSize& size, std::string& reason) {
    try {
        QPDF document;
        document.setSuppressWarnings(true);
        document.processMemoryFile("PDF data provider", reinterpret_cast<const char*>(pdf.data()),
                                   pdf.size());
        const std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(document).getAllPages();
        if (pages.empty()) {
            reason = "the PDF has no page";
            return kMalformedData;
        }
        QPDFPageObjectHelper page = pages.front();
        const std::optional<Box> media = ReadBox(page.getAttribute("/MediaBox", false));
        const std::optional<Box> crop = ReadBox(page.getAttribute("/CropBox", false));
        std::optional<Box> box = media;
        if (crop) {
            const std::optional<Box> visible = media ? Intersect(*crop, *media) : crop;
            box = visible ? visible : crop;
        }
        if (!box || box->urx - box->llx <= 0 || box->ury - box->lly <= 0) {
            reason = "the first page has no usable MediaBox or CropBox";
            return kMalformedData;
        }
        double width = box->urx - box->llx;
        double height = box->ury - box->lly;
        QPDFObjectHandle rotate = page.getAttribute("/Rotate", false);
        if (rotate.isInteger()) {
            const long long degrees = ((rotate.getIntValue() % 360) + 360) % 360;
            if (degrees == 90 || degrees == 270)
                std::swap(width, height);
        }
        size.width = static_cast<float>(width);
        size.height = static_cast<float>(height);
        return kOK;
    } catch (const std::exception& e) {
        reason = e.what();
        return kEngineError;
    } catch (...) {
        reason = "unknown qpdf failure";
        return kEngineError;
    }
}

} // namespace BRASK::HOST
