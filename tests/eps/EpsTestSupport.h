// Shared fixture of the EPS analysis tests: EPS texts are written to real files in a private folder and read
// through the reference host's file data provider.
#pragma once

#include "../support/HostFixture.h"

#include "DSCLog.h"
#include "EPSVectorFileReader.h"
#include "MemoryManager.h"

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
    std::vector<std::u16string> Colors() const {
        const std::uint16_t* list = reader->GetCustomColorList();
        const std::size_t units = reader->GetCustomColorListSize();
        std::vector<std::u16string> entries;
        std::size_t pos = 1;
        for (int n = 0; list != nullptr && n < list[0]; ++n, ++pos) {
            entries.emplace_back();
            while (pos < units && list[pos] != 0)
                entries.back().push_back(static_cast<char16_t>(list[pos++]));
        }
        EXPECT_EQ(list ? pos : 0, units) << "entries and list size disagree";
        return entries;
    }
};

class EpsTest : public BRASK::TEST::HostFixture {
protected:
    void SetUp() override {
        ASSERT_EQ(MEMFIX::InitMemoryManager(), 0);
        HostFixture::SetUp();
    }

    // A scan of a file; the log then holds the records of this scan only.
    ScannedEPS ScanFile(const std::string& path) {
        ScannedEPS scanned{FileSource(path), std::make_unique<EPSVectorFileReader>()};
        mLog.Clear();
        scanned.status = scanned.reader->Init(scanned.provider.Get());
        return scanned;
    }
    ScannedEPS ScanText(const std::string& text) {
        return ScanFile(WriteFile("test" + std::to_string(++mFileCount) + ".eps", text));
    }
    // Records logged by the DSC reader under `function` with exactly `message`.
    int CountLogged(const char* function, const std::string& message) const {
        int n = 0;
        for (const LogRecord& r : mLog.Records())
            n += r.file == DSCLOG::kSource && r.function == function && r.MessageUTF8() == message &&
                 r.type == 2 && r.level == 1;
        return n;
    }

private:
    int mFileCount = 0;
};

} // namespace BRASK::PLUGIN::TEST
