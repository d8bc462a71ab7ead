// Shared set-up of the host tests: a host over a private temporary folder, files on disk, log capture, and
// a check that every test ends with as many live objects as it started with.
#pragma once

#include "brask/Brask.h"
#include "brask_host/Host.h"
#include "brask_host/HostStatus.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace BRASK::HOST::TEST {

class HostTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // A fresh object of `classId` from the host, as a T (fails the test when it is not one).
    template <class T> TInterfacePtr<T> Make(const GUID& classId) {
        TInterfacePtr<T> made;
        EXPECT_EQ(BRASK::CreateInstance<T>(mHost.Get(), classId, made), kOK);
        EXPECT_TRUE(made) << classId.ToString();
        return made;
    }

    // A path inside this test's private temporary folder.
    std::string TempPath(const std::string& name) const { return mTempDir + "/" + name; }
    // A data provider on `path` through the URI registry; the status of the open goes to `status`.
    TInterfacePtr<IO::IDataProvider> OpenFile(const std::string& path, bool readWrite,
                                              Status* status = nullptr);
    // An initialised memory provider over `bytes`.
    TInterfacePtr<IO::IMemoryDataProvider> MemoryProvider(const std::vector<std::uint8_t>& bytes);

    TInterfacePtr<Host> mHost;
    std::string mTempDir;

private:
    std::int64_t mLiveAtStart = 0;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
std::vector<std::uint8_t> Bytes(const std::string& text);
std::string Utf8(const CoreString& text);

// Replaces the logger sink for its lifetime and keeps every record.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<LogRecord>& Records() const { return mRecords; }

private:
    std::vector<LogRecord> mRecords;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::HOST::TEST
