// Shared fixture of the EPS analysis tests: EPS texts are written to real files in a private folder and read
// through the reference host's file data provider; log records are captured.
#pragma once

#include "eps/DSCLog.h"
#include "eps/EPSVectorFileReader.h"

#include "brask/Logger.h"
#include "brask_host/Host.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace BRASK::PLUGIN::TEST {

constexpr Fixed Pt(double points) {
    return static_cast<Fixed>(points * 65536.0);
}

// A scanned file: the provider outlives the reader that borrows it.
struct ScannedEPS {
    TInterfacePtr<IO::IDataProvider> provider;
    std::unique_ptr<EPSVectorFileReader> reader;
    DSCError status = DSCNoError;

    const EPSInfo& Info() const { return *reader->GetEPSInfo(); }
    std::uint32_t Flags() const { return reader->GetFlags(); }
};

class EpsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Writes `bytes` into the test folder and returns the path.
    std::string WriteFile(const std::string& name, const std::string& bytes);
    TInterfacePtr<IO::IDataProvider> Open(const std::string& path);
    ScannedEPS ScanFile(const std::string& path);
    ScannedEPS ScanText(const std::string& text);

    // Records logged since SetUp by the DSC reader under `function` with exactly `message`.
    int CountLogged(const char* function, const std::string& message) const;
    const std::vector<LogRecord>& Records() const { return mRecords; }

    std::string mDir;
    TInterfacePtr<HOST::Host> mHost;

private:
    std::vector<LogRecord> mRecords;
    BLoggerLibInterface::Sink mPreviousSink;
    int mFileCount = 0;
};

// The custom colour list's entries as UTF-16 strings.
std::vector<std::u16string> ColorEntries(const std::uint16_t* list, std::uint16_t units);

// A provider whose reads fail without delivering bytes (a failure a real file cannot be made to give).
TInterfacePtr<IO::IDataProvider> MakeFailingProvider(std::int32_t size);

} // namespace BRASK::PLUGIN::TEST
