#include "RipFixture.h"

#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "JawsFolders.h"
#include "LibUtils.h"
#include "Rip.h"

#include <cstring>

#include <filesystem>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::LogCapture;

namespace {

std::string FakeJaws(const std::string& variant) {
    return std::string(BRASK_FAKES_DIR) + "/jaws-" + variant + "/libBraskPDF.so";
}

class JawsLibrary : public BRASK::TEST::RipFixture {
protected:
    // Loads the variant with a flag of this test's own (the process-wide flag stays untouched).
    bool Load(const std::string& variant) {
        UseApplicationFolder("jaws-" + variant);
        return LoadJawsLibrary(mFlag);
    }
    int StartupCalls(const std::string& variant) {
        auto calls = FakeSymbol<int (*)()>(FakeJaws(variant), "fake_startup_calls");
        return calls == nullptr ? -1 : calls();
    }
    std::atomic<bool> mFlag{false};
};

} // namespace

TEST_F(JawsLibrary, StartsOnceWithTheDevicePathAndRoutesItsMessages) {
    LogCapture log;
    ASSERT_TRUE(Load("ok"));
    EXPECT_TRUE(mFlag.load());
    EXPECT_EQ(StartupCalls("ok"), 1);
    EXPECT_TRUE(LoadJawsLibrary(mFlag)); // the fast path: no second start
    EXPECT_EQ(StartupCalls("ok"), 1);

    auto initFile = FakeSymbol<const char* (*)()>(FakeJaws("ok"), "fake_init_file");
    EXPECT_STREQ(initFile(), "%lib%init.ps");
    auto devicePath = FakeSymbol<const char* (*)()>(FakeJaws("ok"), "fake_device_path");
    const std::string app = std::string(BRASK_FAKES_DIR) + "/jaws-ok";
    const std::string perProcess = mTempDir.Path().string() + "/jaws" + std::to_string(getpid());
    // The font stub tree of the shared RIP folder and the installed fonts' folders come first.
    const std::string path = devicePath();
    const std::string fonts = "%os%=;%xfont%+" + app + "/jaws/FontStubs;%psfont%=";
    EXPECT_EQ(path.substr(0, fonts.size()), fonts);
    EXPECT_NE(path.find("/usr/share/fonts/"), std::string::npos);
    const std::string rest =
        ";%temp%=" + perProcess + ";%profiles%=" + app + "/Profiles;%default%+" + perProcess + ";%ram%!";
    ASSERT_GT(path.size(), rest.size());
    EXPECT_EQ(path.substr(path.size() - rest.size()), rest);
    EXPECT_TRUE(std::filesystem::exists(app + "/jaws/FontStubs/_edir_"));
    // Both RIP folders now exist.
    EXPECT_TRUE(std::filesystem::is_directory(perProcess));
    EXPECT_TRUE(std::filesystem::is_directory(app + "/jaws"));

    // The interpreter's message came through jawsLogging, each byte widened to one unit.
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, L"fake interpreter: started \u00E9");
    EXPECT_EQ(records[0].file, "core/Common/Headers/Jaws/JawsUtils");
    EXPECT_EQ(records[0].function, "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)");
    EXPECT_EQ(records[0].type, 2);
}

TEST_F(JawsLibrary, StartupStatusMinusTwoCountsAsSuccess) {
    EXPECT_TRUE(Load("minus2"));
}

TEST_F(JawsLibrary, FailedStartIsRetriedByTheNextRequest) {
    EXPECT_FALSE(Load("fails"));
    EXPECT_FALSE(mFlag.load());
    EXPECT_FALSE(LoadJawsLibrary(mFlag));
    EXPECT_EQ(StartupCalls("fails"), 2);
}

TEST_F(JawsLibrary, AlreadyStartedInterpreterIsNeitherStartedNorGivenALogger) {
    ASSERT_TRUE(Load("started"));
    EXPECT_EQ(StartupCalls("started"), 0);
    auto loggerCalls = FakeSymbol<int (*)()>(FakeJaws("started"), "fake_logger_calls");
    EXPECT_EQ(loggerCalls(), 0);
}

TEST_F(JawsLibrary, OneMissingNameMeansNoLibrary) {
    EXPECT_FALSE(Load("missing"));
    // The name is one the plug-in never calls, yet the wrapper counts as absent and is not started.
    EXPECT_EQ(StartupCalls("missing"), 0);
}

