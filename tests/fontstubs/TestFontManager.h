// A font manager that reports chosen fonts instead of the installed ones.
#pragma once

#include "fonts/XFontManager.h"

#include <array>
#include <cstring>
#include <optional>
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
        ++refreshes;
        return XF::kXNoErr;
    }
    std::unique_ptr<XF::XFamilyIterator> NewFamilyIterator() override {
        return std::make_unique<XF::XFamilyIterator>();
    }
    XF::XStatus NextFamily(XF::XFamilyIterator& iterator, std::uint32_t& familyId) override {
        while (iterator.position < families.size()) {
            const std::size_t index = iterator.position++;
            if (families[index]) {
                familyId = static_cast<std::uint32_t>(index + 1);
                return XF::kXNoErr;
            }
        }
        return XF::kXNoMoreFamilies;
    }
    std::uint32_t GetFontType(std::uint32_t familyId) override {
        const TestFamily* family = Find(familyId);
        return family == nullptr ? XF::kXUnknownType : family->type;
    }
    XF::XStatus GetIntrinsicStyle(std::uint32_t familyId, std::uint32_t style,
                                  std::uint32_t& intrinsic) override {
        const TestFamily* family = Find(familyId);
        if (family == nullptr || family->intrinsicFails)
            return XF::kXNoSuchFont;
        intrinsic = Serving(*family, style);
        return XF::kXNoErr;
    }
    XF::XStatus GetPSFontName(std::uint32_t familyId, std::uint32_t style, char* buffer,
                              std::size_t size) override {
        const TestFamily* family = Find(familyId);
        if (family == nullptr || family->nameFails)
            return XF::kXNoSuchFont;
        const std::string& name = family->slots[Serving(*family, style)]->psName;
        const std::size_t count = std::min(name.size(), size - 1);
        std::memcpy(buffer, name.data(), count);
        buffer[count] = '\0';
        return XF::kXNoErr;
    }
    XF::XStatus GetFont(const XF::XFontSpec& spec, const XF::XFont*& font) override {
        const TestFamily* family = Find(spec.familyId);
        if (family == nullptr)
            return XF::kXNoSuchFont;
        const std::uint32_t slot = Serving(*family, spec.style);
        mFonts.push_back(std::make_unique<XF::XFont>(spec.familyId, slot, family->slots[slot]->path, 0));
        font = mFonts.back().get();
        return XF::kXNoErr;
    }
    XF::XStatus GetFontFilePath(std::uint32_t familyId, std::uint32_t style, std::uint32_t,
                                CoreString& path) override {
        const TestFamily* family = Find(familyId);
        if (family == nullptr)
            return XF::kXNoSuchFont;
        path = CoreString::FromUTF8(family->slots[Serving(*family, style)]->path);
        return XF::kXNoErr;
    }
    bool IsEastAsian(const XF::XFont& font) override {
        const TestFamily* family = Find(font.GetFamilyId());
        return family != nullptr && family->slots[font.GetStyleIndex()]->eastAsian;
    }

    // A family with one face in the regular slot.
    TestFamily& Add(const std::string& psName, const std::string& path, std::uint32_t type, bool eastAsian) {
        TestFamily family;
        family.type = type;
        family.slots[0] = TestFace{psName, path, eastAsian};
        families.emplace_back(std::move(family));
        return *families.back();
    }

private:
    const TestFamily* Find(std::uint32_t familyId) const {
        if (familyId == 0 || familyId > families.size() || !families[familyId - 1])
            return nullptr;
        return &*families[familyId - 1];
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

} // namespace BRASK::TEST
