// Loading and starting the interpreter wrapper, its device path, and a distillation without it.
#include "RipFixture.h"

#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "JawsFolders.h"
#include "Rip.h"

#include <filesystem>
#include <tuple>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::PLUGIN;

namespace {

std::string FakeJaws(const std::string& variant) {
    return std::string(BRASK_FAKES_DIR) + "/jaws-" + variant + "/libBraskPDF.so";
}

class JawsLibrary : public BRASK::TEST::RipFixture {
protected:
    // Loads the variant with a flag of this test's own (the process-wide flag stays untouched).
    bool Load(const std::string& variant) {
        UseApplicationFolder("jaws-" + variant);
        return LoadJawsLibrary(mFlag, mHost.Get());
    }
    int Count(const std::string& variant, const char* name) {
        auto calls = FakeSymbol<int (*)()>(FakeJaws(variant), name);
        return calls == nullptr ? -1 : calls();
    }
    std::atomic<bool> mFlag{false};
};

} // namespace

TEST_F(JawsLibrary, StartsOnceWithTheDevicePathAndRoutesItsMessages) {
    ASSERT_TRUE(Load("ok"));
    EXPECT_TRUE(mFlag.load());
    EXPECT_TRUE(LoadJawsLibrary(mFlag, mHost.Get())); // the fast path: no second start
    EXPECT_EQ(Count("ok", "fake_startup_calls"), 1);

    auto initFile = FakeSymbol<const char* (*)()>(FakeJaws("ok"), "fake_init_file");
    EXPECT_STREQ(initFile(), "%lib%init.ps");
    auto devicePath = FakeSymbol<const char* (*)()>(FakeJaws("ok"), "fake_device_path");
    const std::string app = std::string(BRASK_FAKES_DIR) + "/jaws-ok";
    const std::string perProcess = mTemp.Path().string() + "/jaws" + std::to_string(getpid());
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
    EXPECT_TRUE(std::filesystem::is_directory(perProcess));

    // The interpreter's message came through jawsLogging, each byte widened to one unit.
    const auto records = mLog.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, L"fake interpreter: started \u00E9");
    EXPECT_EQ(records[0].file, "core/Common/Headers/Jaws/JawsUtils");
    EXPECT_EQ(records[0].function, "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)");
    EXPECT_EQ(records[0].type, 2);
}

TEST_F(JawsLibrary, StartStatusesAndLibrariesThatCannotServe) {
    struct Case {
        const char* variant;
        bool loaded;
        int startups; // after two requests: a failed start is retried by the next one
        int loggers;
    };
    const Case cases[] = {
        {"minus2", true, 1, 1},  // "already running" counts as success
        {"fails", false, 2, 2},  // retried
        {"started", true, 0, 0}, // an interpreter already started is neither started nor given a logger
        {"missing", false, 0, 0} // one missing name (one the plug-in never calls) means no library
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        mFlag = false;
        EXPECT_EQ(Load(c.variant), c.loaded);
        EXPECT_EQ(LoadJawsLibrary(mFlag, mHost.Get()), c.loaded);
        EXPECT_EQ(mFlag.load(), c.loaded);
        EXPECT_EQ(Count(c.variant, "fake_startup_calls"), c.startups);
        EXPECT_EQ(Count(c.variant, "fake_logger_calls"), c.loggers);
    }
    for (const char* folder : {"nowhere", ""}) { // no wrapper in the application folder, or no folder
        UseApplicationFolder(folder);
        EXPECT_FALSE(LoadJawsLibrary(mFlag, mHost.Get())) << folder;
    }
}

TEST_F(JawsLibrary, DevicePathCarriesNonAsciiFoldersAsUTF8) {
    const std::string application = (mTemp.Path() / "Gr\xC3\xBC\xC3\x9F"
                                                    "e")
                                        .string();
    UseHost(application);
    char* raw = nullptr;
    MakeJawsDevicePath(mHost.Get(), raw);
    const std::string made(raw);
    delete[] raw;
    EXPECT_NE(made.find("%profiles%=" + application + "/Profiles;"), std::string::npos);
}

TEST(JawsFolderNames, OnlyTheFirstBackslashTurns) {
    EXPECT_EQ(ReplaceFirstBackslash(BXString("C:\\Tmp\\jaws42\\")).GetUTF8String(), "C:/Tmp\\jaws42\\");
    EXPECT_EQ(ReplaceFirstBackslash(BXString("/tmp/jaws42/")).GetUTF8String(), "/tmp/jaws42/");
}

TEST_F(JawsLibrary, DistillWithoutTheLibraryWritesNothingAndFails) {
    // The only test here that uses the process-wide flag: nothing loads a wrapper from this folder.
    UseApplicationFolder("nowhere");
    const std::string pdf = (mTemp.Path() / "out.pdf").string();
    auto provider =
        MemorySource("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\nshowpage\n");
    EPSVectorFileReader reader;
    ASSERT_EQ(reader.Init(provider.Get()), DSCNoError);
    EPSJawsRip rip(mHost.Get(), nullptr, provider.Get(), &reader);
    EXPECT_EQ(rip.CreatePDFGraphics(pdf.c_str()), 7);
    EXPECT_EQ(Logged("The interpreter library is not available."), 1u);
    EXPECT_FALSE(std::filesystem::exists(pdf));
}

TEST(DistillParams, AnInvertedBoxGivesPositiveSizesFromTheGivenOrigin) {
    class BoxReader : public EPSVectorFileReader {
    public:
        Fixed GetLeft() const override { return 100 << 16; }
        Fixed GetRight() const override { return 40 << 16; }
        Fixed GetBottom() const override { return -(10 << 16); }
        Fixed GetTop() const override { return -(30 << 16) - 0x8000; }
    } reader;
    EPSJawsRip rip(nullptr, nullptr, nullptr, &reader);
    const RipDistillParams params = rip.MakeDistillParams();
    EXPECT_EQ(std::tie(params.left, params.bottom, params.width, params.height),
              std::make_tuple(100 << 16, -(10 << 16), 60 << 16, (20 << 16) + 0x8000));
}
