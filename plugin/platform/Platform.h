// The operating-system services the plug-in relies on, in one place: process and thread ids, GUIDs,
// folder search, file deletion, the system font folder, physical memory, paths and UTF conversion.
#pragma once

#include "brask/CoreString.h"
#include "brask/Guid.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace BRASK::PLATFORM {

// The file name of a shared library from its base name: "BraskPDF" gives "libBraskPDF.so".
std::string LibraryFileName(std::string_view baseName);

// The kernel's id of the calling thread (the process id for the main thread).
std::uint32_t CurrentThreadId();
std::uint32_t CurrentProcessId();

// A random version-4 GUID.
GUID NewGuid();

// Names (not paths) of the entries of `folder` matching a shell pattern such as "*.ps", "." and ".."
// left out, in ascending byte order. Empty when the folder cannot be read.
std::vector<std::string> FindFiles(const std::string& folder, const std::string& pattern,
                                   bool ignoreCase = false);

// Deletes a file; true when it was removed.
bool DeleteFile(const std::string& path);
bool DeleteFile(const CoreString& path);

// The folder of the system's installed fonts, with a trailing separator.
std::string SystemFontFolder();

// True when the calling user may create entries in `folder` (an existing folder, written and searched).
bool IsWritableFolder(const std::string& folder);

// The calling user's cache folder: $XDG_CACHE_HOME when it is an absolute path, else $HOME/.cache, else the
// home folder of the user's account entry followed by /.cache; empty when none is known.
std::string UserCacheFolder();

// The machine's physical memory in bytes, 0 when unknown.
std::uint64_t TotalPhysicalMemory();

// The separator of path components in paths the plug-in builds.
constexpr char PathSeparator() {
    return '/';
}

// UTF-16 <-> UTF-8; invalid input becomes U+FFFD.
std::string ToUTF8(std::u16string_view utf16);
std::string ToUTF8(const CoreString& text);
std::u16string ToUTF16(std::string_view utf8);

} // namespace BRASK::PLATFORM
