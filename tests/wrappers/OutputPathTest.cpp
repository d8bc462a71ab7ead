// What lies at a job's output path: a missing path or a file of ours is written, anything planted there (a
// symbolic link, a second name of another file, a folder, someone else's file) is refused without a byte
// written through it, and a failed job leaves no file that could pass for its result.
#include "OutputFile.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

#include <fcntl.h>
#include <filesystem>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace BRASK::TEST;
using BRASK::WRAPPERS::OutputFile;

namespace {

constexpr const char* kVictimText = "keep me";

class OutputPathTest : public WrapperTest {
protected:
    // Plants `kind` at `path`; the file a link points at is Out("victim").
    void Plant(const std::string& kind, const std::string& path) {
        WriteFile("victim", kVictimText);
        if (kind == "stale file")
            WriteBytes(path, "%PDF-1.4 stale\n%%EOF\n");
        else if (kind == "symbolic link")
            ASSERT_EQ(symlink(Out("victim").c_str(), path.c_str()), 0);
        else if (kind == "dangling link")
            ASSERT_EQ(symlink(Out("nowhere").c_str(), path.c_str()), 0);
        else if (kind == "hard link")
            ASSERT_EQ(link(Out("victim").c_str(), path.c_str()), 0);
        else if (kind == "folder")
            ASSERT_EQ(mkdir(path.c_str(), 0700), 0);
        else if (kind == "fifo")
            ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
        else if (kind == "someone else's file") {
            WriteBytes(path, "theirs");
            ASSERT_EQ(chown(path.c_str(), 65534, 65534), 0);
        }
    }
};

struct Planted {
    const char* kind;
    const char* refusal; // empty: the path is accepted
};

const Planted kPlanted[] = {
    {"nothing", ""},
    {"stale file", ""},
    {"symbolic link", "the path is a symbolic link"},
    {"dangling link", "the path is a symbolic link"},
    {"hard link", "the file has 2 names (hard links)"},
    {"folder", "the path is a folder"},
    {"fifo", "the path is not a regular file"},
    {"someone else's file", "the file belongs to another user"},
};

bool CanChown() {
    return geteuid() == 0;
}

} // namespace

TEST_F(OutputPathTest, OnlyAMissingPathOrAFileOfOursIsOpened) {
    for (const Planted& p : kPlanted) {
        if (std::string(p.kind) == "someone else's file" && !CanChown())
            continue;
        const std::string path = Out(std::string("out-") + p.kind);
        Plant(p.kind, path);
        OutputFile file;
        std::string error;
        const bool opened = file.Open(path, error);
        EXPECT_EQ(opened, *p.refusal == '\0') << p.kind;
        EXPECT_EQ(error, p.refusal) << p.kind;
        if (opened) {
            ASSERT_TRUE(file.Write("new", 3));
            ASSERT_TRUE(file.Close(error)) << error;
            EXPECT_EQ(ReadFile(path), "new") << p.kind << ": the old content must go";
            struct stat info {};
            ASSERT_EQ(lstat(path.c_str(), &info), 0);
            if (std::string(p.kind) == "nothing") {
                EXPECT_EQ(info.st_mode & 0777, 0600u);
            }
        }
        EXPECT_EQ(ReadFile(Out("victim")), kVictimText) << p.kind << ": written through the path";
        // What the client removes after a failed job: only what it could have written.
        BRASK::WRAPPERS::RemoveOwnedOutput(path);
        struct stat info {};
        EXPECT_EQ(lstat(path.c_str(), &info) == 0, !opened) << p.kind;
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
    const std::string goodEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\n0 0 50 50 rectfill\n";
    const std::string badEps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 100 50\nnosuchoperator\n";
    const std::string goodSvg = "<svg xmlns='http://www.w3.org/2000/svg' width='100pt' height='50pt'><rect "
                                "width='50' height='50'/></svg>";
    const std::string badSvg = "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect";
    const struct Way {
        const char* name;
        std::function<bool(bool good, const std::string& output)> convert;
    } ways[] = {
        {"distiller",
         [&](bool good, const std::string& output) {
             return DistilText(good ? goodEps : badEps, output, 100, 50) == kJawsOK;
         }},
        {"converter EPS",
         [&](bool good, const std::string& output) {
             return SaveAsPdf(WriteFile("in.eps", good ? goodEps : badEps), output) == kCallasOK;
         }},
        {"converter SVG",
         [&](bool good, const std::string& output) {
             return SaveAsPdf(WriteFile("in.svg", good ? goodSvg : badSvg), output, false) == kCallasOK;
         }},
    };
    for (const Way& way : ways) {
        for (const Planted& p : {kPlanted[1], kPlanted[2], kPlanted[4]}) {
            for (const bool good : {true, false}) {
                const std::string what =
                    std::string(way.name) + ", " + p.kind + (good ? ", good job" : ", failing job");
                const std::string path = Out("out.pdf");
                Plant(p.kind, path);
                const bool converted = way.convert(good, path);
                EXPECT_EQ(converted, good && *p.refusal == '\0') << what;
                EXPECT_EQ(ReadFile(Out("victim")), kVictimText) << what << ": written through the path";
                struct stat info {};
                const bool present = lstat(path.c_str(), &info) == 0;
                if (*p.refusal != '\0') {
                    EXPECT_TRUE(present) << what << ": a planted link is left as it was";
                } else if (converted) {
                    EXPECT_EQ(InspectPdf(path).urx, 100) << what;
                } else {
                    EXPECT_FALSE(present) << what << ": the stale file survived the failed job";
                }
                unlink(path.c_str());
            }
        }
    }
}
