#include "FontDevice.h"

#include "FakeFontMgr.h"
#include "FontDeviceLog.h"
#include "StubTreeLock.h"

#include "ClassFactorySlot.h"
#include "JawsFolders.h"
#include "LibUtils.h"
#include "Platform.h"
#include "brask/Logger.h"

namespace BRASK::PLUGIN {

using namespace FONTDEVICELOG;

namespace {

constexpr char16_t kSeparator = static_cast<char16_t>(PLATFORM::PathSeparator());

std::string Bytes(const unsigned char* text) {
    return std::string(reinterpret_cast<const char*>(text));
}

} // namespace

FontDevice::FontDevice(IClassFactory* hostFactory) : factory(hostFactory), fontManager(GetFakeFontMgr()) {
    Build();
}

FontDevice::FontDevice(IClassFactory* hostFactory, XF::XFontManager& manager)
    : factory(hostFactory), fontManager(&manager) {
    Build();
}

FontDevice::FontDevice(XF::XFontManager& manager)
    : FontDevice(COREREGISTRY::ClassFactorySlot::Get(), manager) {}

FontDevice::~FontDevice() = default;

FontDevice& FontDevice::Instance(IClassFactory* factory) {
    static FontDevice device(factory);
    return device;
}

void FontDevice::Build() {
    CoreString base;
    GetJawsFolder(factory, base, false, kSharedRipFolder);

    CoreString fontStubsDir;
    CoreString noDir;
    CoreString noCategory;
    CoreString name = BXString("FontStubs");
    if (CreateJawsDirectory(base, name, fontStubsDir, noDir, noCategory) != kFontStubOK) {
        BRASK_LOG_ERROR(kSource, kConstructor, "CreateJawsDirectory failed");
        return;
    }
    // One process at a time brings the shared tree up to date (not part of the tree: no ".ps", no index
    // line).
    const StubTreeLock lock((fontStubsDir + BXString("_lock_")).GetUTF8String());
    if (CreateEdir(fontStubsDir) != kFontStubOK) {
        BRASK_LOG_ERROR(kSource, kConstructor, "Create Jaws Edir failed");
        return;
    }

    struct StubDir {
        const char* name;
        CoreString* field;
        const char* category;
    };
    const StubDir stubDirsToMake[] = {
        {"WesternFonts", &westernFontsDir, "Font"},
        {"EAFonts", &eaFontsDir, "CIDFont"},
        {"FontSet", &fontSetDir, "FontSet"},
    };
    for (const auto& dir : stubDirsToMake) {
        CoreString dirName = BXString(dir.name);
        CoreString category = BXString(dir.category);
        if (CreateJawsDirectory(fontStubsDir, dirName, *dir.field, fontStubsDir, category) != kFontStubOK) {
            BRASK_LOG_ERROR(kSource, kConstructor, "CreateJawsDirectory failed");
            return;
        }
        const FontStubError edir = CreateEdir(*dir.field);
        stubDirs.insert(*dir.field);
        if (edir != kFontStubOK) {
            BRASK_LOG_ERROR(kSource, kConstructor, "Create Jaws Edir failed");
            return;
        }
    }

    // The system font folder, with its trailing separator.
    const std::string systemFonts = PLATFORM::SystemFontFolder();
    if (!systemFonts.empty())
        fontDirs.push_back(ReplaceFirstBackslash(CoreString::FromUTF8(systemFonts)));

    AddNewFonts();
}

FontStubError FontDevice::CreateJawsDirectory(CoreString& parent, CoreString& name, CoreString& outPath,
                                              CoreString& edirDir, CoreString& category) {
    const CoreString path = parent + name;
    TInterfacePtr<FILE_SYS::IDir> dir;
    FILE_SYS::CreateSystemDir(factory, dir, path);
    if (!dir) {
        BRASK_LOG_ERROR(kSource, kCreateJawsDirectory, "CreateSystemDir failed");
        return kFontStubDirError;
    }
    if (!dir->Exists() && dir->Create() == FILE_SYS::IDir::kCreateFailed) {
        BRASK_LOG_ERROR(kSource, kCreateJawsDirectory, "Directory creation failed");
        return kFontStubDirError;
    }
    outPath = path;
    outPath += kSeparator;
    if (!edirDir.empty() && !category.empty()) {
        const std::string categoryText = category.GetUTF8String();
        const std::string nameText = name.GetUTF8String();
        const FontStubError result = MakeEdirEntry(
            edirDir, reinterpret_cast<const unsigned char*>(categoryText.c_str()), nameText.c_str());
        if (result != kFontStubOK) {
            BRASK_LOG_ERROR(kSource, kCreateJawsDirectory, "Make Edir Jaws Entry failed");
            return result;
        }
    }
    return kFontStubOK;
}

FontStubError FontDevice::CreateEdir(const CoreString& dir) {
    static const CoreString kEdirName = BXString("_edir_");
    TInterfacePtr<FILE_SYS::IFile> file;
    FILE_SYS::CreateSystemFile(factory, file, dir + kEdirName);
    if (file && file->Exists())
        return kFontStubOK;
    if (!file || file->Create() == FILE_SYS::IFile::kCreateFailed) {
        BRASK_LOG_ERROR(kSource, kCreateEdir, "Unable to create file.");
        return kFontStubFileError;
    }
    return kFontStubOK;
}

void FontDevice::WriteAtEnd(IO::IURI& uri, const std::string& text) {
    TInterfacePtr<IO::IDataProvider> provider;
    IO::CreateUriDataProvider(factory, provider, uri, IO::kReadWriteMode, nullptr);
    if (!provider)
        return;
    provider->SetPosition(0, IO::IDataProvider::kFromEnd);
    provider->Write(text.data(), static_cast<std::uint32_t>(text.size()));
}

FontStubError FontDevice::MakeEdirEntry(const CoreString& dir, const unsigned char* name, const char* file) {
    static const CoreString kEdirName = BXString("_edir_");
    if (name == nullptr || dir.empty()) {
        BRASK_LOG_ERROR(kSource, kMakeEdirEntry, "MakeEdirEntry input paramter fails");
        return dir.empty() ? kFontStubNoEdirDir : kFontStubBadParameter;
    }
    const CoreString path = dir + kEdirName;
    TInterfacePtr<IO::IURI> uri;
    if (IO::CreateURI(factory, uri, path) != kOK || !uri) {
        BRASK_LOG_ERROR(kSource, kMakeEdirEntry, "CreateURI failed");
        return kFontStubNoEdirURI;
    }
    const std::string resource = Bytes(name);
    const std::string target = file != nullptr ? std::string(file) : resource + ".ps";
    WriteAtEnd(*uri, "/" + resource + "  (" + target + ")\n");
    return kFontStubOK;
}

void FontDevice::BuildFontPathString() {
    CoreString sharedFolder;
    GetJawsFolder(factory, sharedFolder, true, kSharedRipFolder);
    CoreString text = BXString("%xfont%+");
    text += sharedFolder;
    text += BXString("FontStubs;%psfont%=");
    for (std::size_t i = 0; i < fontDirs.size(); ++i) {
        if (i != 0)
            text += u',';
        text += fontDirs[i];
    }
    text += u';';
    fontPathString = text;
}

} // namespace BRASK::PLUGIN
