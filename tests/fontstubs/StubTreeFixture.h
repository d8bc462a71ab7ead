// A reference host whose application folder is a private temporary folder, and helpers to read the stub tree
// it gets.
#pragma once

#include "../support/HostFixture.h"
#include "TestFontManager.h"

#include <filesystem>
#include <set>
#include <string>

namespace BRASK::TEST {

inline const std::string kTrueTypeTail = " definesfntfontset 0 get definefont pop";
inline const std::string kCategoryLines = "/Font  (WesternFonts)\n/CIDFont  (EAFonts)\n/FontSet  (FontSet)\n";
inline constexpr char kFontDeviceSource[] = "core/Common/Headers/Jaws/FontDevice";

class StubTreeFixture : public HostFixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        mApp = mTemp.Path() / "app";
        std::filesystem::create_directories(mApp);
        std::filesystem::create_directories(mTemp.Path() / "tmp");
        UseHost(mApp.string(), (mTemp.Path() / "tmp").string());
    }

    std::filesystem::path Stubs() const { return mApp / "jaws" / "FontStubs"; }
    std::filesystem::path Western() const { return Stubs() / "WesternFonts"; }
    std::filesystem::path EastAsian() const { return Stubs() / "EAFonts"; }
    std::filesystem::path FontSet() const { return Stubs() / "FontSet"; }
    std::string FontPath(const std::string& fontDirs) const {
        return "%xfont%+" + mApp.string() + "/jaws/FontStubs;%psfont%=" + fontDirs + ";";
    }

    static std::string Read(const std::filesystem::path& path) {
        EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
        return ReadFile(path);
    }
    // Stub file names of a folder (the _edir_ index left out).
    static std::set<std::string> StubNames(const std::filesystem::path& dir) {
        std::set<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(dir))
            if (entry.path().filename() != "_edir_")
                names.insert(entry.path().filename().string());
        return names;
    }
    std::filesystem::path mApp;
    TestFontManager mFonts;
};

} // namespace BRASK::TEST
