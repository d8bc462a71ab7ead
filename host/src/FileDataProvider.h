// A data provider over a file: 32-bit positions, read-only or read-write, carrying its URI.
#pragma once

#include "NativePath.h"
#include "brask/IO.h"
#include "brask/TObject.h"

#include <cstdint>
#include <string>

namespace BRASK::HOST {

class FileDataProvider : public TObject<IO::IDataProvider> {
public:
    enum class Mode { kReadOnly, kReadWrite };

    // Opens `path` (read-write creates it when missing) positioned at 0, and attaches a copy of `uri` under
    // IURI::IID. kOK with `out` set, or: IFile::kNotFound for a missing file (read-only), kFileTooLarge for
    // a file of 2 GiB or more, kIOError when the file cannot be opened or is not a regular file.
    static Status Open(const std::string& path, Mode mode, const IO::IURI& uri,
                       TInterfacePtr<IO::IDataProvider>& out);

    // The file's size; a file grown to 2 GiB or more by someone else answers 2^31-1.
    std::int32_t GetSize() override;
    std::int32_t GetPosition() override { return static_cast<std::int32_t>(mPosition); }
    // Origins 0 (start), 1 (end), 2 (current). A result outside 0 .. 2^31-1 gives kBadPosition and keeps the
    // position; a position past the end is allowed (reads there deliver nothing, writes extend the file).
    Status SetPosition(std::int32_t offset, std::int32_t origin) override;
    Status Read(void* buffer, std::uint32_t& count) override;
    // kReadOnly on a read-only provider; kBadPosition when the file would reach 2 GiB.
    Status Write(const void* buffer, std::uint32_t count) override;

private:
    FileDataProvider(UniqueFd fd, Mode mode) : mFd(std::move(fd)), mMode(mode) {}

    UniqueFd mFd;
    Mode mMode;
    std::int64_t mPosition = 0;
};

} // namespace BRASK::HOST
