// The files the wrappers write and read. What lies at a job's output path: a missing path or a file of ours
// is written, anything planted there (a symbolic link, a second name of another file, a folder, someone
// else's file) is refused without a byte written through it, and a failed job leaves no file that could pass
// for its result. The raster files the worker reads back: files that are short, of another kind or of a size
// no raster may have are refused with the reason (the devices' own files are read in every raster device
// test). (No run of epsimport leaves anything in its temporary folder: tests/epsimport.)
#include "OutputFile.h"
#include "PnmFile.h"
#include "WrapperLibraries.h"

#include <sys/stat.h>
#include <unistd.h>

using namespace BRASK::TEST;
using namespace std::string_literals;
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

class FilesTest : public WrapperTest {
protected:
    // Plants `kind` at `path`, beside Out("victim"), the file links point at; false when this user cannot.
    bool Plant(const std::string& kind, const std::string& path) {
        WriteFile("victim", "keep me");
        if (kind == "stale file" || kind == "someone else's file")
            std::ofstream(path) << kind;
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

TEST_F(FilesTest, OnlyAMissingPathOrAFileOfOursIsOpenedAndDiscardRemovesOnlyThat) {
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
            EXPECT_EQ(*p.refusal, '\0') << p.kind;
            if (p.kind == std::string("nothing")) { // made for this user only
                EXPECT_EQ(std::filesystem::status(path).permissions(),
                          std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
            }
        }
        EXPECT_EQ(ReadFile(Out("victim")), "keep me") << p.kind << ": written through the path";
        // What the client removes after a failed job: only what it could have written.
        BRASK::WRAPPERS::RemoveOwnedOutput(path);
        EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path)), !opened) << p.kind;
        std::filesystem::remove_all(path);
    }
    // Discard removes only the file it opened: a file put in its place after the open is somebody else's.
    const std::string path = Out("out.pdf");
    OutputFile file;
    std::string error;
    ASSERT_TRUE(file.Open(path, error));
    file.Discard();
    EXPECT_FALSE(std::filesystem::exists(path));
    ASSERT_TRUE(file.Open(path, error));
    ASSERT_EQ(unlink(path.c_str()), 0);
    WriteFile("out.pdf", "replaced");
    file.Discard();
    EXPECT_EQ(ReadFile(path), "replaced");
}

// The three conversions through the wrappers' entry points, with a job that works and one that fails.
TEST_F(FilesTest, ConversionsWriteOnlyThroughPathsTheyMayAndFailedOnesLeaveNothing) {
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
                EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(path)),
                          converted || *p.refusal != '\0')
                    << what;
                EXPECT_TRUE(!converted || InspectPdf(path).urx == 100) << what;
                unlink(path.c_str());
            }
        }
    }
}

TEST_F(FilesTest, RasterFilesThatAreShortForeignOrOversizedAreRefused) {
    const std::string size = "the raster file has an unexpected size or depth";
    const struct {
        std::string bytes, error;
    } cases[] = {
        {"P6\n2 2\n255\n\x01\x02\x03"s, "the raster file is shorter than its header says"},
        {""s, "the raster file is empty"},
        {"P5\n1 1\n255\n\x01"s, "the raster file is neither PPM nor PAM"},
        {"P6\n1 1\n65535\n\x01\x02\x03\x04\x05\x06"s, size},
        {"P6\n40000 40000\n255\n"s, size},
        {"P6\n0 5\n255\n"s, size},
        {"P6\n-1 5\n255\n"s, "the PPM header cannot be read"},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 2\nMAXVAL 255\nENDHDR\n\x01\x02"s, size},
        {"P7\nWIDTH 1\nHEIGHT 1\nDEPTH 4\nMAXVAL 255\n"s, "the PAM header cannot be read"},
    };
    BRASK::WRAPPERS::PnmReader reader;
    std::string error;
    EXPECT_FALSE(reader.Open(Out("missing"), error));
    EXPECT_EQ(error, "the render left no raster file");
    for (const auto& c : cases) {
        std::vector<char> pixels(12);
        EXPECT_FALSE(reader.Open(WriteFile("f.pnm", c.bytes), error) &&
                     reader.Read(pixels.data(), reader.Remaining(), error))
            << c.bytes;
        EXPECT_EQ(error, c.error) << c.bytes;
    }
}
