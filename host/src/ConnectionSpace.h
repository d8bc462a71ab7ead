// What a placed PDF is drawn from: a private copy of the PDF bytes and the first page's box.
#pragma once

#include "brask/Graphics.h"
#include "brask/TObject.h"

#include <vector>

namespace BRASK::HOST {

class ConnectionSpace : public TObject<GRAPHICS::IConnectionSpace> {
public:
    ConnectionSpace(std::vector<std::uint8_t> pdf, const GRAPHICS::Rect<float>& pageBox);

    const std::uint8_t* GetPDFData() const override { return mPdf.data(); }
    std::uint32_t GetPDFSize() const override { return static_cast<std::uint32_t>(mPdf.size()); }
    GRAPHICS::Rect<float> GetPageBox() const override { return mPageBox; }

private:
    std::vector<std::uint8_t> mPdf;
    GRAPHICS::Rect<float> mPageBox;
};

} // namespace BRASK::HOST
