// epsimport's placing mode, run as a program the way a user runs it, and its command line.
#include "../support/TempDir.h"

#include "CommandLine.h"
#include "PlaceMode.h"

#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <sys/wait.h>

using namespace BRASK;
using namespace BRASK::EPSIMPORT;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";

struct Result {
    int exitStatus = -1;
    std::vector<nlohmann::json> lines;
    std::string raw;
};

Result RunTool(const std::string& arguments, bool json = true) {
    Result result;
    const std::string command = std::string(BRASK_EPSIMPORT) + " " + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::array<char, 8192> chunk{};
    while (pipe != nullptr && std::fgets(chunk.data(), chunk.size(), pipe) != nullptr)
        result.raw += chunk.data();
    const int status = pipe != nullptr ? pclose(pipe) : -1;
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::istringstream lines(result.raw);
    for (std::string line; json && std::getline(lines, line);)
        result.lines.push_back(nlohmann::json::parse(line));
    return result;
}

class Epsimport : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& text) {
        const std::string path = (mDir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    TEST::TempDir mDir;
};

} // namespace

TEST_F(Epsimport, PlacesTheSampleAndWritesItsPDF) {
    const std::string pdf = (mDir.Path() / "sample.pdf").string();
    const Result result = RunTool("-o '" + pdf + "' '" + kSample + "'");
    ASSERT_EQ(result.exitStatus, 0) << result.raw;
    ASSERT_EQ(result.lines.size(), 1u);
    const auto& json = result.lines[0];
    EXPECT_EQ(json["status"], 0);
    EXPECT_EQ(json["type"], "EPS");
    EXPECT_EQ(json["size"]["width"], 300.0);
    EXPECT_EQ(json["size"]["height"], 200.0);
    EXPECT_EQ(json["boundingBox"]["right"], 300.0);
    EXPECT_EQ(json["boundingBox"]["top"], 200.0);
    EXPECT_EQ(json["customColors"].size(), 1u);
    EXPECT_NE(json["customColors"][0].get<std::string>().find("Sample Orange"), std::string::npos);
    EXPECT_EQ(json["dcs"], false);
    EXPECT_EQ(json["clippingPath"], nullptr);
    EXPECT_EQ(json["pdf"], pdf);
    EXPECT_FALSE(json.contains("error"));
    std::ifstream written(pdf, std::ios::binary);
    std::string head(5, '\0');
    written.read(head.data(), 5);
    EXPECT_EQ(head, "%PDF-");
}

TEST_F(Epsimport, InterpreterDraftAndSvgOptionsReachThePlugin) {
    const Result distilled = RunTool("--interpreter --draft '" + kSample + "'");
    ASSERT_EQ(distilled.exitStatus, 0) << distilled.raw;
    EXPECT_GE(distilled.lines[0]["colorSpaces"].size(), 2u);
    EXPECT_EQ(distilled.lines[0]["pdf"], nullptr);

    const std::string svg =
        Write("icon.svg", "\xEF\xBB\xBF  \n<svg xmlns='http://www.w3.org/2000/svg' width='96' "
                          "height='48'><rect width='96' height='48' fill='red'/></svg>");
    const Result placed = RunTool("--output-dir '" + (mDir.Path() / "out").string() + "' '" + svg + "'");
    ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
    const auto& json = placed.lines[0];
    EXPECT_EQ(json["type"], "SVG");
    EXPECT_EQ(json["size"]["width"], 72.0); // 96 px = 72 pt
    EXPECT_EQ(json["size"]["height"], 36.0);
    EXPECT_FALSE(json.contains("boundingBox"));
    EXPECT_EQ(json["pdf"], (mDir.Path() / "out" / "icon.pdf").string());
}

TEST_F(Epsimport, FailuresGiveAnErrorTextAndExitStatusOne) {
    const std::string broken = Write("broken.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n");
    const Result result =
        RunTool("'" + kSample + "' '" + (mDir.Path() / "missing.eps").string() + "' '" + broken + "'");
    EXPECT_EQ(result.exitStatus, 1);
    ASSERT_EQ(result.lines.size(), 3u);
    EXPECT_EQ(result.lines[0]["status"], 0);
    EXPECT_EQ(result.lines[1]["status"], 1);
    EXPECT_EQ(result.lines[1]["error"], "file not found");
    EXPECT_NE(result.lines[2]["status"], 0);
    EXPECT_FALSE(result.lines[2]["error"].get<std::string>().empty());

    EXPECT_EQ(RunTool("--type png '" + kSample + "'").exitStatus, 2);
    EXPECT_EQ(RunTool("-o a.pdf '" + kSample + "' '" + kSample + "'").exitStatus, 2);
    const Result help = RunTool("--help", false);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.raw.rfind("usage: epsimport", 0), 0u);
}

