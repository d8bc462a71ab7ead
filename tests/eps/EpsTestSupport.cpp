#include "EpsTestSupport.h"

#include "HostFiles.h"

#include "brask/TObject.h"
#include "memory/MemoryManager.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace BRASK::PLUGIN::TEST {

void EpsTest::SetUp() {
    ASSERT_EQ(MEMFIX::InitMemoryManager(), 0);
    std::string pattern = (std::filesystem::temp_directory_path() / "brask-eps-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    mDir = pattern;
    mHost = HOST::Host::Create(HOST::HostOptions{BRASK_APP_DIR, mDir});
    mPreviousSink =
        BLoggerLibInterface::GetInstance()->SetSink([this](const LogRecord& r) { mRecords.push_back(r); });
}

void EpsTest::TearDown() {
    BLoggerLibInterface::GetInstance()->SetSink(mPreviousSink);
    mHost.Reset();
    std::error_code ignored;
    std::filesystem::remove_all(mDir, ignored);
}

std::string EpsTest::WriteFile(const std::string& name, const std::string& bytes) {
    const std::string path = mDir + "/" + name;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    EXPECT_TRUE(out.good()) << path;
    return path;
}

TInterfacePtr<IO::IDataProvider> EpsTest::Open(const std::string& path) {
    TInterfacePtr<IO::IDataProvider> provider;
    EXPECT_EQ(EPSIMPORT::OpenReadOnly(*mHost, path, provider), kOK) << path;
    return provider;
}

ScannedEPS EpsTest::ScanFile(const std::string& path) {
    ScannedEPS scanned;
    scanned.provider = Open(path);
    scanned.reader = std::make_unique<EPSVectorFileReader>();
    scanned.status = scanned.reader->Init(scanned.provider.Get());
    return scanned;
}

ScannedEPS EpsTest::ScanText(const std::string& text) {
    return ScanFile(WriteFile("test" + std::to_string(++mFileCount) + ".eps", text));
}

int EpsTest::CountLogged(const char* function, const std::string& message) const {
    int n = 0;
    for (const LogRecord& r : mRecords)
        if (r.file == DSCLOG::kSource && r.function == function && r.MessageUTF8() == message &&
            r.type == 2 && r.level == 1)
            ++n;
    return n;
}

std::vector<std::u16string> ColorEntries(const std::uint16_t* list, std::uint16_t units) {
    std::vector<std::u16string> entries;
    if (list == nullptr)
        return entries;
    std::size_t pos = 1;
    for (int n = 0; n < list[0]; ++n) {
        std::u16string entry;
        while (pos < units && list[pos] != 0)
            entry.push_back(static_cast<char16_t>(list[pos++]));
        ++pos;
        entries.push_back(entry);
    }
    return entries;
}

namespace {
class FailingProvider : public TObject<IO::IDataProvider> {
public:
    explicit FailingProvider(std::int32_t size) : mSize(size) {}
    std::int32_t GetSize() override { return mSize; }
    std::int32_t GetPosition() override { return mPosition; }
    Status SetPosition(std::int32_t offset, std::int32_t) override {
        mPosition = offset;
        return kOK;
    }
    Status Read(void*, std::uint32_t& count) override {
        count = 0;
        return kIOError;
    }
    Status Write(const void*, std::uint32_t) override { return kReadOnly; }

private:
    std::int32_t mSize;
    std::int32_t mPosition = 0;
};
} // namespace

TInterfacePtr<IO::IDataProvider> MakeFailingProvider(std::int32_t size) {
    TInterfacePtr<IO::IDataProvider> provider;
    provider.Adopt(new FailingProvider(size));
    return provider;
}

} // namespace BRASK::PLUGIN::TEST
