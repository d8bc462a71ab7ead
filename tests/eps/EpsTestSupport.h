// Shared fixture of the EPS analysis tests: EPS texts are written to real files in a private folder and read
// through the reference host's file data provider; log records are captured.
#pragma once

#include "eps/DSCLog.h"
#include "eps/EPSVectorFileReader.h"

#include "brask/Logger.h"
#include "brask/TObject.h"
#include "brask_host/Host.h"

#include <gtest/gtest.h>

#include <array>
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
    std::array<Fixed, 4> Box() const {
        return {reader->GetLeft(), reader->GetBottom(), reader->GetRight(), reader->GetTop()};
    }
    // The custom colour list's entries; they must fill the list exactly.
    std::vector<std::u16string> Colors() const;
};

class EpsTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string WriteFile(const std::string& name, const std::string& bytes);
    TInterfacePtr<IO::IDataProvider> Open(const std::string& path);
    // A scan of a file; the log then holds the records of this scan only.
    ScannedEPS ScanFile(const std::string& path);
    ScannedEPS ScanText(const std::string& text);
    // Records logged by the DSC reader under `function` with exactly `message`.
    int CountLogged(const char* function, const std::string& message) const;

    std::string mDir;
    TInterfacePtr<HOST::Host> mHost;
    std::vector<LogRecord> mRecords;

private:
    BLoggerLibInterface::Sink mPreviousSink;
    int mFileCount = 0;
};

} // namespace BRASK::PLUGIN::TEST
