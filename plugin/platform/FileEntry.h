// Files the plug-in makes for itself at a known path: what is there (without following a link), exclusive
// creation, and removal of the entry itself.
#pragma once

#include <cstdint>
#include <string>

namespace BRASK::PLATFORM {

// What lstat says of a path.
struct FileEntry {
    bool exists = false;
    bool regular = false;
    bool ours = false; // owned by the effective user
    std::uint64_t links = 0;
    std::uint64_t size = 0;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    // The same file on disk (both entries exist).
    bool IsSameFile(const FileEntry& other) const {
        return exists && other.exists && device == other.device && inode == other.inode;
    }
};

// The entry at `path` itself: a symbolic link is described, never followed. `exists` false when there is
// none (or it cannot be examined).
FileEntry LookUpEntry(const std::string& path);

// A file this process made and still holds open: while it is held its inode cannot pass to another file, so
// comparing an entry with it says whether the entry is this very file.
class HeldFile {
public:
    HeldFile() = default;
    HeldFile(HeldFile&& other) noexcept;
    HeldFile& operator=(HeldFile&& other) noexcept;
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;
    ~HeldFile();

    bool IsHeld() const { return mFd >= 0; }
    // The file as it was made; `exists` false when none is held.
    const FileEntry& Entry() const { return mEntry; }
    // Lets go of the file (it stays on disk).
    void Release();

private:
    friend HeldFile CreateFileExclusively(const std::string& path, std::string& error);
    int mFd = -1;
    FileEntry mEntry;
};

// Creates `path` as a new empty regular file of mode 0600, never over an existing entry and never through a
// symbolic link, and holds it. Nothing held on failure, with the reason in `error`.
HeldFile CreateFileExclusively(const std::string& path, std::string& error);

// Removes the entry at `path` (a link is removed, not what it points to); false with the reason in
// `error` when it could not be removed.
bool RemoveEntry(const std::string& path, std::string& error);

} // namespace BRASK::PLATFORM
