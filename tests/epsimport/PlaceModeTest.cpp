// epsimport's placing mode, run as a program the way a user runs it, its command line and its choices of
// output names and failure texts.
#include "ToolRun.h"

#include "CommandLine.h"
#include "FailureCause.h"
#include "PlaceMode.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

using namespace BRASK;
using namespace BRASK::EPSIMPORT;
using BRASK::TEST::Quoted;
using BRASK::TEST::RunEpsimport;
using Epsimport = BRASK::TEST::EpsimportTest;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";
constexpr const char* kIcon = "\xEF\xBB\xBF  \n<svg xmlns='http://www.w3.org/2000/svg' width='96' "
                              "height='48'><rect width='96' height='48' fill='red'/></svg>";

} // namespace

TEST_F(Epsimport, PlacesTheSampleAndWritesItsPDF) {
    const std::string pdf = Path("sample.pdf");
    const auto result = RunEpsimport("-o " + Quoted(pdf) + " " + Quoted(kSample));
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
    const auto distilled = RunEpsimport("--interpreter --draft " + Quoted(kSample));
    ASSERT_EQ(distilled.exitStatus, 0) << distilled.raw;
    EXPECT_GE(distilled.lines[0]["colorSpaces"].size(), 2u);
    EXPECT_EQ(distilled.lines[0]["pdf"], nullptr);

    // --interpreter concerns EPS: the SVG still goes through the converter, as a host would send it.
    const std::string svg = Write("icon.svg", kIcon);
    for (const std::string options : {"", "--interpreter "}) {
        SCOPED_TRACE(options);
        const auto placed = RunEpsimport(options + "--output-dir " + Quoted(Path("out")) + " " + Quoted(svg));
        ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
        const auto& json = placed.lines[0];
        EXPECT_EQ(json["type"], "SVG");
        EXPECT_EQ(json["size"]["width"], 72.0); // 96 px = 72 pt
        EXPECT_EQ(json["size"]["height"], 36.0);
        EXPECT_FALSE(json.contains("boundingBox"));
        EXPECT_EQ(json["pdf"], Path("out/icon.pdf"));
    }
}

// Each failure names its cause: the first error of the stage that failed (the converter's or the
// interpreter's own verdict on the job), never the plug-in's summary that comes last; and a box only when the
// plug-in read one.
TEST_F(Epsimport, FailuresNameTheirCause) {
    struct Case {
        std::string name;
        std::optional<std::string> bytes; // none: the file does not exist
        std::string converterError;
        std::string interpreterError;
        nlohmann::json boundingBox; // the value printed for an EPS
    };
    const nlohmann::json box = {{"left", 0.0}, {"bottom", 0.0}, {"right", 10.0}, {"top", 10.0}};
    const std::vector<Case> cases = {
        {"empty.eps", "", "Data provider holds 0 bytes which means there are no comments",
         "Data provider holds 0 bytes which means there are no comments", nullptr},
        // Logged before the cause: the missing EPSF marker (a notice); after it: "Could not initialize ...".
        {"cut.eps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 10 10\n", "DSC comments error in EPS file.",
         "DSC comments error in EPS file.", nullptr},
        {"undefined.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\nnosuchop\n",
         "PostScript error: undefined in nosuchop", "PostScript error: undefined in nosuchop", box},
        {"nobox.eps",
         "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: (atend)\n%%EndComments\n0 0 moveto\n",
         "no %%BoundingBox",
         "the page is empty (width or height 0)",
         {{"left", 0.0}, {"bottom", 0.0}, {"right", 0.0}, {"top", 0.0}}},
        {"cut.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect",
         "XML parse error: Error domain 1 code 77 on line 1 column 69 of data: Premature end of data in tag "
         "svg "
         "line 1",
         "XML parse error: Error domain 1 code 77 on line 1 column 69 of data: Premature end of data in tag "
         "svg "
         "line 1",
         nullptr},
        {"missing.eps", std::nullopt, "file not found", "file not found", nullptr},
    };
    std::string files;
    for (const Case& c : cases) {
        const std::string path = c.bytes ? Write(c.name, *c.bytes) : Path(c.name);
        files += " " + Quoted(path);
    }
    for (const bool interpreter : {false, true}) {
        SCOPED_TRACE(interpreter ? "interpreter" : "converter");
        const auto result = RunEpsimport((interpreter ? "-j 1 --interpreter" : "-j 2") + files);
        EXPECT_EQ(result.exitStatus, 1);
        ASSERT_EQ(result.lines.size(), cases.size()) << result.raw;
        for (std::size_t i = 0; i < cases.size(); ++i) {
            const Case& c = cases[i];
            const auto& line = result.lines[i];
            SCOPED_TRACE(c.name);
            EXPECT_EQ(line["file"], Path(c.name));
            EXPECT_NE(line["status"], 0);
            EXPECT_EQ(line["error"], interpreter ? c.interpreterError : c.converterError);
            if (line.contains("type") && line["type"] == "EPS") {
                EXPECT_EQ(line["boundingBox"], c.boundingBox);
            }
        }
    }
}

