#include "XFontManager.h"

#include "FaceProbe.h"

#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace XF {

namespace {
// Which slot serves a slot that has no face of its own, in order of preference.
constexpr std::uint32_t kServingOrder[kXStyleCount][kXStyleCount] = {
    {kXRegular, kXItalic, kXBold, kXBoldItalic},
    {kXBold, kXRegular, kXBoldItalic, kXItalic},
    {kXItalic, kXRegular, kXBoldItalic, kXBold},
    {kXBoldItalic, kXBold, kXItalic, kXRegular},
};
} // namespace

XFontManager::XFontManager(const BRASK::CoreString& name)
    : mName(name), mProbe(std::make_unique<FaceProbe>()) {}

XFontManager::~XFontManager() = default;

void XFontManager::LoadIfNeeded() {
    if (!mLoaded)
        Load(nullptr, nullptr);
}

void XFontManager::Load(BXStringPtrArray* added, BXStringPtrArray* removed) {
    // Pick up fonts installed or removed since fontconfig last looked.
    FcInitBringUptoDate();
    std::vector<FaceRecord> faces = ListInstalledFaces();
    std::vector<FamilyRecord> families;
    GroupIntoFamilies(faces, families);

    std::map<std::string, std::size_t> previous;
    for (std::size_t i = 0; i < mFamilies.size(); ++i)
        if (mFamilies[i])
            previous.emplace(mFamilies[i]->name, i);
    std::vector<std::optional<FamilyRecord>> next(mFamilies.size());
    for (auto& family : families) {
        const auto found = previous.find(family.name);
        if (found != previous.end()) {
            next[found->second] = std::move(family);
            previous.erase(found);
        } else {
            if (added != nullptr)
                added->push_back(std::make_unique<BRASK::BXString>(family.name));
            next.push_back(std::move(family));
        }
    }
    if (removed != nullptr)
        for (const auto& [name, index] : previous)
            removed->push_back(std::make_unique<BRASK::BXString>(name));

    mFaces = std::move(faces);
    mFamilies = std::move(next);
    mFonts.clear();
    mFonts.resize(mFaces.size());
    mFacts.assign(mFaces.size(), std::nullopt);
    mLoaded = true;
}

XStatus XFontManager::Refresh(BXStringPtrArray& added, BXStringPtrArray& removed) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    Load(&added, &removed);
    return kXNoErr;
}

std::unique_ptr<XFamilyIterator> XFontManager::NewFamilyIterator() {
    return std::make_unique<XFamilyIterator>();
}

XStatus XFontManager::NextFamily(XFamilyIterator& iterator, std::uint32_t& familyId) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    while (iterator.position < mFamilies.size()) {
        const std::size_t index = iterator.position++;
        if (mFamilies[index]) {
            familyId = static_cast<std::uint32_t>(index + 1);
            return kXNoErr;
        }
    }
    return kXNoMoreFamilies;
}

const FamilyRecord* XFontManager::FindFamily(std::uint32_t familyId) const {
    if (familyId == 0 || familyId > mFamilies.size() || !mFamilies[familyId - 1])
        return nullptr;
    return &*mFamilies[familyId - 1];
}

int XFontManager::ServingFace(const FamilyRecord& family, std::uint32_t style, std::uint32_t* slot) const {
    if (style >= kXStyleCount)
        return FamilyRecord::kNoFace;
    for (std::uint32_t candidate : kServingOrder[style]) {
        if (family.slots[candidate] != FamilyRecord::kNoFace) {
            if (slot != nullptr)
                *slot = candidate;
            return family.slots[candidate];
        }
    }
    return FamilyRecord::kNoFace;
}

const XFont* XFontManager::FontOf(std::uint32_t familyId, int face, std::uint32_t slot) {
    auto& font = mFonts[static_cast<std::size_t>(face)];
    if (!font)
        font = std::make_unique<XFont>(familyId, slot, mFaces[face].path, mFaces[face].faceIndex);
    return font.get();
}

const std::pair<std::uint32_t, bool>& XFontManager::FactsOf(std::size_t face) {
    auto& facts = mFacts[face];
    if (!facts) {
        const auto probed = mProbe->Probe(mFaces[face].path, mFaces[face].faceIndex);
        facts.emplace(probed.type, probed.ranges == FaceProbe::RangeAnswer::kEastAsian);
    }
    return *facts;
}

std::uint32_t XFontManager::GetFontType(std::uint32_t familyId) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    const FamilyRecord* family = FindFamily(familyId);
    if (family == nullptr)
        return kXUnknownType;
    const int face = ServingFace(*family, kXRegular);
    if (face == FamilyRecord::kNoFace)
        return kXUnknownType;
    return FactsOf(static_cast<std::size_t>(face)).first;
}

XStatus XFontManager::GetIntrinsicStyle(std::uint32_t familyId, std::uint32_t style,
                                        std::uint32_t& intrinsic) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    const FamilyRecord* family = FindFamily(familyId);
    if (family == nullptr)
        return kXNoSuchFont;
    if (style >= kXStyleCount)
        return kXBadArgument;
    std::uint32_t slot = 0;
    if (ServingFace(*family, style, &slot) == FamilyRecord::kNoFace)
        return kXNoSuchFont;
    intrinsic = slot;
    return kXNoErr;
}

XStatus XFontManager::GetPSFontName(std::uint32_t familyId, std::uint32_t style, char* buffer,
                                    std::size_t size) {
    if (buffer == nullptr || size == 0)
        return kXBadArgument;
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    const FamilyRecord* family = FindFamily(familyId);
    const int face = family == nullptr ? FamilyRecord::kNoFace : ServingFace(*family, style);
    if (face == FamilyRecord::kNoFace)
        return kXNoSuchFont;
    const std::string& name = mFaces[face].psName;
    const std::size_t count = std::min(name.size(), size - 1);
    std::memcpy(buffer, name.data(), count);
    buffer[count] = '\0';
    return kXNoErr;
}

XStatus XFontManager::GetFont(const XFontSpec& spec, const XFont*& font) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    font = nullptr;
    const FamilyRecord* family = FindFamily(spec.familyId);
    std::uint32_t slot = 0;
    const int face = family == nullptr ? FamilyRecord::kNoFace : ServingFace(*family, spec.style, &slot);
    if (face == FamilyRecord::kNoFace)
        return kXNoSuchFont;
    font = FontOf(spec.familyId, face, slot);
    return kXNoErr;
}

XStatus XFontManager::GetFontFilePath(std::uint32_t familyId, std::uint32_t style, std::uint32_t fileIndex,
                                      BRASK::CoreString& path) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    LoadIfNeeded();
    const FamilyRecord* family = FindFamily(familyId);
    const int face = family == nullptr ? FamilyRecord::kNoFace : ServingFace(*family, style);
    if (face == FamilyRecord::kNoFace || fileIndex != 0)
        return kXNoSuchFont;
    path = BRASK::CoreString::FromUTF8(mFaces[face].path);
    return kXNoErr;
}

bool XFontManager::IsEastAsian(const XFont& font) {
    std::lock_guard<std::recursive_mutex> lock(mMutex);
    for (std::size_t i = 0; i < mFaces.size(); ++i)
        if (mFaces[i].path == font.GetPath() && mFaces[i].faceIndex == font.GetFaceIndex())
            return FactsOf(i).second || mFaces[i].eastAsianLanguages;
    // A font this manager did not list.
    return mProbe->EastAsianRanges(font.GetPath(), font.GetFaceIndex()) == FaceProbe::RangeAnswer::kEastAsian;
}

} // namespace XF
