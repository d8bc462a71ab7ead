#include "JawsFolders.h"

#include "LibUtils.h"

#include "Platform.h"
#include "brask/Logger.h"

#include <filesystem>
#include <map>
#include <mutex>
#include <string>

namespace BRASK::PLUGIN {

namespace {
constexpr char kJawsUtilsSource[] = "core/Common/Headers/Jaws/JawsUtils";

// The path of special folder `which`, asked with the option value 1 (full path).
CoreString SpecialFolderPath(IClassFactory* factory, std::int32_t which) {
    CoreString path;
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(factory));
    TInterfacePtr<FILE_SYS::IDir> dir;
    if (container && container->GetSpecialDir(which, dir) == kOK && dir)
        path = dir->GetPath(true);
    return path;
}

// Where the shared RIP work folder lies for `application`: the application folder itself when this user
// may write there, else the user's cache folder, so that an installed tree is never written to and each
// user's font stub tree follows that user's fonts. Decided (and logged) once per application folder.
CoreString SharedRipBase(const CoreString& application) {
    constexpr char kFunction[] = "void __cdecl BRASK::PLUGIN::GetJawsFolder(class BRASK::STRING::CoreString "
                                 "&,bool,int)";
    static std::mutex lock;
    static std::map<std::u16string, CoreString> decided;
    if (application.empty())
        return application;
    std::lock_guard<std::mutex> guard(lock);
    const auto known = decided.find(application.str());
    if (known != decided.end())
        return known->second;

    // The shared folder decides once it exists (another user may have made it); before that, its parent.
    const std::string folder = application.GetUTF8String();
    const std::string shared = folder + PLATFORM::PathSeparator() + "jaws";
    std::error_code error;
    const bool writable = std::filesystem::is_directory(shared, error) ? PLATFORM::IsWritableFolder(shared)
                                                                       : PLATFORM::IsWritableFolder(folder);
    CoreString base = application;
    if (!writable) {
        if (const std::string cache = PLATFORM::UserCacheFolder(); !cache.empty()) {
            base = CoreString::FromUTF8(cache + PLATFORM::PathSeparator() + BRASK_PROJECT_FOLDER);
            BRASK_LOG_INFO(kJawsUtilsSource, kFunction,
                           "The application folder " << application
                                                     << " is not writable: the RIP work folder " << base
                                                     << "/jaws/ holds the font stub tree");
        }
    }
    decided.emplace(application.str(), base);
    return base;
}
} // namespace

CoreString ReplaceFirstBackslash(const CoreString& path) {
    std::u16string text = path.str();
    const auto backslash = text.find(u'\\');
    if (backslash != std::u16string::npos)
        text[backslash] = u'/';
    return CoreString(std::move(text));
}

void GetApplicationFolder(IClassFactory* factory, CoreString& out, bool forwardSlash) {
    out = SpecialFolderPath(factory, FILE_SYS::kApplicationDir);
    if (forwardSlash) {
        out = ReplaceFirstBackslash(out);
        if (!out.empty() && out[out.length() - 1] == u'/')
            out = out.substr(0, out.length() - 1);
    }
}

void GetSystemFolderPath(IClassFactory* factory, CoreString& out, int kind) {
    if (kind == 0)
        out = SpecialFolderPath(factory, FILE_SYS::kTemporaryDir);
    else if (kind == 1)
        out = SpecialFolderPath(factory, FILE_SYS::kApplicationDir);
}

void GetJawsFolder(IClassFactory* factory, CoreString& out, bool forwardSlash, int kind) {
    CoreString base;
    GetSystemFolderPath(factory, base, kind);
    if (kind == kSharedRipFolder)
        base = SharedRipBase(base);
    const std::string separator(1, PLATFORM::PathSeparator());
    if (kind == kPerProcessRipFolder)
        base += CoreString::FromUTF8(separator + "jaws" + std::to_string(PLATFORM::CurrentProcessId()) +
                                     separator);
    else if (kind == kSharedRipFolder)
        base += CoreString::FromUTF8(separator + "jaws" + separator);
    out = forwardSlash ? ReplaceFirstBackslash(base) : base;
}

JawsError MakeJawsFolderU(IClassFactory* factory, const CoreString& path) {
    constexpr char kFunction[] =
        "JawsError __cdecl BRASK::PLUGIN::MakeJawsFolderU(const class BRASK::STRING::CoreString &)";
    TInterfacePtr<FILE_SYS::IDir> dir;
    FILE_SYS::CreateSystemDir(factory, dir, path);
    if (dir && dir->Exists())
        return 0;
    if (!dir || dir->Create() == FILE_SYS::IDir::kCreateFailed) {
        BRASK_LOG_ERROR(kJawsUtilsSource, kFunction, "MakeJawsFolderU failed");
        return 1;
    }
    return 0;
}

} // namespace BRASK::PLUGIN
