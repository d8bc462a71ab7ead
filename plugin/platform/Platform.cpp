#include "Platform.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

namespace BRASK::PLATFORM {

std::string LibraryFileName(std::string_view baseName) {
    return "lib" + std::string(baseName) + ".so";
}

std::uint32_t CurrentThreadId() {
    return static_cast<std::uint32_t>(gettid());
}

std::uint32_t CurrentProcessId() {
    return static_cast<std::uint32_t>(getpid());
}

GUID NewGuid() {
    return GUID::NewRandom();
}

std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern, bool ignoreCase) {
    std::vector<std::string> names;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(opendir(folder.empty() ? "." : folder.c_str()), &closedir);
    if (!dir)
        return names;
    const int flags = ignoreCase ? FNM_CASEFOLD : 0;
    while (const dirent* entry = readdir(dir.get())) {
        const std::string_view name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        if (fnmatch(pattern.c_str(), entry->d_name, flags) == 0)
            names.emplace_back(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool DeleteFile(const std::string& path) {
    return !path.empty() && unlink(path.c_str()) == 0;
}

bool DeleteFile(const CoreString& path) {
    return DeleteFile(path.GetUTF8String());
}

std::string SystemFontFolder() {
    return "/usr/share/fonts/";
}

bool IsWritableFolder(const std::string& folder) {
    struct stat info {};
    return !folder.empty() && stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
           faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

std::string UserCacheFolder() {
    if (const char* cache = std::getenv("XDG_CACHE_HOME"); cache != nullptr && cache[0] == '/')
        return cache;
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/')
        return std::string(home) + "/.cache";
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr && found->pw_dir[0] == '/')
        return std::string(found->pw_dir) + "/.cache";
    return {};
}

std::uint64_t TotalPhysicalMemory() {
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return 0;
    return static_cast<std::uint64_t>(pages) * static_cast<std::uint64_t>(pageSize);
}

std::string ToUTF8(std::u16string_view utf16) {
    return STRING::UTF16ToUTF8(utf16);
}

std::string ToUTF8(const CoreString& text) {
    return text.GetUTF8String();
}

std::u16string ToUTF16(std::string_view utf8) {
    return STRING::UTF8ToUTF16(utf8);
}

} // namespace BRASK::PLATFORM
