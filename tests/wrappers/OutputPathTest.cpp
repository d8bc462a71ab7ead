// What lies at a job's output path: a missing path or a file of ours is written, anything planted there (a
// symbolic link, a second name of another file, a folder, someone else's file) is refused without a byte
// written through it, and a failed job leaves no file that could pass for its result.
#include "OutputFile.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using namespace BRASK::TEST;
using BRASK::WRAPPERS::OutputFile;

namespace {

// What can be planted at an output path, and the reason it is refused (empty: the path is accepted).
const struct Planted {
    const char* kind;
    const char* refusal;
} kPlanted[] = {
    {"nothing", ""},
    {"stale file", ""},
    {"symbolic link", "the path is a symbolic link"},
    {"dangling link", "the path is a symbolic link"},
    {"hard link", "the file has 2 names (hard links)"},
    {"folder", "the path is a folder"},
    {"fifo", "the path is not a regular file"},
    {"someone else's file", "the file belongs to another user"},
};

bool Present(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

class OutputPathTest : public WrapperTest {
protected:
    // Plants `kind` at `path`, beside Out("victim"), the file links point at; false when this user cannot.
    bool Plant(const std::string& kind, const std::string& path) {
        WriteFile("victim", "keep me");
        if (kind == "stale file")
            WriteBytes(path, "%PDF-1.4 stale\n%%EOF\n");
        if (kind == "someone else's file")
            WriteBytes(path, "theirs");
        return kind == "symbolic link"         ? symlink(Out("victim").c_str(), path.c_str()) == 0
               : kind == "dangling link"       ? symlink(Out("nowhere").c_str(), path.c_str()) == 0
               : kind == "hard link"           ? link(Out("victim").c_str(), path.c_str()) == 0
               : kind == "folder"              ? mkdir(path.c_str(), 0700) == 0
               : kind == "fifo"                ? mkfifo(path.c_str(), 0600) == 0
               : kind == "someone else's file" ? chown(path.c_str(), 65534, 65534) == 0
                                               : true;
    }
};

} // namespace

TEST_F(OutputPathTest, OnlyAMissingPathOrAFileOfOursIsOpened) {
    for (const Planted& p : kPlanted) {
        const std::string path = Out(std::string("out-") + p.kind);
        if (!Plant(p.kind, path)) {
            EXPECT_NE(geteuid(), 0u) << p.kind; // only root may give a file away
            continue;
        }
        OutputFile file;
        std::string error;
        const bool opened = file.Open(path, error);
        EXPECT_EQ(error, p.refusal) << p.kind;
        if (opened) {
            ASSERT_TRUE(file.Write("new", 3));
            ASSERT_TRUE(file.Close(error)) << error;
            EXPECT_EQ(ReadFile(path), "new") << p.kind << ": the old content must go";
            struct stat info {};
            ASSERT_EQ(lstat(path.c_str(), &info), 0);
            EXPECT_TRUE(*p.refusal == '\0' &&
                        (p.kind != std::string("nothing") || (info.st_mode & 0777) == 0600))
                << p.kind;
        }
        EXPECT_EQ(ReadFile(Out("victim")), "keep me") << p.kind << ": written through the path";
        // What the client removes after a failed job: only what it could have written.
        BRASK::WRAPPERS::RemoveOwnedOutput(path);
        EXPECT_EQ(Present(path), !opened) << p.kind;
        std::filesystem::remove_all(path);
    }
}

TEST_F(OutputPathTest, DiscardRemovesOnlyTheFileItOpened) {
    const std::string path = Out("out.pdf");
    OutputFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path, error));
    file.Discard();
    EXPECT_FALSE(FileExists(path));
    // A file put in its place after the open is somebody else's and stays.
    ASSERT_TRUE(file.Open(path, error));
    ASSERT_EQ(unlink(path.c_str()), 0);
    WriteBytes(path, "replaced");
    file.Discard();
    EXPECT_EQ(ReadFile(path), "replaced");
}

// The three conversions through the wrappers' entry points, with a job that works and one that fails.
TEST_F(OutputPathTest, ConversionsWriteOnlyThroughPathsTheyMayAndFailedOnesLeaveNothing) {
    BRASK_REQUIRE_JAWS();
    BRASK_REQUIRE_CALLAS();
    const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n";
    const std::string svg = "<svg xmlns='http://www.w3.org/2000/svg' width='100pt' height='50pt'><rect";
    const auto convert = [&](const char* way, bool good, const std::string& output) {
        const std::string body = good ? "0 0 50 50 rectfill\n" : "nosuchoperator\n";
        if (way == std::string("distiller"))
            return DistilText(eps + body, output, 100, 50) == kJawsOK;
        if (way == std::string("converter EPS"))
            return SaveAsPdf(WriteFile("in.eps", eps + body), output) == kCallasOK;
        return SaveAsPdf(WriteFile("in.svg", svg + (good ? " width='50' height='50'/></svg>" : "")), output,
                         false) == kCallasOK;
    };
    for (const char* way : {"distiller", "converter EPS", "converter SVG"}) {
        for (const Planted& p : {kPlanted[1], kPlanted[2], kPlanted[4]}) {
            for (const bool good : {true, false}) {
                const std::string what =
                    std::string(way) + ", " + p.kind + (good ? ", good job" : ", failing job");
                const std::string path = Out("out.pdf");
                ASSERT_TRUE(Plant(p.kind, path));
                const bool converted = convert(way, good, path);
                EXPECT_EQ(converted, good && *p.refusal == '\0') << what;
                EXPECT_EQ(ReadFile(Out("victim")), "keep me") << what << ": written through the path";
                // A planted link is left as it was; a failed job leaves no file.
                EXPECT_EQ(Present(path), converted || *p.refusal != '\0') << what;
                EXPECT_TRUE(!converted || InspectPdf(path).urx == 100) << what;
                unlink(path.c_str());
            }
        }
    }
}
