// `epsimport --info`: one JSON object per file, exit statuses, open failures, and the command line.
#include "EpsTestSupport.h"

#include "CommandLine.h"
#include "InfoMode.h"

#include <nlohmann/json.hpp>

#include <sstream>

namespace BRASK::PLUGIN::TEST {

using InfoMode = EpsTest;

TEST_F(InfoMode, PrintsOneObjectPerFileWithEveryField) {
    const std::string text =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%Creator: Caf\xE9 \x80\n%%Title: T\n%%CreationDate: today\n"
        "%%BoundingBox: -0.5 0 99.5 50\n%%LanguageLevel: 2\n%%DocumentData: Clean7Bit\n"
        "%%CMYKCustomColor: 0 0 0 1 (Spot \\(1\\))\n%ImageData: 300 150 8 4 0 300 1 \"beginimage\"\n"
        "%BeginPhotoshop: 2\n% 0102\n%EndPhotoshop\n%%EndComments\nnewpath\n";
    const std::string good = WriteFile("good.eps", text);
    const std::string truncated = WriteFile("truncated.eps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 1 1\n");
    const std::string missing = (mTemp.Path() / "missing.eps").string();
    std::ostringstream out;
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {good, truncated, missing}, out), 1);
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3u);

    // Texts in UTF-8; the box in points; 300 pixels over 100 points are 216 pixels per inch.
    nlohmann::json expected = nlohmann::json::parse(R"json({"status": 0,
        "boundingBox": {"llx": -0.5, "lly": 0, "urx": 99.5, "ury": 50}, "creator": "Caf\u00e9 \u20ac",
        "title": "T", "creationDate": "today", "languageLevel": 2, "documentData": 2, "flags": 65536,
        "flagNames": ["CMYK"], "binaryHeader": null, "epsfHeader": true, "firstLineLength": 0,
        "image": {"width": 300, "height": 150, "blockSize": 300, "flags": 2}, "imageResolution": 216,
        "colorSpace": 5, "customColors": ["0 0 0 1 (Spot \\(1\\))"], "photoshopResourceBytes": 2,
        "iccProfileBytes": 0})json");
    expected["file"] = good;
    expected["postScript"] = {{"start", 0}, {"end", text.size()}};
    EXPECT_EQ(objects[0], expected);
    EXPECT_EQ(objects[1]["status"], 2);
    EXPECT_FALSE(objects[1].contains("error"));
    EXPECT_EQ(objects[2], nlohmann::json({{"file", missing}, {"status", 1}, {"error", "file not found"}}));

    std::ostringstream sink; // every file scanned with status 0
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {good, good}, sink), 0);
}

TEST(CommandLine, ModesFilesAndErrors) {
    const char* info[] = {"epsimport", "--info", "a.eps", "--", "--b.eps"};
    const EPSIMPORT::CommandLine line = EPSIMPORT::ParseCommandLine(5, info);
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
