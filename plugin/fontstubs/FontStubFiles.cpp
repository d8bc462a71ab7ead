// The stub writers: one-line PostScript resources that name a font file on the %psfont% device.
#include "FontDevice.h"
#include "FontDeviceLog.h"

#include "LibUtils.h"
#include "brask/Logger.h"

#include <cctype>
#include <cstring>

namespace BRASK::PLUGIN {

using namespace FONTDEVICELOG;

namespace {

bool IsEmpty(const unsigned char* text) {
    return text == nullptr || text[0] == 0;
}

std::string Bytes(const unsigned char* text) {
    return std::string(reinterpret_cast<const char*>(text));
}

// A collection is told by its file name: the text after the last "." is "ttc" in any case.
bool IsCollectionFile(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    if (dot == std::string::npos)
        return false;
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return extension == "TTC";
}

bool UsesEastAsianFolder(unsigned long fontType) {
    return fontType == XF::kXTrueType || fontType == XF::kXOpenTypeTT || fontType == XF::kXOpenTypePS ||
           fontType == XF::kXComposite;
}

CoreString StubPath(const CoreString& dir, const std::string& stubName) {
    return dir + CoreString::FromUTF8(stubName + ".ps");
}

} // namespace

FontStubError FontDevice::CreateFontStubFile(unsigned char* psName, const unsigned char* stubName,
                                             const CoreString& fontFile, unsigned long fontType,
                                             unsigned char isEastAsian) {
    if (IsEmpty(psName) || IsEmpty(stubName) || fontFile.empty()) {
        BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "CreateFontStubFile input paramter fails");
        return kFontStubBadParameter;
    }
    const std::string fileName = fontFile.GetUTF8String();
    const bool collection = IsCollectionFile(fileName);

    const CoreString* dir = &westernFontsDir;
    if (collection) {
        dir = &fontSetDir;
        const FontStubError member = CreateTTCFontStubFile(psName, stubName, isEastAsian);
        if (member != kFontStubOK) {
            BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "CreateTTCFontStubFile failed.");
            return member;
        }
    } else if (UsesEastAsianFolder(fontType) && isEastAsian) {
        dir = &eaFontsDir;
    }

    const std::string name = Bytes(stubName);
    const CoreString path = StubPath(*dir, name);
    TInterfacePtr<FILE_SYS::IFile> file;
    FILE_SYS::CreateSystemFile(factory, file, path);
    if (file && file->Exists())
        return kFontStubFileError;
    if (!file || file->Create() == FILE_SYS::IFile::kCreateFailed) {
        BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "Unable to create file.");
        return kFontStubFileError;
    }
    TInterfacePtr<IO::IURI> uri;
    if (IO::CreateURI(factory, uri, path) != kOK || !uri) {
        BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "CreateURI failed");
        return kFontStubFileError;
    }

    std::string text = "/" + name + "  (%psfont%" + fileName + ")";
    if (collection)
        text += " definesfntfontset /FontSet defineresource ";
    else if (fontType == XF::kXTrueType || fontType == XF::kXOpenTypeTT || fontType == XF::kXOpenTypePS)
        text += " definesfntfontset 0 get definefont pop";
    else if (fontType == XF::kXType1)
        text += " (r) file /PFBDecode filter cvx exec";
    else if (fontType == XF::kXType1Text)
        text += " (r) file cvx exec";
    else {
        BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "Invalid font type");
        return kFontStubInvalidType;
    }
    WriteAtEnd(*uri, text);

    const FontStubError edir = MakeEdirEntry(*dir, stubName, nullptr);
    if (edir != kFontStubOK) {
        BRASK_LOG_ERROR(kSource, kCreateFontStubFile, "Make Edir Jaws Entry failed");
        return edir;
    }
    stubFiles.emplace(name + ".ps", true);
    return kFontStubOK;
}

FontStubError FontDevice::CreateTTCFontStubFile(unsigned char* psName, const unsigned char* stubName,
                                                unsigned char isEastAsian) {
    if (IsEmpty(psName) || IsEmpty(stubName)) {
        BRASK_LOG_ERROR(kSource, kCreateTTCFontStubFile, "CreateTTCFontStubFile input paramter fails");
        return kFontStubBadParameter;
    }
    const std::string ps = Bytes(psName);
    const std::string name = Bytes(stubName);
    const CoreString& dir = isEastAsian ? eaFontsDir : westernFontsDir;
    const std::string category = isEastAsian ? " /CIDFont" : " /Font";

    const CoreString path = StubPath(dir, name);
    TInterfacePtr<FILE_SYS::IFile> file;
    FILE_SYS::CreateSystemFile(factory, file, path);
    if (file && file->Exists())
        return kFontStubOK;
    if (!file || file->Create() == FILE_SYS::IFile::kCreateFailed) {
        BRASK_LOG_ERROR(kSource, kCreateTTCFontStubFile, "Unable to create file.");
        return kFontStubFileError;
    }
    TInterfacePtr<IO::IURI> uri;
    if (IO::CreateURI(factory, uri, path) != kOK || !uri) {
        // Reported like the sister writer does: an empty member stub is no success.
        BRASK_LOG_ERROR(kSource, kCreateTTCFontStubFile, "CreateURI failed");
        return kFontStubFileError;
    }

    std::string text = "/" + ps + " /FontSet findresource pop ";
    if (ps == name)
        text += "/" + name + category + " findresource ";
    else
        text += "/" + name + " /" + ps + category + " findresource " + category + " defineresource ";
    WriteAtEnd(*uri, text);

    const FontStubError edir = MakeEdirEntry(dir, stubName, nullptr);
    if (edir != kFontStubOK) {
        BRASK_LOG_ERROR(kSource, kCreateTTCFontStubFile, "Make Edir Jaws Entry failed");
        return edir;
    }
    return kFontStubOK;
}

} // namespace BRASK::PLUGIN
