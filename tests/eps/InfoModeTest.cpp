// `epsimport --info`: one JSON object per file, its texts in UTF-8, exit statuses and open failures.
#include "EpsTestSupport.h"

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
    // Titles in UTF-8 pass as they are, other text is read as Windows-1252.
    const std::string a254(254, 'A');
    const std::pair<std::string, std::string> titles[] = {
        {"Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5", "Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5"},
        {"\xC3\xA9t\xC3",
         "\xC3\x83\xC2\xA9t\xC3\x83"}, // ends inside a character without being cut: not UTF-8
        // Cut at the field's 255 bytes inside a character: the piece is dropped; with no UTF-8 character
        // before, read as Windows-1252.
        {"\xC3\xA9" + a254.substr(2) + "\xC3\xA9", "\xC3\xA9" + a254.substr(2)},
        {a254 + "\xC3\xA9", a254 + "\xC3\x83"}};
    std::vector<std::string> files = {good, truncated, missing};
    for (const auto& [title, printed] : titles)
        files.push_back(
            WriteFile("t" + std::to_string(files.size()) + ".eps",
                      "%!PS-Adobe-3.0 EPSF-3.0\n%%Title: " + title + "\n%%BoundingBox: 0 0 1 1\n"));
    std::ostringstream out;
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, files, out), 1);
    std::vector<nlohmann::json> objects;
    std::istringstream lines(out.str());
    for (std::string line; std::getline(lines, line);)
        objects.push_back(nlohmann::json::parse(line));
    ASSERT_EQ(objects.size(), 3 + std::size(titles));

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
    for (std::size_t i = 0; i < std::size(titles); ++i)
        EXPECT_EQ(objects[3 + i]["title"], titles[i].second) << i;

    std::ostringstream sink; // every file scanned with status 0
    EXPECT_EQ(EPSIMPORT::RunInfo(*mHost, {good, good}, sink), 0);
}

} // namespace BRASK::PLUGIN::TEST
