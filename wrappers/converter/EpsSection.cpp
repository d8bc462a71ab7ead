#include "EpsSection.h"

#include "EPSVectorFileReader.h"
#include "MemoryManager.h"

#include "brask/FilterKeys.h"
#include "brask/TObject.h"

#include <cstdio>
#include <limits>
#include <memory>

namespace BRASK::WRAPPERS {

namespace {

// A read-only data provider over an open file, for the DSC reader.
class FileDataProvider : public TObject<IO::IDataProvider> {
public:
    FileDataProvider(std::FILE* file, std::int32_t size) : mFile(file), mSize(size) {}

    std::int32_t GetSize() override { return mSize; }
    std::int32_t GetPosition() override { return mPosition; }
    Status SetPosition(std::int32_t offset, std::int32_t origin) override {
        std::int64_t target = mPosition;
        const Status status = ResolvePosition(offset, origin, mPosition, mSize, target);
        mPosition = static_cast<std::int32_t>(target);
        return status;
    }
    Status Read(void* buffer, std::uint32_t& count) override {
        if (std::fseek(mFile, mPosition, SEEK_SET) != 0) {
            count = 0;
            return kIOError;
        }
        count = static_cast<std::uint32_t>(std::fread(buffer, 1, count, mFile));
        mPosition += static_cast<std::int32_t>(count);
        return std::ferror(mFile) ? kIOError : kOK;
    }
    Status Write(const void*, std::uint32_t) override { return kReadOnly; }

private:
    ~FileDataProvider() override = default;

    std::FILE* mFile;
    std::int32_t mSize;
    std::int32_t mPosition = 0;
};

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

} // namespace

std::optional<EpsSection> ReadEpsSection(const std::string& path, std::string& error) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        error = "cannot open the file";
        return std::nullopt;
    }
    std::fseek(file.get(), 0, SEEK_END);
    const long size = std::ftell(file.get());
    if (size <= 0 || size > std::numeric_limits<std::int32_t>::max()) {
        error = size <= 0 ? "the file is empty" : "the file is 2 GiB or larger";
        return std::nullopt;
    }

    MEMFIX::InitMemoryManager();
    TInterfacePtr<FileDataProvider> provider;
    provider.Adopt(new FileDataProvider(file.get(), static_cast<std::int32_t>(size)));
    PLUGIN::EPSVectorFileReader reader;
    reader.Init(provider.Get());

    EpsSection section;
    section.offset = static_cast<std::uint64_t>(reader.GetPostScriptStart());
    const std::int32_t end = reader.GetPostScriptEnd();
    section.length =
        end > reader.GetPostScriptStart() ? static_cast<std::uint64_t>(end - reader.GetPostScriptStart()) : 0;
    if (section.length == 0) {
        error = "no PostScript section";
        return std::nullopt;
    }
    const EpsBox box{FixedToPoints(reader.GetLeft()), FixedToPoints(reader.GetBottom()),
                     FixedToPoints(reader.GetRight()), FixedToPoints(reader.GetTop())};
    if (box.left != 0 || box.bottom != 0 || box.right != 0 || box.top != 0)
        section.box = box;
    return section;
}

} // namespace BRASK::WRAPPERS
