// `epsimport --info`: one JSON object per file, exit statuses, and open failures.
#include "EpsTestSupport.h"

#include "CommandLine.h"
#include "InfoMode.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace BRASK::PLUGIN::TEST {

namespace {
std::vector<nlohmann::json> Lines(const std::string& out) {
    std::vector<nlohmann::json> objects;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);)
        objects.push_back(nlohmann::json::parse(line));
    return objects;
}
} // namespace

using InfoMode = EpsTest;

TEST_F(InfoMode, PrintsOneObjectPerFileWithEveryField) {
    const std::string good = WriteFile(
        "good.eps",
        "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Caf\xE9 \x80\n%%Title: T\n%%CreationDate: today\n"
        "%%BoundingBox: -0.5 0 100 50\n%%LanguageLevel: 2\n%%DocumentData: Clean7Bit\n"
        "%%CMYKCustomColor: 0 0 0 1 (Spot \\(1\\))\n%ImageData: 300 150 8 4 0 300 1 \"beginimage\"\n"
        "%BeginPhotoshop: 2\n% 0102\n%EndPhotoshop\n%%EndComments\nnewpath\n");
    const std::string truncated = WriteFile("truncated.eps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 1 1\n");
    std::ostringstream out;
    const int exitStatus = EPSIMPORT::RunInfo(*mHost, {good, truncated}, out);
    EXPECT_EQ(exitStatus, 1);
    const std::vector<nlohmann::json> objects = Lines(out.str());
    ASSERT_EQ(objects.size(), 2u);

    const nlohmann::json& g = objects[0];
    EXPECT_EQ(g["file"], good);
    EXPECT_EQ(g["status"], 0);
    EXPECT_DOUBLE_EQ(g["boundingBox"]["llx"].get<double>(), -0.5);
    EXPECT_DOUBLE_EQ(g["boundingBox"]["ury"].get<double>(), 50.0);
    EXPECT_EQ(g["creator"], "Caf\xC3\xA9 \xE2\x82\xAC");
    EXPECT_EQ(g["title"], "T");
    EXPECT_EQ(g["creationDate"], "today");
    EXPECT_EQ(g["languageLevel"], 2);
    EXPECT_EQ(g["documentData"], 2);
    EXPECT_EQ(g["flags"], EPSFlags::kCMYK);
    EXPECT_EQ(g["flagNames"], nlohmann::json::array({"CMYK"}));
    EXPECT_EQ(g["postScript"]["start"], 0);
    EXPECT_TRUE(g["binaryHeader"].is_null());
    EXPECT_EQ(g["epsfHeader"], true);
    EXPECT_EQ(g["firstLineLength"], 0);
    EXPECT_EQ(g["image"]["width"], 300);
    EXPECT_EQ(g["image"]["blockSize"], 300);
    EXPECT_EQ(g["image"]["flags"], 2);
    EXPECT_NEAR(g["imageResolution"].get<double>(), 300 / 100.5 * 72, 0.01);
    EXPECT_EQ(g["colorSpace"], 5);
    EXPECT_EQ(g["customColors"], nlohmann::json::array({"0 0 0 1 (Spot \\(1\\))"}));
    EXPECT_EQ(g["photoshopResourceBytes"], 2);
    EXPECT_EQ(g["iccProfileBytes"], 0);

    EXPECT_EQ(objects[1]["status"], 2);
    EXPECT_FALSE(objects[1].contains("error"));
}

TEST_F(InfoMode, UnopenableFileGivesAnErrorObject) {
    std::ostringstream out;
    const std::string missing = mDir + "/missing.eps";
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {missing}, out), 1);
    const std::vector<nlohmann::json> objects = Lines(out.str());
    ASSERT_EQ(objects.size(), 1u);
    EXPECT_EQ(objects[0]["file"], missing);
    EXPECT_EQ(objects[0]["status"], 1);
    EXPECT_EQ(objects[0]["error"], "file not found");
}

TEST_F(InfoMode, AllGoodFilesExitWithZero) {
    const std::string a =
        WriteFile("a.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n%%EndComments\nx\n");
    std::ostringstream out;
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {a, a}, out), 0);
    EXPECT_EQ(Lines(out.str()).size(), 2u);
}

TEST(CommandLine, ModesFilesAndErrors) {
    const char* info[] = {"epsimport", "--info", "a.eps", "--", "--b.eps"};
    EPSIMPORT::CommandLine line = EPSIMPORT::ParseCommandLine(5, info);
    EXPECT_EQ(line.mode, EPSIMPORT::Mode::Info);
    EXPECT_EQ(line.files, (std::vector<std::string>{"a.eps", "--b.eps"}));
    EXPECT_TRUE(line.error.empty());

    const char* place[] = {"epsimport", "a.eps"};
    EXPECT_EQ(EPSIMPORT::ParseCommandLine(2, place).mode, EPSIMPORT::Mode::Place);
    EXPECT_TRUE(EPSIMPORT::ParseCommandLine(2, place).error.empty());
    const char* noFiles[] = {"epsimport", "--info"};
    EXPECT_EQ(EPSIMPORT::ParseCommandLine(2, noFiles).error, "no files given");
    const char* unknown[] = {"epsimport", "--info", "--bogus", "a.eps"};
    EXPECT_EQ(EPSIMPORT::ParseCommandLine(4, unknown).error, "unknown option --bogus");
}

} // namespace BRASK::PLUGIN::TEST