TEST_F(Epsimport, InfoPassesUTF8AndReadsOtherTextAsWindows1252) {
    struct Case {
        std::string title;    // as the file holds it
        std::string expected; // as --info prints it
    };
    const std::string a254(254, 'A');
    const std::vector<Case> cases = {
        {"Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC",
         "Caf\xC3\xA9 \xE2\x9C\x93 \xE6\x97\xA5\xE6\x9C\xAC"},
        {"Caf\xE9 \x80", "Caf\xC3\xA9 \xE2\x82\xAC"},
        {"\xC3\xA9t\xC3",
         "\xC3\x83\xC2\xA9t\xC3\x83"}, // ends inside a character without being cut: not UTF-8
        // Cut at the field's 255 bytes inside "é": the piece is dropped.
        {"\xC3\xA9" + a254.substr(2) + "\xC3\xA9", "\xC3\xA9" + a254.substr(2)},
        // Cut the same way with no UTF-8 character before: read as Windows-1252.
        {a254 + "\xC3\xA9", a254 + "\xC3\x83"},
    };
    std::string files;
    for (std::size_t i = 0; i < cases.size(); ++i)
        files += " " + Quoted(Write("t" + std::to_string(i) + ".eps",
                                    "%!PS-Adobe-3.0 EPSF-3.0\n%%Title: " + cases[i].title +
                                        "\n%%BoundingBox: 0 0 1 1\n"));
    const auto result = RunEpsimport("--info" + files);
    ASSERT_EQ(result.lines.size(), cases.size()) << result.raw;
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_EQ(result.lines[i]["title"], cases[i].expected) << i;
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
        const std::string out = Path(path.empty() ? "c" : "i");
        const std::string files = "--output-dir " + Quoted(out) + " " + Quoted(missing) + " " + Quoted(known);
        // Placed as the file asks, with the substitutions named.
        const auto placed = RunEpsimport(path + files);
        ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
        ASSERT_EQ(placed.lines.size(), 2u);
        EXPECT_EQ(placed.lines[0]["status"], 0);
        EXPECT_EQ(placed.lines[0]["fontSubstitutions"], expected);
        EXPECT_EQ(placed.lines[0]["pdf"], out + "/missing.pdf");
        EXPECT_EQ(placed.lines[1]["fontSubstitutions"], nlohmann::json::array());
        std::filesystem::remove_all(out);
        // Refused: no PDF, an error naming both fonts of each substitution, exit status 1.
        const auto strict = RunEpsimport(path + "--strict-fonts " + files);
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
    const char* all[] = {"epsimport",    "--interpreter", "--draft", "-v", "--type", "svg",
                         "--output-dir", "out",           "-j",      "3",  "a",      "--strict-fonts"};
    const CommandLine line = ParseCommandLine(12, all);
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(line.mode, Mode::Place);
    EXPECT_TRUE(line.interpreter && line.draft && line.verbose && line.strictFonts);
    EXPECT_EQ(line.type, FileType::SVG);
    EXPECT_EQ(line.outputDir, "out");
    EXPECT_EQ(line.jobs, 3);
    EXPECT_EQ(line.files, std::vector<std::string>{"a"});

    struct Case {
        std::vector<const char*> args;
        int jobs;
        std::string error;
    };
    const std::vector<Case> cases = {
        {{"a"}, 0, ""},
        {{"-j4", "a"}, 4, ""},
        {{"--jobs", "1", "a"}, 1, ""},
        {{"-j", "0", "a"}, 0, "-j takes a number of processes from 1 to 64"},
        {{"-jx", "a"}, 0, "-j takes a number of processes from 1 to 64"},
        {{"a", "-j"}, 0, "-j needs a value"},
        {{"a", "-o"}, 0, "-o needs a value"},
        {{"--info", "--interpreter", "a"}, 0, "--info takes no placing options"},
        {{"--info", "-j", "2", "a"}, 2, "--info takes no placing options"},
        {{"--preview", "p.png", "-j", "2", "a"}, 2, "--preview takes only --dpi, --cmyk and --translate"},
    };
    for (Case c : cases) {
        c.args.insert(c.args.begin(), "epsimport");
        const CommandLine parsed = ParseCommandLine(static_cast<int>(c.args.size()), c.args.data());
        EXPECT_EQ(parsed.error, c.error) << c.args[1];
        if (c.error.empty()) {
            EXPECT_EQ(parsed.jobs, c.jobs) << c.args[1];
        }
    }
    EXPECT_EQ(RunEpsimport("--type png " + Quoted(kSample)).exitStatus, 2);
    EXPECT_EQ(RunEpsimport("-o a.pdf " + Quoted(kSample) + " " + Quoted(kSample)).exitStatus, 2);
    const auto help = RunEpsimport("--help", false);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.raw.rfind("usage: epsimport", 0), 0u);
}

