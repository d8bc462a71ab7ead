#include "FakeFontMgr.h"

#include <memory>

namespace BRASK::PLUGIN {

FakeFontMgr::FakeFontMgr() : XF::XFontManager(CoreString()) {}

FakeFontMgr::~FakeFontMgr() = default;

FakeFontMgr* GetFakeFontMgr() {
    // Owned here rather than by the font device, so that no second owner can delete it twice.
    static const std::unique_ptr<FakeFontMgr> instance = std::make_unique<FakeFontMgr>();
    return instance.get();
}

} // namespace BRASK::PLUGIN
