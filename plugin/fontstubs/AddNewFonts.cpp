// Brings the stub tree in line with the installed fonts: stubs for new fonts under their PostScript name and
// its variant forms, the font folders for the %psfont% device, and the deletion of stubs of removed fonts.
#include "CMapSuffixes.h"
#include "FontDevice.h"
#include "FontDeviceLog.h"
#include "StubNames.h"

#include "JawsFolders.h"
#include "LibUtils.h"
#include "Platform.h"
#include "brask/Logger.h"

#include <cstring>

namespace BRASK::PLUGIN {

using namespace FONTDEVICELOG;

namespace {

constexpr std::size_t kPSNameBufferSize = 258; // at most 257 characters and the terminator
// A stub file name (name + ".ps") must fit the file system's 255-byte name limit.
constexpr std::size_t kLongestStubName = 255 - 3;

unsigned char* Text(std::string& text) {
    return reinterpret_cast<unsigned char*>(text.data());
}

} // namespace

void FontDevice::MarkStub(const std::string& key) {
    stubFiles[key] = true;
}

void FontDevice::MarkFontStubs(const std::string& key, bool isEastAsian) {
    MarkStub(key);
    if (!isEastAsian) {
        if (const char* alias = GetArialAlias(key.c_str()))
            MarkStub(std::string(alias) + ".ps");
    }
    bool changed = false;
    std::string variantKey = CommaForm(key, changed);
    if (changed)
        MarkStub(variantKey);
    variantKey = JoinedForm(variantKey, changed);
    if (changed)
        MarkStub(variantKey);
}

void FontDevice::AddFontDir(const CoreString& dir) {
    for (const auto& known : fontDirs)
        if (known == dir)
            return;
    fontDirs.push_back(dir);
}

void FontDevice::CollectExistingStubs() {
    for (const auto& dir : stubDirs) {
        for (const auto& name : PLATFORM::FindFiles(dir.GetUTF8String(), "*.ps", true)) {
            if (name.size() <= 255)
                stubFiles.emplace(name, false);
        }
    }
}

void FontDevice::DeleteStaleStubs() {
    for (const auto& [key, installed] : stubFiles) {
        if (installed)
            continue;
        for (const auto& dir : stubDirs) {
            TInterfacePtr<FILE_SYS::IFile> file;
            FILE_SYS::CreateSystemFile(factory, file, dir + CoreString::FromUTF8(key));
            if (file && file->Exists())
                file->Delete();
        }
    }
}

void FontDevice::AddNewFonts() {
    CollectExistingStubs();
    const std::size_t existingCount = stubFiles.size();

    XF::BXStringPtrArray added;
    XF::BXStringPtrArray removed;
    fontManager->Refresh(added, removed);

    auto iterator = fontManager->NewFamilyIterator();
    std::uint32_t familyId = 0;
    while (fontManager->NextFamily(*iterator, familyId) == XF::kXNoErr) {
        for (std::uint32_t style = 0; style < XF::kXStyleCount; ++style) {
            const std::uint32_t type = fontManager->GetFontType(familyId);
            std::uint32_t intrinsic = 0;
            if (fontManager->GetIntrinsicStyle(familyId, style, intrinsic) != XF::kXNoErr) {
                BRASK_LOG_ERROR(kSource, kAddNewFonts, "GetIntrinsicStyle failed");
                intrinsic = 0;
            }
            if (type == XF::kXUnknownType || intrinsic != style)
                continue;

            char buffer[kPSNameBufferSize] = {};
            if (fontManager->GetPSFontName(familyId, style, buffer, sizeof buffer) != XF::kXNoErr) {
                BRASK_LOG_ERROR(kSource, kAddNewFonts, "GetPSFontName failed");
                buffer[0] = '\0';
            }
            std::string name = MakePostScriptSafe(buffer);
            if (type == XF::kXComposite) {
                if (const char* suffix = FindCMapSuffix(name))
                    name.resize(name.find(suffix));
            }
            if (name.empty())
                break;
            // A name whose stub file name would not fit a file name gets no stub.
            if (name.size() > kLongestStubName)
                continue;

            XF::XFontSpec spec;
            spec.familyId = familyId;
            spec.style = style;
            const XF::XFont* font = nullptr;
            fontManager->GetFont(spec, font);
            if (font == nullptr)
                continue;
            CoreString path;
            fontManager->GetFontFilePath(font->GetFamilyId(), font->GetStyleIndex(), 0, path);

            const auto slash = path.rfind(static_cast<char16_t>(PLATFORM::PathSeparator()));
            CoreString fontFile = slash == CoreString::npos ? path : path.substr(slash + 1);
            CoreString directory = slash == CoreString::npos ? CoreString() : path.substr(0, slash);
            if (!directory.empty())
                AddFontDir(ReplaceFirstBackslash(directory));

            const bool isEA = fontManager->IsEastAsian(*font);
            const unsigned char eaFlag = isEA ? 1 : 0;
            const bool sfntType = type == XF::kXTrueType || type == XF::kXOpenTypeTT;
            const std::string key = name + ".ps";

            if (stubFiles.find(key) == stubFiles.end()) {
                bool cmapName = false;
                if (isEA && sfntType) {
                    if (FindCMapSuffix(name) != nullptr)
                        cmapName = true;
                    else
                        CreateFontStubFile(Text(name), Text(name), fontFile, type, 0);
                }
                CreateFontStubFile(Text(name), Text(name), fontFile, type, eaFlag);

                std::string unchangedName = name;
                if (!isEA) {
                    if (const char* alias = GetArialAlias(unchangedName.c_str())) {
                        std::string aliasName = alias;
                        CreateFontStubFile(Text(unchangedName), Text(aliasName), fontFile, type, 0);
                    }
                }
                // The comma form, then the joined form, each beside the East-Asian stub as above.
                auto writeVariant = [&](std::string& variant) {
                    if (isEA && sfntType && !cmapName)
                        CreateFontStubFile(Text(unchangedName), Text(variant), fontFile, type, 0);
                    CreateFontStubFile(Text(unchangedName), Text(variant), fontFile, type, eaFlag);
                };
                bool changed = false;
                name = CommaForm(name, changed);
                if (changed)
                    writeVariant(name);
                name = JoinedForm(name, changed);
                if (changed)
                    writeVariant(name);
            }
            // The font is installed: none of its stubs is stale, also those that existed already when the
            // stub under its own name had to be written again (they would be deleted below otherwise).
            MarkFontStubs(key, isEA);
        }
    }
    iterator.reset();

    if (existingCount > 0)
        DeleteStaleStubs();
    stubFiles.clear();
    BuildFontPathString();
}

} // namespace BRASK::PLUGIN