// No two inputs share a PDF, whatever the order the pictures are placed in.
TEST(OutputNames, RepeatedNamesGetANumber) {
    CommandLine line;
    line.outputDir = "out";
    line.files = {"a/x.eps", "b/x.eps", "x-2.svg", "c/x.ai", "y.eps"};
    EXPECT_EQ(OutputPaths(line), (std::vector<std::string>{"out/x.pdf", "out/x-2.pdf", "out/x-2-2.pdf",
                                                           "out/x-3.pdf", "out/y.pdf"}));
    line.outputDir.clear();
    EXPECT_EQ(OutputPaths(line), std::vector<std::string>(5));
    line.output = "one.pdf";
    line.files = {"x.eps"};
    EXPECT_EQ(OutputPaths(line), std::vector<std::string>{"one.pdf"});
}

TEST(FailureCauses, TheVerdictOfTheStageThatFailed) {
    const LoggedError notice{"core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG", "f",
                             "/x/a.eps File does not contains EPSF- string in the header"};
    const LoggedError width{"core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG", "f",
                            "EPS BoundingBox width, user space width does not match"};
    const LoggedError summary{"core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG", "f",
                              "Could not create IDataProviderPtr"};
    const auto interpreter = [](const std::string& text) {
        return LoggedError{"core/Common/Headers/Jaws/JawsUtils",
                           "void __cdecl BRASK::PLUGIN::jawsLogging(void *,int,char *,int)", text};
    };
    struct Case {
        std::vector<LoggedError> errors;
        std::string standardError;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {{notice, summary},
         "CallasWrapper: undefined in x\nCallasWrapper: /x/a.eps: undefined in x\n",
         "undefined in x"},
        {{summary},
         "other\nCallasWrapper: /elsewhere/copy: no %%BoundingBox\n",
         "/elsewhere/copy: no %%BoundingBox"},
        {{interpreter("1 font stubs could not be mapped"), interpreter("undefined in y"), summary},
         "",
         "undefined in y"},
        {{notice, width, summary}, "unrelated\n", "Could not create IDataProviderPtr"},
        {{notice}, "", ""},
        {{}, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureCause(c.errors, ConverterLines(c.standardError), "/x/a.eps"), c.cause)
            << c.standardError;
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
