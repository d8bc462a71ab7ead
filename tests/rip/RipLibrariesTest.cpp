// Loading and starting the interpreter wrapper, its device path, and a distillation without it; the converter
// wrapper and its job options file.
#include "RipFixture.h"

#include "CallasRip.h"
#include "EPSVectorFileReader.h"
#include "JawsEntryPoints.h"
#include "JawsFolders.h"
#include "JobDictionary.h"
#include "LibUtils.h"
#include "Rip.h"

#include <filesystem>
#include <regex>
#include <thread>
#include <tuple>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::PLUGIN;

namespace {

std::string FakeJaws(const std::string& variant) {
    return std::string(BRASK_FAKES_DIR) + "/jaws-" + variant + "/libBraskPDF.so";
}
std::string FakeCallas(const std::string& variant) {
    return std::string(BRASK_FAKES_DIR) + "/callas-" + variant + "/PDFToolBox/libCallasWrapper.so";
}

constexpr char kNineLines[] = "<<\n"
                              "/AllowTransparency true\n"
                              "/AutoPositionEPSFiles true\n"
                              "/ColorConversionStrategy  /LeaveColorUnchanged\n"
                              "/CompatibilityLevel 1.4\n"
                              ">> setdistillerparams\n"
                              "<<\n"
                              "/HWResolution [2400.00 2400.00]\n"
                              ">> setpagedevice\n";

class RipLibraries : public BRASK::TEST::RipFixture {
protected:
    // Loads the variant with a flag of this test's own (the process-wide flag stays untouched).
    bool Load(const std::string& variant) {
        UseApplicationFolder("jaws-" + variant);
        return LoadJawsLibrary(mFlag, mHost.Get());
    }
    // What the loaded stand-in `library` reports through its export `name` (-1: not loaded).
    static int Count(const std::string& library, const char* name) {
        auto read = FakeSymbol<int (*)()>(library, name);
        return read == nullptr ? -1 : read();
    }
    static std::string Text(const std::string& library, const char* name) {
        return FakeSymbol<const char* (*)()>(library, name)();
    }
    TInterfacePtr<IO::IURI> PictureURI() {
        UseApplicationFolder("callas-ok");
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8("/pictures/logo.eps"));
        return uri;
    }
    std::atomic<bool> mFlag{false};
};

} // namespace

TEST_F(RipLibraries, StartsOnceWithTheDevicePathAndRoutesItsMessages) {
    ASSERT_TRUE(Load("ok"));
    EXPECT_TRUE(mFlag.load());
    EXPECT_TRUE(LoadJawsLibrary(mFlag, mHost.Get())); // the fast path: no second start
    EXPECT_EQ(Count(FakeJaws("ok"), "fake_startup_calls"), 1);

    EXPECT_EQ(Text(FakeJaws("ok"), "fake_init_file"), "%lib%init.ps");
    const std::string app = std::string(BRASK_FAKES_DIR) + "/jaws-ok";
    const std::string perProcess = mTemp.Path().string() + "/jaws" + std::to_string(getpid());
    // The font stub tree of the shared RIP folder and the installed fonts' folders come first.
    const std::string path = Text(FakeJaws("ok"), "fake_device_path");
    const std::string fonts = "%os%=;%xfont%+" + app + "/jaws/FontStubs;%psfont%=";
    EXPECT_EQ(path.substr(0, fonts.size()), fonts);
    EXPECT_NE(path.find("/usr/share/fonts/"), std::string::npos);
    const std::string rest =
        ";%temp%=" + perProcess + ";%profiles%=" + app + "/Profiles;%default%+" + perProcess + ";%ram%!";
    ASSERT_GT(path.size(), rest.size());
    EXPECT_EQ(path.substr(path.size() - rest.size()), rest);
    EXPECT_TRUE(std::filesystem::is_directory(perProcess));

    // The interpreter's message came through jawsLogging, each byte widened to one unit.
    const auto records = mLog.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::tie(records[0].message, records[0].file, records[0].function, records[0].type),
              std::make_tuple(L"fake interpreter: started \u00E9", "core/Common/Headers/Jaws/JawsUtils",
                              "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)", 2));
}

TEST_F(RipLibraries, StartStatusesAndLibrariesThatCannotServe) {
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
        EXPECT_EQ(Count(FakeJaws(c.variant), "fake_startup_calls"), c.startups);
        EXPECT_EQ(Count(FakeJaws(c.variant), "fake_logger_calls"), c.loggers);
    }
    for (const char* folder : {"nowhere", ""}) { // no wrapper in the application folder, or no folder
        UseApplicationFolder(folder);
        EXPECT_FALSE(LoadJawsLibrary(mFlag, mHost.Get())) << folder;
    }
}