TEST_F(Epsimport, FontSubstitutionsAreListedAndStrictFontsRefusesThem) {
    const std::string header = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 50\n%%EndComments\n";
    const std::string missing = Write(
        "missing.eps", header + "/NoSuchFont-Regular findfont 20 scalefont setfont 10 10 moveto (Missing) "
                                "show /Times-Roman findfont pop /Other-Missing 9 selectfont\n");
    const std::string known =
        Write("known.eps", header + "/Symbol findfont 20 scalefont setfont 10 10 moveto "
                                    "(abg) show\n");
    const nlohmann::json expected =
        nlohmann::json::array({{{"requested", "NoSuchFont-Regular"}, {"used", "NimbusMonoPS-Regular"}},
                               {{"requested", "Other-Missing"}, {"used", "NimbusMonoPS-Regular"}}});
    for (const std::string path : {"", "--interpreter "}) {
        SCOPED_TRACE(path.empty() ? "converter" : "interpreter");
        const std::string out = (mDir.Path() / (path.empty() ? "c" : "i")).string();
        const std::string files = "--output-dir '" + out + "' '" + missing + "' '" + known + "'";
        // Placed as the file asks, with the substitutions named.
        const Result placed = RunTool(path + files);
        ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
        ASSERT_EQ(placed.lines.size(), 2u);
        EXPECT_EQ(placed.lines[0]["status"], 0);
        EXPECT_EQ(placed.lines[0]["fontSubstitutions"], expected);
        EXPECT_EQ(placed.lines[0]["pdf"], out + "/missing.pdf");
        EXPECT_EQ(placed.lines[1]["fontSubstitutions"], nlohmann::json::array());
        std::filesystem::remove_all(out);
        // Refused: no PDF, an error naming both fonts of each substitution, exit status 1.
        const Result strict = RunTool(path + "--strict-fonts " + files);
        EXPECT_EQ(strict.exitStatus, 1) << strict.raw;
        ASSERT_EQ(strict.lines.size(), 2u);
        EXPECT_EQ(strict.lines[0]["fontSubstitutions"], expected);
        EXPECT_EQ(strict.lines[0]["pdf"], nullptr);
        EXPECT_EQ(strict.lines[0]["error"],
                  "font substitution refused (--strict-fonts): NoSuchFont-Regular replaced by "
                  "NimbusMonoPS-Regular, Other-Missing replaced by NimbusMonoPS-Regular");
        EXPECT_FALSE(std::filesystem::exists(out + "/missing.pdf"));
        EXPECT_EQ(strict.lines[1]["pdf"], out + "/known.pdf");
        EXPECT_FALSE(strict.lines[1].contains("error"));
    }
}

TEST(CommandLineOptions, ParsedAsGiven) {
    const char* all[] = {"epsimport", "--interpreter", "--draft", "-v", "--type",
                         "svg",       "--output-dir",  "out",     "a",  "--strict-fonts"};
    const CommandLine line = ParseCommandLine(10, all);
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.mode, Mode::Place);
    EXPECT_TRUE(line.interpreter && line.draft && line.verbose && line.strictFonts);
    EXPECT_EQ(line.type, FileType::SVG);
    EXPECT_EQ(line.outputDir, "out");
    EXPECT_EQ(line.files, std::vector<std::string>{"a"});

    const char* missingValue[] = {"epsimport", "a", "-o"};
    EXPECT_EQ(ParseCommandLine(3, missingValue).error, "-o needs a value");
    const char* infoWithOptions[] = {"epsimport", "--info", "--interpreter", "a"};
    EXPECT_EQ(ParseCommandLine(4, infoWithOptions).error, "--info takes no placing options");
}

TEST(FileTypeDetection, ByTheFirstCharacters) {
    const auto detect = [](const std::string& bytes) {
        return DetectFileType(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    };
    EXPECT_EQ(detect("<svg/>"), FileType::SVG);
    EXPECT_EQ(detect("\xEF\xBB\xBF \r\n\t<?xml version='1.0'?>"), FileType::SVG);
    EXPECT_EQ(detect("\x1F\x8B\x08"), FileType::SVG);                      // gzip: .svgz
    EXPECT_EQ(detect(std::string("\xFF\xFE \0<\0s\0", 8)), FileType::SVG); // UTF-16LE
    EXPECT_EQ(detect(std::string("\xFE\xFF\0\n\0<", 6)), FileType::SVG);   // UTF-16BE
    EXPECT_EQ(detect(std::string("\xFF\xFE%\0!\0", 6)), FileType::EPS);
    EXPECT_EQ(detect("%!PS-Adobe-3.0 EPSF-3.0"), FileType::EPS);
    EXPECT_EQ(detect("\xC5\xD0\xD3\xC6"), FileType::EPS);
    EXPECT_EQ(detect("   "), FileType::EPS);
    EXPECT_EQ(detect(""), FileType::EPS);
}
