// A font manager that reports chosen fonts instead of the installed ones, and a reference host whose
// application folder is a private temporary folder, with helpers to read the stub tree it gets.
#pragma once

#include "../support/HostFixture.h"
#include "XFontManager.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace BRASK::TEST {

struct TestFace {
    std::string psName;
    std::string path; // full path of the outline file
    bool eastAsian = false;
};

struct TestFamily {
    std::uint32_t type = XF::kXTrueType;
    std::array<std::optional<TestFace>, 4> slots; // a missing slot is imitated from another
    bool intrinsicFails = false;
    bool nameFails = false;
};

class TestFontManager : public XF::XFontManager {
public:
    TestFontManager() : XF::XFontManager(CoreString()) {}

    // Families get ids 1, 2, ...; a null entry stands for a removed family.
    std::vector<std::optional<TestFamily>> families;
    int refreshes = 0;

    XF::XStatus Refresh(XF::BXStringPtrArray&, XF::BXStringPtrArray&) override {
        return ++refreshes, XF::kXNoErr;
    }
    std::unique_ptr<XF::XFamilyIterator> NewFamilyIterator() override {
        return std::make_unique<XF::XFamilyIterator>();
    }
    XF::XStatus NextFamily(XF::XFamilyIterator& iterator, std::uint32_t& familyId) override {
        while (iterator.position < families.size())
            if (families[iterator.position++]) {
                familyId = static_cast<std::uint32_t>(iterator.position);
                return XF::kXNoErr;
            }
        return XF::kXNoMoreFamilies;
    }
    std::uint32_t GetFontType(std::uint32_t id) override {
        return Find(id) ? Find(id)->type : XF::kXUnknownType;
    }
    XF::XStatus GetIntrinsicStyle(std::uint32_t id, std::uint32_t style, std::uint32_t& intrinsic) override {
        if (!Find(id) || Find(id)->intrinsicFails)
            return XF::kXNoSuchFont;
        intrinsic = Serving(*Find(id), style);
        return XF::kXNoErr;
    }
    XF::XStatus GetPSFontName(std::uint32_t id, std::uint32_t style, char* buffer,
                              std::size_t size) override {
        if (!Find(id) || Find(id)->nameFails)
            return XF::kXNoSuchFont;
        const std::string& name = Face(id, style).psName;
        const std::size_t count = std::min(name.size(), size - 1);
        std::memcpy(buffer, name.data(), count);
        buffer[count] = '\0';
        return XF::kXNoErr;
    }
    XF::XStatus GetFont(const XF::XFontSpec& spec, const XF::XFont*& font) override {
        if (!Find(spec.familyId))
            return XF::kXNoSuchFont;
        const std::uint32_t slot = Serving(*Find(spec.familyId), spec.style);
        mFonts.push_back(std::make_unique<XF::XFont>(spec.familyId, slot, Face(spec.familyId, slot).path, 0));
        font = mFonts.back().get();
        return XF::kXNoErr;
    }
    XF::XStatus GetFontFilePath(std::uint32_t id, std::uint32_t style, std::uint32_t,
                                CoreString& path) override {
        if (!Find(id))
            return XF::kXNoSuchFont;
        path = CoreString::FromUTF8(Face(id, style).path);
        return XF::kXNoErr;
    }
    bool IsEastAsian(const XF::XFont& font) override {
        return Find(font.GetFamilyId()) && Face(font.GetFamilyId(), font.GetStyleIndex()).eastAsian;
    }

    // A family with one face in the regular slot.
    TestFamily& Add(const std::string& psName, const std::string& path, std::uint32_t type, bool eastAsian) {
        families.emplace_back(TestFamily{type, {TestFace{psName, path, eastAsian}}});
        return *families.back();
    }

private:
    const TestFamily* Find(std::uint32_t id) const {
        return id == 0 || id > families.size() || !families[id - 1] ? nullptr : &*families[id - 1];
    }
    const TestFace& Face(std::uint32_t id, std::uint32_t style) const {
        return *Find(id)->slots[Serving(*Find(id), style)];
    }
    static std::uint32_t Serving(const TestFamily& family, std::uint32_t style) {
        static constexpr std::uint32_t kOrder[4][4] = {
            {0, 2, 1, 3}, {1, 0, 3, 2}, {2, 0, 3, 1}, {3, 1, 2, 0}};
        for (std::uint32_t candidate : kOrder[style])
            if (family.slots[candidate])
                return candidate;
        return style;
    }
    std::vector<std::unique_ptr<XF::XFont>> mFonts;
};

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