TEST_F(RipLibraries, DevicePathCarriesNonAsciiFoldersAsUTF8) {
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

TEST_F(RipLibraries, DistillWithoutTheLibraryWritesNothingAndFails) {
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

TEST_F(RipLibraries, JobOptionsFileHasTheNineLinesAndIsGoneAfterTheConversion) {
    const std::string ok = FakeCallas("ok");
    CallasLibrary library(ok);
    ASSERT_TRUE(library.IsLoaded());
    auto uri = PictureURI();
    CallasRip rip(uri.Get(), mHost.Get(), library);

    SetDistillerParams(true);
    EXPECT_EQ(rip.CreatePDFGraphics("/out/x.pdf", true), kOK);
    EXPECT_EQ(std::make_tuple(Count(ok, "fake_save_calls"), Text(ok, "fake_job_text"),
                              Text(ok, "fake_source"), Text(ok, "fake_output"), Count(ok, "fake_is_eps")),
              std::make_tuple(1, kNineLines, "/pictures/logo.eps", "/out/x.pdf", 1));

    // In the temporary folder, named by a new version-4 GUID.
    const std::string jobPath = Text(ok, "fake_job_path");
    EXPECT_EQ(std::filesystem::path(jobPath).parent_path(), mTemp.Path());
    EXPECT_TRUE(
        std::regex_match(std::filesystem::path(jobPath).filename().string(),
                         std::regex(R"(\{[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[0-9A-F]{4}-[0-9A-F]{12}\})"
                                    R"(bxp\.joboptions)",
                                    std::regex::icase)))
        << jobPath;
    EXPECT_FALSE(std::filesystem::exists(jobPath));
    EXPECT_TRUE(JobDictionary::Instance().DistillerParams().empty());
    EXPECT_TRUE(JobDictionary::Instance().PageDeviceParams().empty());

    // A new name for every conversion.
    SetDistillerParams(false);
    rip.CreatePDFGraphics("/out/y.pdf", false);
    EXPECT_NE(Text(ok, "fake_job_path"), jobPath);
}

TEST_F(RipLibraries, MissingOrFailingConverterIsLoggedAndFails) {
    auto uri = PictureURI();
    mLog.Clear();
    CallasLibrary absent((mTemp.Path() / "none.so").string());
    EXPECT_FALSE(absent.IsLoaded());
    CallasRip noLibrary(uri.Get(), mHost.Get(), absent);
    const auto records = mLog.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::make_tuple(records[0].MessageUTF8(), records[0].file, records[0].function),
              std::make_tuple("Failed to load Callas library",
                              "core/Plugins/EPSLoader/Source/src/Common/CallasRip",
                              "__cdecl BRASK::PLUGIN::CallasRip::CallasRip(class BRASK::IO::IURI &)"));
    SetDistillerParams(true);
    EXPECT_EQ(noLibrary.CreatePDFGraphics("/out/x.pdf", true), 7);
    EXPECT_TRUE(mTemp.Files().empty()); // the job options were removed again

    CallasLibrary failing(FakeCallas("initfails"));
    ASSERT_TRUE(failing.IsLoaded());
    CallasRip notInitialised(uri.Get(), mHost.Get(), failing);
    EXPECT_EQ(Logged("Error code: 5 occured while Callas initialization."), 1u);
    SetDistillerParams(true);
    EXPECT_EQ(notInitialised.CreatePDFGraphics("/out/x.pdf", true), 7);
    EXPECT_EQ(Count(FakeCallas("initfails"), "fake_save_calls"), 0);
}

TEST_F(RipLibraries, ConcurrentConversionsKeepTheirOwnOptions) {
    // Each thread fills the maps and writes its job file; the lock held from filling to emptying keeps a
    // second thread's options out of the first one's file.
    JobDictionary& job = JobDictionary::Instance();
    std::vector<std::string> texts(8);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([&, t] {
            job.Begin();
            job.AddDistillerParam("Thread", std::to_string(t));
            std::this_thread::yield();
            job.AddPageDeviceParam("Res", std::to_string(t * 100));
            texts[t] = job.GetJobText();
            job.Clear();
        });
    }
    for (auto& thread : threads)
        thread.join();
    for (int t = 0; t < 8; ++t)
        EXPECT_EQ(texts[t], "<<\n/Thread " + std::to_string(t) + "\n>> setdistillerparams\n<<\n/Res " +
                                std::to_string(t * 100) + "\n>> setpagedevice\n");
}
