// The plug-in's own font manager: the font library's manager as it stands, one per process.
#pragma once

#include "XFontManager.h"

namespace BRASK::PLUGIN {

class FakeFontMgr : public XF::XFontManager {
public:
    FakeFontMgr();
    ~FakeFontMgr() override;
};

// The process-wide instance, made on the first call; it lives until the process ends.
FakeFontMgr* GetFakeFontMgr();

} // namespace BRASK::PLUGIN
