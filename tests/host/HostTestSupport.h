// Shared set-up of the host tests: a host over a private temporary folder, files on disk, log capture, and
// a check that every test ends with as many live objects as it started with.
#pragma once

#include "brask/Brask.h"
#include "brask_host/Host.h"
#include "brask_host/HostStatus.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace BRASK::HOST::TEST {

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(std::filesystem::file_size(path), bytes.size()) << path;
}
inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}
inline std::string Utf8(const CoreString& text) {
    return text.GetUTF8String();
}

class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        mLiveAtStart = ObjectCounter::Live();
        std::string pattern = (std::filesystem::temp_directory_path() / "brask-host-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        mTempDir = pattern;
        mHost = Host::Create(HostOptions{BRASK_APP_DIR, mTempDir});
    }
    void TearDown() override {
        mHost.Reset();
        std::error_code ignored;
        std::filesystem::remove_all(mTempDir, ignored);
        EXPECT_EQ(ObjectCounter::Live(), mLiveAtStart) << "host objects leaked";
    }

    // A fresh object of `classId` from the host, as a T (fails the test when it is not one).
    template <class T> TInterfacePtr<T> Make(const GUID& classId) {
        TInterfacePtr<T> made;
        EXPECT_EQ(BRASK::CreateInstance<T>(mHost.Get(), classId, made), kOK) << classId.ToString();
        return made;
    }
    std::string TempPath(const std::string& name) const { return mTempDir + "/" + name; }

    // A data provider on `path` through the URI registry; the status of the open goes to `status`.
    TInterfacePtr<IO::IDataProvider> OpenFile(const std::string& path, bool readWrite,
                                              Status* status = nullptr) {
        auto uri = Make<IO::IURI>(CLSID::URI);
        auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
        EXPECT_EQ(uri->SetText(CoreString::FromUTF8(path)), kOK);
        TInterfacePtr<IO::IURIFile> file;
        EXPECT_EQ(registry->GetURIFile(*uri, file), kOK);
        EXPECT_EQ(uri->SetText(u"/elsewhere"), kOK); // the file keeps its own copy of the URI
        TInterfacePtr<IO::IDataProviderStream> stream;
        const Status opened =
            readWrite ? file->OpenReadWriteStream(stream) : file->OpenReadOnlyStream(stream);
        if (status != nullptr)
            *status = opened;
        TInterfacePtr<IO::IDataProvider> provider;
        if (opened == kOK && stream)
            provider.Reset(stream->GetDataProvider());
        return provider;
    }
    // An initialised memory provider over `bytes`.
    TInterfacePtr<IO::IMemoryDataProvider> MemoryProvider(const std::vector<std::uint8_t>& bytes) {
        auto provider = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
        EXPECT_EQ(provider->Init(bytes.data(), static_cast<std::int32_t>(bytes.size())), kOK);
        EXPECT_EQ(provider->Open(0), kOK);
        return provider;
    }

    TInterfacePtr<Host> mHost;
    std::string mTempDir;

private:
    std::int64_t mLiveAtStart = 0;
};

// Replaces the logger sink for its lifetime and keeps every record.
class LogCapture {
public:
    LogCapture() {
        mPrevious = BLoggerLibInterface::GetInstance()->SetSink(
            [this](const LogRecord& r) { mRecords.push_back(r); });
    }
    ~LogCapture() { BLoggerLibInterface::GetInstance()->SetSink(std::move(mPrevious)); }
    const std::vector<LogRecord>& Records() const { return mRecords; }

private:
    std::vector<LogRecord> mRecords;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::HOST::TEST