TEST_F(JawsLibrary, NoLibraryInTheApplicationFolder) {
    UseApplicationFolder("nowhere");
    EXPECT_FALSE(LoadJawsLibrary(mFlag));
    UseApplicationFolder("");
    EXPECT_FALSE(LoadJawsLibrary(mFlag));
}

TEST_F(JawsLibrary, DevicePathCarriesFontsAndNonAsciiFoldersAsUTF8) {
    UseApplicationFolder("jaws-ok");
    const CoreString fonts = BXString("%xfont%+/app/jaws/FontStubs;%psfont%=/usr/share/fonts/;");
    const std::string path = BuildJawsDevicePath(fonts).GetUTF8String();
    EXPECT_EQ(path.find("%os%=;%xfont%+/app/jaws/FontStubs;%psfont%=/usr/share/fonts/;%temp%="), 0u);

    HOST::HostOptions options;
    options.applicationDir = (mTempDir.Path() / "Gr\xC3\xBC\xC3\x9F"
                                                "e")
                                 .string();
    options.temporaryDir = mTempDir.Path().string();
    auto host = HOST::Host::Create(options);
    COREREGISTRY::ClassFactorySlot::Set(host.Get());
    char* raw = nullptr;
    MakeJawsDevicePath(raw);
    const std::string made(raw);
    delete[] raw;
    EXPECT_NE(made.find("%profiles%=" + options.applicationDir + "/Profiles;"), std::string::npos);
    COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
}

TEST(JawsFolderNames, OnlyTheFirstBackslashTurns) {
    EXPECT_EQ(ReplaceFirstBackslash(BXString("C:\\Tmp\\jaws42\\")).GetUTF8String(), "C:/Tmp\\jaws42\\");
    EXPECT_EQ(ReplaceFirstBackslash(BXString("/tmp/jaws42/")).GetUTF8String(), "/tmp/jaws42/");
}

TEST_F(JawsLibrary, DistillWithoutTheLibraryWritesNothingAndFails) {
    // The only test here that uses the process-wide flag: nothing loads a wrapper from this folder.
    UseApplicationFolder("nowhere");
    EPSVectorFileReader reader;
    EPSJawsRip rip(nullptr, nullptr, &reader);
    const std::string pdf = (mTempDir.Path() / "out.pdf").string();
    TInterfacePtr<IO::IDataProvider> provider;
    const std::string eps =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\nshowpage\n%%EOF\n";
    IO::CreateReadOnlyDataProvider(mHost.Get(), provider, eps.data(), static_cast<std::int32_t>(eps.size()));
    ASSERT_EQ(reader.Init(provider.Get()), DSCNoError);
    EPSJawsRip withProvider(nullptr, provider.Get(), &reader);
    LogCapture log;
    EXPECT_EQ(withProvider.CreatePDFGraphics(pdf.c_str()), 7);
    EXPECT_EQ(log.WithMessage("The interpreter library is not available.").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(withProvider.GetColorSpaceCount(), 0);
    EXPECT_EQ(withProvider.GetColorSpaceList(), nullptr);
    EXPECT_FALSE(withProvider.IsRasterJob());
}

TEST(DistillParams, RecordBytesForAnInvertedBox) {
    // Right < left and top < bottom: positive sizes, the given left and bottom kept as origin.
    class BoxReader : public EPSVectorFileReader {
    public:
        Fixed GetLeft() const override { return 100 << 16; }
        Fixed GetRight() const override { return 40 << 16; }
        Fixed GetBottom() const override { return -(10 << 16); }
        Fixed GetTop() const override { return -(30 << 16) - 0x8000; }
    } reader;
    EPSJawsRip rip(nullptr, nullptr, &reader);
    const RipDistillParams params = rip.MakeDistillParams();
    unsigned char bytes[88];
    std::memcpy(bytes, &params, sizeof bytes);
    unsigned char expected[88] = {};
    const auto put32 = [&](int offset, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            expected[offset + i] = static_cast<unsigned char>(v >> (8 * i));
    };
    put32(0, 88);
    put32(4, 100u << 16);
    put32(8, static_cast<std::uint32_t>(-(10 << 16)));
    put32(12, 60u << 16);
    put32(16, (20u << 16) + 0x8000);
    put32(20, 0x1200000);
    put32(24, 0x1200000);
    expected[34] = 1;
    put32(80, 3);
    EXPECT_EQ(0, std::memcmp(bytes, expected, sizeof bytes));
}
