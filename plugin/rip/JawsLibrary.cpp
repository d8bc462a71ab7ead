#include "FontDevice.h"
#include "JawsEntryPoints.h"
#include "JawsFolders.h"

#include "DynamicLibrary.h"
#include "Platform.h"
#include "brask/Logger.h"

#include <cstring>

namespace BRASK::PLUGIN {

namespace {
constexpr char kJawsUtilsSource[] = "core/Common/Headers/Jaws/JawsUtils";
constexpr char kInitFile[] = "%lib%init.ps";
constexpr std::int32_t kStartupAlreadyRunning = -2;

PLATFORM::DynamicLibrary& JawsModule() {
    // Kept for the life of the process: the interpreter is never stopped or unloaded.
    static auto* module = new PLATFORM::DynamicLibrary;
    return *module;
}
} // namespace

JawsEntryPoints& GetJawsEntryPoints() {
    static JawsEntryPoints table;
    return table;
}

std::atomic<bool>& JawsLibraryLoaded() {
    static std::atomic<bool> loaded{false};
    return loaded;
}

std::mutex& JawsLoaderLock() {
    static std::mutex lock;
    return lock;
}

bool BindJawsEntryPoints(PLATFORM::DynamicLibrary& library, JawsEntryPoints& table) {
    JawsEntryPoints bound;
#define BRASK_JAWS_BIND(ret, name, args)                                                                     \
    bound.name = library.GetProc<PFN_##name>(#name);                                                         \
    if (bound.name == nullptr)                                                                               \
        return false;
    JAWS_ENTRY_POINTS(BRASK_JAWS_BIND)
#undef BRASK_JAWS_BIND
    bound.module = &library;
    table = bound;
    return true;
}

bool LoadJawsLibrary(std::atomic<bool>& flag, IClassFactory* factory) {
    if (flag.load(std::memory_order_acquire))
        return true;
    std::lock_guard<std::mutex> lock(JawsLoaderLock());
    if (flag.load(std::memory_order_acquire))
        return true;

    CoreString folder;
    GetApplicationFolder(factory, folder, false);
    const std::string fileName = PLATFORM::LibraryFileName("BraskPDF");
    PLATFORM::DynamicLibrary& module = JawsModule();
    // A retry after a failed start keeps the library it already holds: unloading an interpreter is not safe.
    const auto load = [&module](const std::string& path) {
        return (module.IsLoaded() && module.Path() == path) || module.LoadLibrary(path);
    };
    bool loaded = !folder.empty() && load(folder.GetUTF8String() + "/" + fileName);
    if (!loaded)
        loaded = load(fileName);

    JawsEntryPoints& table = GetJawsEntryPoints();
    bool result = loaded && BindJawsEntryPoints(module, table);
    if (result && !table.BPDFJawsIntialised()) {
        table.BSetLogger(nullptr, &jawsLogging);
        char* devicePath = nullptr;
        MakeJawsDevicePath(factory, devicePath);
        const std::int32_t status = table.postscript_dll_startup(nullptr, kInitFile, devicePath);
        delete[] devicePath;
        result = status == 0 || status == kStartupAlreadyRunning;
    }
    flag.store(result, std::memory_order_release);
    return result;
}

CoreString BuildJawsDevicePath(IClassFactory* factory, const CoreString& fontPathString) {
    CoreString application;
    GetApplicationFolder(factory, application, true);
    CoreString perProcess;
    GetJawsFolder(factory, perProcess, true, kPerProcessRipFolder);
    if (!perProcess.empty())
        perProcess = perProcess.substr(0, perProcess.length() - 1);
    return BXString("%os%=;") + fontPathString + BXString("%temp%=") + perProcess + BXString(";%profiles%=") +
           application + BXString("/Profiles;%default%+") + perProcess + BXString(";%ram%!");
}

void MakeJawsDevicePath(IClassFactory* factory, char*& path) {
    constexpr char kFunction[] = "void __cdecl BRASK::PLUGIN::MakeJawsDevicePath(char *&)";
    for (int kind : {kPerProcessRipFolder, kSharedRipFolder}) {
        CoreString folder;
        GetJawsFolder(factory, folder, false, kind);
        if (!folder.empty())
            folder = folder.substr(0, folder.length() - 1);
        if (MakeJawsFolderU(factory, folder) != 0)
            BRASK_LOG_ERROR(kJawsUtilsSource, kFunction, "MakeJawsFolderU failed");
    }
    // The font stub tree is built once per process, on the first start of the interpreter.
    const std::string utf8 =
        BuildJawsDevicePath(factory, FontDevice::Instance(factory).GetFontPathString()).GetUTF8String();
    path = new char[utf8.size() + 1];
    std::memcpy(path, utf8.c_str(), utf8.size() + 1);
}

void LogWrapperMessage(const char* source, const char* function, long line, int kind, const char* message) {
    if (message == nullptr)
        return;
    std::wostringstream stream;
    // Each byte widened to one unit, as the wrapper's text arrives.
    for (const char* p = message; *p != '\0'; ++p)
        stream << static_cast<wchar_t>(static_cast<unsigned char>(*p));
    // A warning (a font substitution in a job that succeeded) is an error-type record of the lower level.
    BLoggerLibInterface::GetInstance()->BLogMessage(kLogTypeError, source, function, line, stream,
                                                    kind == kJawsLogWarning ? kLogLevelInfo : kLogLevelError);
}

void jawsLogging(void* /*context*/, int kind, char* message, int /*length*/) {
    constexpr char kFunction[] = "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)";
    LogWrapperMessage(kJawsUtilsSource, kFunction, __LINE__, kind, message);
}

} // namespace BRASK::PLUGIN
