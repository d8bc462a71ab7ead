// The font library's manager: the installed font families (from fontconfig), their style slots, PostScript
// names, outline files and font types (from FreeType). Every operation is virtual so that a test can report
// chosen fonts.
#pragma once

#include "InstalledFaces.h"
#include "XFont.h"
#include "XFontTypes.h"

#include "brask/CoreString.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

namespace XF {

class FaceProbe;

// A position in the manager's family list.
class XFamilyIterator {
public:
    std::size_t position = 0;
};

class XFontManager {
public:
    explicit XFontManager(const BRASK::CoreString& name);
    virtual ~XFontManager();
    XFontManager(const XFontManager&) = delete;
    XFontManager& operator=(const XFontManager&) = delete;

    // Brings the list of installed fonts up to date. `added` and `removed` receive the names of families
    // that appeared or went away since the previous refresh. Family ids of families that stay are kept; the
    // entries of removed families stay empty.
    virtual XStatus Refresh(BXStringPtrArray& added, BXStringPtrArray& removed);

    // An iterator over all families.
    virtual std::unique_ptr<XFamilyIterator> NewFamilyIterator();
    // The next family's id: kXNoErr, or kXNoMoreFamilies at the end. Empty entries are passed over.
    virtual XStatus NextFamily(XFamilyIterator& iterator, std::uint32_t& familyId);

    // The font type of the font that serves the family's regular slot; kXUnknownType when there is none.
    virtual std::uint32_t GetFontType(std::uint32_t familyId);
    // The slot (0..3) of the real face that serves `style` of the family.
    virtual XStatus GetIntrinsicStyle(std::uint32_t familyId, std::uint32_t style, std::uint32_t& intrinsic);
    // The PostScript name of the face that serves `style`, NUL-terminated and cut to `size` - 1 bytes.
    virtual XStatus GetPSFontName(std::uint32_t familyId, std::uint32_t style, char* buffer,
                                  std::size_t size);
    // The face that serves the reference's slot, lent by the manager until the next refresh.
    virtual XStatus GetFont(const XFontSpec& spec, const XFont*& font);
    // Full path of file `fileIndex` of the face (0: the outline file; the only one this library knows).
    virtual XStatus GetFontFilePath(std::uint32_t familyId, std::uint32_t style, std::uint32_t fileIndex,
                                    BRASK::CoreString& path);
    // True when the OS/2 Unicode-range bits flag an East-Asian block, else when fontconfig reports full
    // coverage of Japanese, Chinese or Korean.
    virtual bool IsEastAsian(const XFont& font);

    const BRASK::CoreString& GetName() const { return mName; }

private:
    void LoadIfNeeded();
    void Load(BXStringPtrArray* added, BXStringPtrArray* removed);
    const FamilyRecord* FindFamily(std::uint32_t familyId) const;
    // Index into mFaces of the face that serves `style`, or -1; `slot` receives that face's own slot.
    int ServingFace(const FamilyRecord& family, std::uint32_t style, std::uint32_t* slot = nullptr) const;
    const XFont* FontOf(std::uint32_t familyId, int face, std::uint32_t slot);
    // The type and the Unicode-range answer of a face, read once.
    const std::pair<std::uint32_t, bool>& FactsOf(std::size_t face);

    BRASK::CoreString mName;
    std::recursive_mutex mMutex;
    bool mLoaded = false;
    std::vector<FaceRecord> mFaces;
    std::vector<std::optional<FamilyRecord>> mFamilies;                // family id = index + 1
    std::vector<std::unique_ptr<XFont>> mFonts;                        // per face, made on first request
    std::vector<std::optional<std::pair<std::uint32_t, bool>>> mFacts; // type, East-Asian ranges
    std::unique_ptr<FaceProbe> mProbe;
};

} // namespace XF
