// The intermediate PDF: a conversion that fails or writes nothing fails the placement, and whatever lies at
// the path beforehand is neither adopted nor written through.
#include "GraphicFixture.h"

#include "IntermediatePDF.h"
#include "brask/FilterKeys.h"

#include <sys/stat.h>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::GraphicPtr;
using BRASK::TEST::LogCapture;

namespace {

const std::string kEPS = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 20\n%%EndComments\nshowpage\n";

using IntermediatePDFTest = BRASK::TEST::ImportFixture;

} // namespace

// kEPS placed on both paths after something was planted at the intermediate PDF's path and the stand-in
// wrappers were steered: only the PDF this conversion wrote is adopted, the box is reported whatever happens,
// nothing is written through to another file and nothing is left behind.
TEST_F(IntermediatePDFTest, OnlyThePDFThisConversionWroteIsAdopted) {
    namespace fs = std::filesystem;
    const std::string victim = (mAppDir.Path() / "victim.pdf").string();
    const std::string victimText = "%PDF-1.4\n% somebody else's picture\n";
    using Plant = std::function<void(const std::string& path)>;
    const Plant stale = [&](const std::string& p) { std::ofstream(p) << victimText; };
    struct Case {
        const char* name;
        Plant plant; // null: nothing lies there
        int mode;
        Status status;
        std::string message = {}, interpreterMessage = {}; // logged once; the latter when it differs
    };
    const std::string nothing = "The conversion wrote no PDF at " + PDFPath() + ".";
    const Case cases[] = {
        {"writes nothing", nullptr, FAKE::kWriteNothing, 7, nothing},
        {"refuses", nullptr, FAKE::kFail, 7, "SaveAsPDF failed. Error = -1",
         "BPDFStartDistillUsingDataProvider failed. Error = -1"},
        {"writes another file", nullptr, FAKE::kReplaceFile, IntermediatePDF::kNoIntermediatePDF,
         "The intermediate PDF " + PDFPath() +
             " is not the file this conversion created; it is not adopted."},
        {"a stale PDF", stale, FAKE::kWritePDF, kOK},
        {"a stale PDF and a converter that writes nothing", stale, FAKE::kWriteNothing, 7, nothing},
        {"a symbolic link to another file", [&](const std::string& p) { fs::create_symlink(victim, p); },
         FAKE::kWritePDF, kOK},
        {"a symbolic link to nowhere",
         [&](const std::string& p) { fs::create_symlink(victim + ".missing", p); }, FAKE::kWritePDF, kOK},
        {"a hard link to another file", [&](const std::string& p) { fs::create_hard_link(victim, p); },
         FAKE::kWritePDF, kOK},
        {"a folder", [&](const std::string& p) { fs::create_directory(p); }, FAKE::kWritePDF,
         IntermediatePDF::kNoIntermediatePDF},
    };
    for (const bool interpreter : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (interpreter ? " (interpreter)" : " (converter)"));
            std::ofstream(victim, std::ios::trunc) << victimText;
            PlaceText(kEPS, interpreter); // loads the stand-in, which then takes its orders
            if (c.plant)
                c.plant(PDFPath());
            SetOutputMode(c.mode);
            mDiscovery->calls = 0;
            mDiscovery->pdf.clear();
            LogCapture log;
            Status status = -1;
            auto graphic = PlaceText(kEPS, interpreter, &status);
            SetOutputMode(FAKE::kWritePDF);
            EXPECT_EQ(status, c.status);
            const std::string& message =
                interpreter && !c.interpreterMessage.empty() ? c.interpreterMessage : c.message;
            if (!message.empty()) {
                EXPECT_EQ(log.WithMessage(message).size(), 1u);
            }
            EXPECT_EQ(mDiscovery->calls, c.status == kOK ? 1 : 0);
            EXPECT_EQ(mDiscovery->pdf, c.status == kOK ? FAKE::kPDFText : "");
            EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey) !=
                          nullptr,
                      c.status == kOK);
            EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 20);
            EXPECT_EQ(BRASK::TEST::ReadFile(victim), victimText);
            EXPECT_EQ(fs::hard_link_count(victim), 1u);
            const bool folder = std::string(c.name) == "a folder";
            EXPECT_EQ(fs::symlink_status(PDFPath()).type(),
                      folder ? fs::file_type::directory : fs::file_type::not_found);
            std::error_code ignored;
            fs::remove(victim + ".missing", ignored);
            fs::remove(PDFPath(), ignored);
            EXPECT_TRUE(LeftFiles().empty());
        }
}

TEST_F(IntermediatePDFTest, AnotherUsersFileIsLeftAloneAndTheConversionRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the super-user can give a file to another user";
    std::ofstream(PDFPath()) << "theirs";
    ASSERT_EQ(::chown(PDFPath().c_str(), 65534, 65534), 0);
    LogCapture log;
    Status status = -1;
    auto graphic = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, IntermediatePDF::kNoIntermediatePDF);
    EXPECT_EQ(log.WithMessage("The intermediate PDF path " + PDFPath() +
                              " holds another user's file; it is not used.")
                  .size(),
              1u);
    EXPECT_EQ(BRASK::TEST::ReadFile(PDFPath()), "theirs");
    EXPECT_EQ(mDiscovery->calls, 0);
}

TEST_F(IntermediatePDFTest, TheFileIsMadeExclusivelyForThisUserOnly) {
    // The file lives for the length of a conversion only: examined here between Prepare and Check.
    IntermediatePDF pdf(PDFPath(), "test");
    ASSERT_EQ(pdf.Prepare(), kOK);
    struct stat info {};
    ASSERT_EQ(::lstat(PDFPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(pdf.Check(kOK), 7); // nothing written: refused and removed
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));

    {
        IntermediatePDF unchecked(PDFPath(), "test"); // a conversion that threw never gets to Check
        ASSERT_EQ(unchecked.Prepare(), kOK);
    }
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));
}

TEST_F(IntermediatePDFTest, WithoutATemporaryFolderNothingIsWrittenAtTheRoot) {
    Status loaded = -1;
    PlaceText(kEPS, false, &loaded); // loads the stand-in converter from the host's application folder
    ASSERT_EQ(loaded, kOK);
    const char* old = std::getenv("TMPDIR");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("TMPDIR", (mTemp.Path() / "missing").c_str(), 1);
    auto host = HOST::Host::Create(HOST::HostOptions{kFakes, ""}); // its private folder cannot be made
    old != nullptr ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR");
    mHost->UnpublishCoreRegistry();
    host->PublishAsCoreRegistry();
    const std::string root = "/" + std::to_string(syscall(SYS_gettid)) + "temp.pdf";
    LogCapture log;
    Status status = -1;
    auto graphic = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, IntermediatePDF::kNoIntermediatePDF);
    EXPECT_EQ(log.WithMessage("No temporary folder for the intermediate PDF.").size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(root));
    host->UnpublishCoreRegistry();
    mHost->PublishAsCoreRegistry();

    // Without a core registry the folder of the factory handed to Init serves.
    mHost->UnpublishCoreRegistry();
    EXPECT_EQ(IntermediatePDFPath(*mHost).GetUTF8String(), PDFPath());
    status = -1;
    auto placed = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, kOK);
    mHost->PublishAsCoreRegistry();
}
