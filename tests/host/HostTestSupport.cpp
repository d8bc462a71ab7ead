#include "HostTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

namespace BRASK::HOST::TEST {

void HostTest::SetUp() {
    mLiveAtStart = ObjectCounter::Live();
    std::string pattern = (std::filesystem::temp_directory_path() / "brask-host-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    mTempDir = pattern;
    mHost = Host::Create(HostOptions{BRASK_APP_DIR, mTempDir});
}

void HostTest::TearDown() {
    mHost.Reset();
    std::error_code ignored;
    std::filesystem::remove_all(mTempDir, ignored);
    EXPECT_EQ(ObjectCounter::Live(), mLiveAtStart) << "host objects leaked";
}

TInterfacePtr<IO::IDataProvider> HostTest::OpenFile(const std::string& path, bool readWrite, Status* status) {
    TInterfacePtr<IO::IDataProvider> provider;
    auto uri = Make<IO::IURI>(CLSID::URI);
    auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
    EXPECT_EQ(uri->SetText(CoreString::FromUTF8(path)), kOK);
    TInterfacePtr<IO::IURIFile> file;
    EXPECT_EQ(registry->GetURIFile(*uri, file), kOK);
    TInterfacePtr<IO::IDataProviderStream> stream;
    const Status opened = readWrite ? file->OpenReadWriteStream(stream) : file->OpenReadOnlyStream(stream);
    if (status != nullptr)
        *status = opened;
    if (opened == kOK && stream)
        provider.Reset(stream->GetDataProvider());
    return provider;
}

TInterfacePtr<IO::IMemoryDataProvider> HostTest::MemoryProvider(const std::vector<std::uint8_t>& bytes) {
    auto provider = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
    EXPECT_EQ(provider->Init(bytes.data(), static_cast<std::int32_t>(bytes.size())), kOK);
    EXPECT_EQ(provider->Open(0), kOK);
    return provider;
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<std::uint8_t> Bytes(const std::string& text) {
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

std::string Utf8(const CoreString& text) {
    return text.GetUTF8String();
}

LogCapture::LogCapture() {
    mPrevious =
        BLoggerLibInterface::GetInstance()->SetSink([this](const LogRecord& r) { mRecords.push_back(r); });
}

LogCapture::~LogCapture() {
    BLoggerLibInterface::GetInstance()->SetSink(std::move(mPrevious));
}

} // namespace BRASK::HOST::TEST
