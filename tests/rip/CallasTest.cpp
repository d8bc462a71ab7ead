#include "RipFixture.h"

#include "CallasRip.h"
#include "JobDictionary.h"
#include "LibUtils.h"

#include <filesystem>
#include <thread>

using namespace BRASK;
using namespace BRASK::PLUGIN;

namespace {

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

class Callas : public BRASK::TEST::RipFixture {
protected:
    void SetUp() override {
        RipFixture::SetUp();
        UseApplicationFolder("callas-ok");
    }
    TInterfacePtr<IO::IURI> PictureURI(const std::string& path) {
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path));
        return uri;
    }
    template <class F> F Fake(const char* name) { return FakeSymbol<F>(FakeCallas("ok"), name); }
};

} // namespace

TEST_F(Callas, JobOptionsFileHasTheNineLinesAndIsGoneAfterTheConversion) {
    CallasLibrary library(FakeCallas("ok"));
    ASSERT_TRUE(library.IsLoaded());
    auto uri = PictureURI("/pictures/logo.eps");
    CallasRip rip(uri.Get(), mHost.Get(), library);
    EXPECT_TRUE(library.IsInitialised());

    SetDistillerParams(true);
    EXPECT_EQ(rip.CreatePDFGraphics("/out/x.pdf", true), kOK);
    EXPECT_EQ(Fake<int (*)()>("fake_save_calls")(), 1);
    EXPECT_STREQ(Fake<const char* (*)()>("fake_job_text")(), kNineLines);
    EXPECT_STREQ(Fake<const char* (*)()>("fake_source")(), "/pictures/logo.eps");
    EXPECT_STREQ(Fake<const char* (*)()>("fake_output")(), "/out/x.pdf");
    EXPECT_EQ(Fake<int (*)()>("fake_is_eps")(), 1);

    const std::string jobPath = Fake<const char* (*)()>("fake_job_path")();
    const std::string name = std::filesystem::path(jobPath).filename().string();
    EXPECT_EQ(std::filesystem::path(jobPath).parent_path(), mTemp.Path());
    ASSERT_EQ(name.size(), 38u + 14u);
    EXPECT_EQ(name.front(), '{');
    EXPECT_EQ(name.substr(37), "}bxp.joboptions");
    EXPECT_EQ(GUID::FromString(name.substr(0, 38)).value_or(GUID{}).Data3 >> 12, 4);
    EXPECT_FALSE(std::filesystem::exists(jobPath));
    EXPECT_TRUE(JobDictionary::Instance().DistillerParams().empty());
    EXPECT_TRUE(JobDictionary::Instance().PageDeviceParams().empty());

    // A new name for every conversion.
    SetDistillerParams(false);
    rip.CreatePDFGraphics("/out/y.pdf", false);
    EXPECT_NE(Fake<const char* (*)()>("fake_job_path")(), jobPath);
}

TEST_F(Callas, MissingOrFailingConverterIsLoggedAndFails) {
    mLog.Clear();
    CallasLibrary absent((mTemp.Path() / "none.so").string());
    EXPECT_FALSE(absent.IsLoaded());
    auto uri = PictureURI("/pictures/logo.eps");
    CallasRip noLibrary(uri.Get(), mHost.Get(), absent);
    const auto records = mLog.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].MessageUTF8(), "Failed to load Callas library");
    EXPECT_EQ(records[0].file, "core/Plugins/EPSLoader/Source/src/Common/CallasRip");
    EXPECT_EQ(records[0].function, "__cdecl BRASK::PLUGIN::CallasRip::CallasRip(class BRASK::IO::IURI &)");
    SetDistillerParams(true);
    EXPECT_EQ(noLibrary.CreatePDFGraphics("/out/x.pdf", true), 7);
    EXPECT_TRUE(mTemp.Files().empty()); // the job options were removed again

    CallasLibrary failing(FakeCallas("initfails"));
    ASSERT_TRUE(failing.IsLoaded());
    CallasRip notInitialised(uri.Get(), mHost.Get(), failing);
    EXPECT_EQ(Logged("Error code: 5 occured while Callas initialization."), 1u);
    SetDistillerParams(true);
    EXPECT_EQ(notInitialised.CreatePDFGraphics("/out/x.pdf", true), 7);
    EXPECT_EQ(FakeSymbol<int (*)()>(FakeCallas("initfails"), "fake_save_calls")(), 0);
}

TEST_F(Callas, ConcurrentConversionsKeepTheirOwnOptions) {
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
