#include "EpsTestSupport.h"

#include "HostFiles.h"

#include "memory/MemoryManager.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace BRASK::PLUGIN::TEST {

std::vector<std::u16string> ScannedEPS::Colors() const {
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
    mRecords.clear();
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

} // namespace BRASK::PLUGIN::TEST
