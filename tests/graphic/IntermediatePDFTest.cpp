// The intermediate PDF: a conversion that fails or writes nothing fails the placement, and whatever lies at
// the path beforehand is neither adopted nor written through.
#include "ImportFixture.h"

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

TEST_F(IntermediatePDFTest, AConversionThatFailsOrWritesNothingFailsThePlacement) {
    struct Case {
        const char* name;
        int mode;
        Status status;
        std::string message, interpreterMessage = {}; // the latter when it differs
    };
    const std::string notOurs =
        "The intermediate PDF " + PDFPath() + " is not the file this conversion created; it is not adopted.";
    const Case cases[] = {
        {"writes nothing", FAKE::kWriteNothing, 7, "The conversion wrote no PDF at " + PDFPath() + "."},
        {"refuses", FAKE::kFail, 7, "SaveAsPDF failed. Error = -1",
         "BPDFStartDistillUsingDataProvider failed. Error = -1"},
        {"writes another file", FAKE::kReplaceFile, IntermediatePDF::kNoIntermediatePDF, notOurs},
    };
    for (const bool interpreter : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (interpreter ? " (interpreter)" : " (converter)"));
            PlaceText(kEPS, interpreter); // loads the stand-in, which then takes its orders
            SetOutputMode(c.mode);
            mDiscovery->calls = 0;
            LogCapture log;
            Status status = -1;
            auto graphic = PlaceText(kEPS, interpreter, &status);
            SetOutputMode(FAKE::kWritePDF);
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(log.WithMessage(interpreter && !c.interpreterMessage.empty() ? c.interpreterMessage
                                                                                   : c.message)
                          .size(),
                      1u);
            EXPECT_EQ(mDiscovery->calls, 0);
            EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
            EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 20); // the box is still reported
            EXPECT_TRUE(LeftFiles().empty());
        }
}

TEST_F(IntermediatePDFTest, WhatLiesAtThePathIsNeitherAdoptedNorWrittenThrough) {
    const std::string victim = (mAppDir.Path() / "victim.pdf").string();
    const std::string victimText = "%PDF-1.4\n% somebody else's picture\n";
    struct Case {
        const char* name;
        std::function<void(const std::string& path)> plant;
        int mode;
        Status status;
    };
    const Case cases[] = {
        {"a stale PDF", [&](const std::string& p) { std::ofstream(p) << victimText; }, FAKE::kWritePDF, kOK},
        {"a stale PDF and a converter that writes nothing",
         [&](const std::string& p) { std::ofstream(p) << victimText; }, FAKE::kWriteNothing, 7},
        {"a symbolic link to another file",
         [&](const std::string& p) { std::filesystem::create_symlink(victim, p); }, FAKE::kWritePDF, kOK},
        {"a symbolic link to nowhere",
         [&](const std::string& p) { std::filesystem::create_symlink(victim + ".missing", p); },
         FAKE::kWritePDF, kOK},
        {"a hard link to another file",
         [&](const std::string& p) { std::filesystem::create_hard_link(victim, p); }, FAKE::kWritePDF, kOK},
        {"a folder", [&](const std::string& p) { std::filesystem::create_directory(p); }, FAKE::kWritePDF,
         IntermediatePDF::kNoIntermediatePDF},
    };
    for (const bool interpreter : {false, true}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (interpreter ? " (interpreter)" : " (converter)"));
            std::ofstream(victim, std::ios::trunc) << victimText;
            PlaceText(kEPS, interpreter); // loads the stand-in, which then takes its orders
            c.plant(PDFPath());
            SetOutputMode(c.mode);
            mDiscovery->pdf.clear();
            Status status = -1;
            auto graphic = PlaceText(kEPS, interpreter, &status);
            SetOutputMode(FAKE::kWritePDF);
            EXPECT_EQ(status, c.status);
            EXPECT_EQ(mDiscovery->pdf, c.status == kOK ? FAKE::kPDFText : "");
            EXPECT_EQ(BRASK::TEST::ReadFile(victim), victimText);
            EXPECT_EQ(std::filesystem::hard_link_count(victim), 1u);
            std::error_code ignored;
            std::filesystem::remove(victim + ".missing", ignored);
            const bool folderLeft = std::filesystem::is_directory(PDFPath());
            EXPECT_EQ(folderLeft, c.status == IntermediatePDF::kNoIntermediatePDF);
            std::filesystem::remove(PDFPath(), ignored);
            EXPECT_TRUE(LeftFiles().empty());
        }
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
