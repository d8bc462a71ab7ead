// A scratch file for bytes that arrive in pieces and are read back whole, so that they need not be held in
// memory. It has no name (or loses it at once), so it goes when closed, whatever ends the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace BRASK::WRAPPERS {

class SpoolFile {
public:
    SpoolFile() = default;
    ~SpoolFile();
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;

    // Opens an empty file in `folder` (closing any open one); false with `error` saying why.
    bool Open(const std::string& folder, std::string& error);
    bool IsOpen() const { return mFd >= 0; }
    // Appends the bytes; false when the file cannot take them (closed, disk full).
    bool Append(const void* data, std::size_t length);
    std::uint64_t Size() const { return mSize; }
    // Up to `capacity` bytes from `offset`: the count read, 0 at the end, -1 on an error.
    std::int64_t ReadAt(std::uint64_t offset, char* buffer, std::size_t capacity) const;
    void Close();

private:
    int mFd = -1;
    std::uint64_t mSize = 0;
};

} // namespace BRASK::WRAPPERS
