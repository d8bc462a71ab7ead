#include "JawsFolders.h"

#include "shell/ClassFactorySlot.h"
#include "shell/LibUtils.h"

#include "brask/Logger.h"
#include "platform/Platform.h"

#include <string>

namespace BRASK::PLUGIN {

namespace {
constexpr char kJawsUtilsSource[] = "core/Common/Headers/Jaws/JawsUtils";

// The path of special folder `which`, asked with the option value 1 (full path).
CoreString SpecialFolderPath(std::int32_t which) {
    CoreString path;
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(COREREGISTRY::ClassFactorySlot::Get()));
    TInterfacePtr<FILE_SYS::IDir> dir;
    if (container && container->GetSpecialDir(which, dir) == kOK && dir)
        path = dir->GetPath(true);
    return path;
}
} // namespace

CoreString ReplaceFirstBackslash(const CoreString& path) {
    std::u16string text = path.str();
    const auto backslash = text.find(u'\\');
    if (backslash != std::u16string::npos)
        text[backslash] = u'/';
    return CoreString(std::move(text));
}

void GetApplicationFolder(CoreString& out, bool forwardSlash) {
    out = SpecialFolderPath(FILE_SYS::kApplicationDir);
    if (forwardSlash) {
        out = ReplaceFirstBackslash(out);
        if (!out.empty() && out[out.length() - 1] == u'/')
            out = out.substr(0, out.length() - 1);
    }
}

void GetSystemFolderPath(CoreString& out, int kind) {
    if (kind == 0)
        out = SpecialFolderPath(FILE_SYS::kTemporaryDir);
    else if (kind == 1)
        out = SpecialFolderPath(FILE_SYS::kApplicationDir);
}

void GetJawsFolder(CoreString& out, bool forwardSlash, int kind) {
    CoreString base;
    GetSystemFolderPath(base, kind);
    const std::string separator(1, PLATFORM::PathSeparator());
    if (kind == kPerProcessRipFolder)
        base += CoreString::FromUTF8(separator + "jaws" + std::to_string(PLATFORM::CurrentProcessId()) +
                                     separator);
    else if (kind == kSharedRipFolder)
        base += CoreString::FromUTF8(separator + "jaws" + separator);
    out = forwardSlash ? ReplaceFirstBackslash(base) : base;
}

JawsError MakeJawsFolderU(const CoreString& path) {
    constexpr char kFunction[] =
        "JawsError __cdecl BRASK::PLUGIN::MakeJawsFolderU(const class BRASK::STRING::CoreString &)";
    TInterfacePtr<FILE_SYS::IDir> dir;
    FILE_SYS::CreateSystemDir(COREREGISTRY::ClassFactorySlot::Get(), dir, path);
    if (dir && dir->Exists())
        return 0;
    if (!dir || dir->Create() == FILE_SYS::IDir::kCreateFailed) {
        BRASK_LOG_ERROR(kJawsUtilsSource, kFunction, "MakeJawsFolderU failed");
        return 1;
    }
    return 0;
}

} // namespace BRASK::PLUGIN
