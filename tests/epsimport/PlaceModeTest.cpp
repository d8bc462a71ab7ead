// epsimport's placing mode, run as a program the way a user runs it, its command line and its choices of
// output names and failure texts; with -j N, a batch placed by worker processes prints what one process
// prints, and a worker that ends while placing a picture fails that picture only.
#include "../support/CorpusSkip.h"
#include "ToolRun.h"

#include "CommandLine.h"
#include "FailureCause.h"
#include "PlaceMode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <set>

using namespace BRASK;
using namespace BRASK::EPSIMPORT;
using BRASK::TEST::Quoted;
using BRASK::TEST::RunEpsimport;
using Epsimport = BRASK::TEST::EpsimportTest;
using ParallelPlace = BRASK::TEST::EpsimportTest;
namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";
constexpr const char* kIcon = "\xEF\xBB\xBF  \n<svg xmlns='http://www.w3.org/2000/svg' width='96' "
                              "height='48'><rect width='96' height='48' fill='red'/></svg>";

// The sample's line as the README shows it, less "file" and "pdf".
const char* const kSampleLine =
    R"j({"status":0,"type":"EPS","size":{"width":300.0,"height":200.0},"colorSpaces":[5],)j"
    R"j("boundingBox":{"left":0.0,"bottom":0.0,"right":300.0,"top":200.0},"iccProfileBytes":0,)j"
    R"j("customColors":["0 0.55 0.95 0 (Sample Orange)"],"dcs":false,"duotone":false,"clippingPath":null,)j"
    R"j("vectorMaskedImagery":false,"imageResolution":false,"fontSubstitutions":[]})j";

// The corpus pictures under 100 KB (most of them, from every kind of producer; the large ones would only make
// the run long), sorted, then again from the first, up to `count` inputs.
std::vector<std::string> CorpusBatch(std::size_t count) {
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(BRASK_CORPUS_DIR))
        if (entry.is_regular_file() && entry.path().filename() != "MANIFEST.tsv" &&
            entry.file_size() < 100000)
            files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    for (std::size_t i = 0; !files.empty() && files.size() < count; ++i)
        files.push_back(files[i]);
    files.resize(std::min(files.size(), count));
    return files;
}

} // namespace

TEST_F(Epsimport, PlacesTheSampleAndAnSvgAndWritesTheirPDFs) {
    auto expected = nlohmann::json::parse(kSampleLine);
    expected["file"] = kSample;
    expected["pdf"] = Path("sample.pdf");
    const auto placed = RunEpsimport("-o " + Quoted(Path("sample.pdf")) + " " + Quoted(kSample));
    ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
    EXPECT_EQ(placed.lines, std::vector<nlohmann::json>{expected});
    EXPECT_EQ(std::system(("qpdf --check " + Quoted(Path("sample.pdf")) + " >/dev/null").c_str()), 0);
    EXPECT_NE(BRASK::TEST::Capture("pdftotext " + Quoted(Path("sample.pdf")) + " -").find("Brask EPS sample"),
              std::string::npos);

    // --interpreter concerns EPS: the SVG still goes through the converter, as a host would send it.
    const std::string svg = WriteFile("icon.svg", kIcon);
    for (const std::string options : {"", "--interpreter "}) {
        SCOPED_TRACE(options);
        const auto placed = RunEpsimport(options + "--output-dir " + Quoted(Path("out")) + " " + Quoted(svg));
        ASSERT_EQ(placed.exitStatus, 0) << placed.raw;
        const auto& json = placed.lines[0];
        EXPECT_EQ(json["type"], "SVG");
        EXPECT_EQ(json["size"], nlohmann::json::parse(R"({"width":72.0,"height":36.0})")); // 96 x 48 px
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
        std::string error;
        std::string interpreterError;         // empty: the same error
        nlohmann::json boundingBox = nullptr; // the value printed for an EPS
    };
    const auto box = [](double side) {
        return nlohmann::json{{"left", 0.0}, {"bottom", 0.0}, {"right", side}, {"top", side}};
    };
    const std::string header = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: ";
    const std::vector<Case> cases = {
        {"empty.eps", "", "Data provider holds 0 bytes which means there are no comments", ""},
        // Logged before the cause: the missing EPSF marker (a notice); after it: "Could not initialize ...".
        {"cut.eps", "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 10 10\n", "DSC comments error in EPS file.", ""},
        {"undefined.eps", header + "0 0 10 10\nnosuchop\n", "PostScript error: undefined in nosuchop", "",
         box(10)},
        {"nobox.eps", header + "(atend)\n%%EndComments\n0 0 moveto\n", "no %%BoundingBox",
         "the page is empty (width or height 0)", box(0)},
        {"cut.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='10' height='10'><rect",
         "XML parse error: Error domain 1 code 77 on line 1 column 69 of data: Premature end of data in tag "
         "svg "
         "line 1",
         ""},
        {"missing.eps", std::nullopt, "file not found", ""},
    };
    std::string files;
    for (const Case& c : cases) {
        const std::string path = c.bytes ? WriteFile(c.name, *c.bytes) : Path(c.name);
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
            EXPECT_EQ(line["error"],
                      interpreter && !c.interpreterError.empty() ? c.interpreterError : c.error);
            if (line.contains("type") && line["type"] == "EPS") {
                EXPECT_EQ(line["boundingBox"], c.boundingBox);
            }
        }
    }
}

TEST_F(Epsimport, FontSubstitutionsAreListedAndStrictFontsRefusesThem) {
    const std::string header = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 50\n%%EndComments\n";
    const std::string missing = WriteFile(
        "missing.eps", header + "/NoSuchFont-Regular findfont 20 scalefont setfont 10 10 moveto (Missing) "
                                "show /Times-Roman findfont pop /Other-Missing 9 selectfont\n");
    const std::string known =
        WriteFile("known.eps", header + "/Symbol findfont 20 scalefont setfont 10 10 moveto "
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
        fs::remove_all(out);
        // Refused: no PDF, an error naming both fonts of each substitution, exit status 1.
        const auto strict = RunEpsimport(path + "--strict-fonts " + files);
        EXPECT_EQ(strict.exitStatus, 1) << strict.raw;
        ASSERT_EQ(strict.lines.size(), 2u);
        EXPECT_EQ(strict.lines[0]["fontSubstitutions"], expected);
        EXPECT_EQ(strict.lines[0]["pdf"], nullptr);
        EXPECT_EQ(strict.lines[0]["error"],
                  "font substitution refused (--strict-fonts): NoSuchFont-Regular replaced by "
                  "NimbusMonoPS-Regular, Other-Missing replaced by NimbusMonoPS-Regular");
        EXPECT_FALSE(fs::exists(out + "/missing.pdf"));
        EXPECT_EQ(strict.lines[1]["pdf"], out + "/known.pdf");
        EXPECT_FALSE(strict.lines[1].contains("error"));
    }
}

TEST(CommandLineOptions, ParsedAsGiven) {
    const auto parse = [](std::vector<const char*> args) {
        args.insert(args.begin(), "epsimport");
        return ParseCommandLine(static_cast<int>(args.size()), args.data());
    };
    const CommandLine line = parse({"--interpreter", "--draft", "-v", "--type", "svg", "--output-dir", "out",
                                    "-j", "3", "a", "--strict-fonts", "--", "--b"});
    EXPECT_TRUE(line.error.empty()) << line.error;
    EXPECT_EQ(std::tuple(line.mode, line.interpreter, line.draft, line.verbose, line.strictFonts, line.type,
                         line.outputDir, line.jobs),
              std::tuple(Mode::Place, true, true, true, true, FileType::SVG, std::string("out"), 3));
    EXPECT_EQ(line.files, (std::vector<std::string>{"a", "--b"}));
    const CommandLine info = parse({"--info", "a"});
    EXPECT_EQ(std::tuple(info.mode, info.error), std::tuple(Mode::Info, std::string()));
    const CommandLine preview =
        parse({"--preview", "a.png", "--dpi", "150", "--cmyk", "--translate", "x.eps"});
    EXPECT_EQ(std::tuple(preview.error, preview.mode, preview.preview, preview.dpi, preview.cmyk,
                         preview.translate),
              std::tuple(std::string(), Mode::Preview, std::string("a.png"), 150.0, true, true));
    const CommandLine plain = parse({"--preview", "a.png", "x.eps"});
    EXPECT_EQ(std::tuple(plain.dpi, plain.cmyk, plain.translate), std::tuple(72.0, false, false));

    const std::string jobs = "-j takes a number of processes from 1 to 64",
                      one = "--preview takes exactly one EPS file",
                      only = "--preview takes only --dpi, --cmyk and --translate",
                      dpi = "--dpi takes a number from 1 to 4800",
                      with = "--dpi, --cmyk and --translate go with --preview";
    const std::pair<std::vector<const char*>, int> accepted[] = {
        {{"a"}, 0}, {{"-j4", "a"}, 4}, {{"--jobs", "1", "a"}, 1}};
    for (const auto& [args, count] : accepted)
        EXPECT_TRUE(parse(args).error.empty() && parse(args).jobs == count) << args[0];
    const std::pair<std::vector<const char*>, std::string> refused[] = {
        {{"-j", "0", "a"}, jobs},
        {{"-jx", "a"}, jobs},
        {{"a", "-j"}, "-j needs a value"},
        {{"a", "-o"}, "-o needs a value"},
        {{"--info", "--interpreter", "a"}, "--info takes no placing options"},
        {{"--info", "-j", "2", "a"}, "--info takes no placing options"},
        {{"--info"}, "no files given"},
        {{"--info", "--bogus", "a"}, "unknown option --bogus"},
        {{"--preview", "p.png", "-j", "2", "a"}, only},
        {{"--preview", "a.png", "-o", "b.pdf", "x.eps"}, only},
        {{"--preview", "a.png", "x.eps", "y.eps"}, one},
        {{"--preview", "a.png"}, one},
        {{"--preview"}, "--preview needs a value"},
        {{"--preview", "a.png", "--dpi", "0", "x.eps"}, dpi},
        {{"--preview", "a.png", "--dpi", "7x", "x.eps"}, dpi},
        {{"--cmyk", "x.eps"}, with},
        {{"--dpi", "100", "x.eps"}, with},
    };
    for (const auto& [args, error] : refused)
        EXPECT_EQ(parse(args).error, error) << args[0] << " " << args.size();
    EXPECT_EQ(RunEpsimport("--type png " + Quoted(kSample)).exitStatus, 2);
    EXPECT_EQ(RunEpsimport("-o a.pdf " + Quoted(kSample) + " " + Quoted(kSample)).exitStatus, 2);
    EXPECT_EQ(RunEpsimport("--preview", false).exitStatus, 2);
    const auto help = RunEpsimport("--help", false);
    EXPECT_EQ(help.exitStatus, 0);
    EXPECT_EQ(help.raw.rfind("usage: epsimport", 0), 0u);
}

// No two inputs share a PDF, whatever the order the pictures are placed in.
TEST(OutputNamesAndFileTypes, RepeatedNamesGetANumberAndTypesAreKnownByTheFirstCharacters) {
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
    const std::pair<std::string, FileType> cases[] = {
        {"<svg/>", FileType::SVG},
        {"\xEF\xBB\xBF \r\n\t<?xml version='1.0'?>", FileType::SVG},
        {"\x1F\x8B\x08", FileType::SVG},                      // gzip: .svgz
        {std::string("\xFF\xFE \0<\0s\0", 8), FileType::SVG}, // UTF-16LE
        {std::string("\xFE\xFF\0\n\0<", 6), FileType::SVG},   // UTF-16BE
        {std::string("\xFF\xFE%\0!\0", 6), FileType::EPS},
        {"%!PS-Adobe-3.0 EPSF-3.0", FileType::EPS},
        {"\xC5\xD0\xD3\xC6", FileType::EPS},
        {"   ", FileType::EPS},
        {"", FileType::EPS}};
    for (const auto& [bytes, type] : cases)
        EXPECT_EQ(DetectFileType(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size()), type)
            << bytes;
}

TEST(FailureCauses, TheVerdictOfTheStageThatFailed) {
    const auto plugin = [](const std::string& text) {
        return LoggedError{"core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG", "f", text};
    };
    const LoggedError notice = plugin("/x/a.eps File does not contains EPSF- string in the header"),
                      width = plugin("EPS BoundingBox width, user space width does not match"),
                      summary = plugin("Could not create IDataProviderPtr");
    struct Case {
        std::vector<LoggedError> errors;
        std::string standardError;
        std::string cause;
    };
    const std::vector<Case> cases = {
        {{summary},
         "other\nCallasWrapper: /elsewhere/copy: no %%BoundingBox\n",
         "/elsewhere/copy: no %%BoundingBox"},
        {{notice, width, summary}, "unrelated\n", "Could not create IDataProviderPtr"},
        {{notice}, "", ""},
        {{}, "", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FailureCause(c.errors, ConverterLines(c.standardError), "/x/a.eps"), c.cause)
            << c.standardError;
}

TEST_F(ParallelPlace, BatchOf200GivesTheLinesOfOneProcessOnBothPaths) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const std::vector<std::string> files = CorpusBatch(200);
    ASSERT_EQ(files.size(), 200u);
    std::string arguments = "--output-dir " + Quoted(Path("pdf"));
    for (const std::string& file : files)
        arguments += " " + Quoted(file);
    // The folders the plug-in, the wrappers and the interpreter processes make in TMPDIR go with them.
    const std::string tmpdir = "TMPDIR=" + Quoted(Path("tmp"));
    fs::create_directory(Path("tmp"));
    for (const std::string path : {"", "--interpreter "}) {
        SCOPED_TRACE(path);
        // One interpreter process takes all jobs of a path, so a job that damages the interpreter's memory
        // shows as a later picture failing (pdfwrite's marked-content properties did, some forty jobs
        // later), or as the process replaced and the picture placed again: the log tells.
        fs::remove_all(Path("pdf"));
        const auto one = RunEpsimport("-j 1 -v " + path + arguments, true, tmpdir, Path("log"));
        EXPECT_EQ(BRASK::TEST::ReadFile(Path("log")).find("the interpreter process ended during the job"),
                  std::string::npos);
        EXPECT_TRUE(fs::is_empty(Path("tmp")));
        fs::remove_all(Path("pdf"));
        const auto two = RunEpsimport("-j 2 " + path + arguments, true, tmpdir);
        EXPECT_TRUE(fs::is_empty(Path("tmp")));
        ASSERT_EQ(one.lines.size(), files.size()) << one.raw;
        EXPECT_EQ(two.raw, one.raw);
        EXPECT_EQ(two.exitStatus, one.exitStatus);

        // Every PDF named is on disk, and no two pictures share one (the repeated inputs got numbered names).
        std::set<std::string> pdfs;
        std::size_t placed = 0;
        for (std::size_t i = 0; i < files.size(); ++i) {
            const auto& line = two.lines[i];
            EXPECT_EQ(line["file"], files[i]);
            if (line["status"] != 0)
                continue;
            ++placed;
            ASSERT_TRUE(line["pdf"].is_string()) << line.dump();
            EXPECT_GT(fs::file_size(line["pdf"].get<std::string>()), 0u) << line.dump();
            pdfs.insert(line["pdf"].get<std::string>());
        }
        EXPECT_EQ(pdfs.size(), placed);
        EXPECT_GT(placed, files.size() * 9 / 10);
    }
}

TEST_F(ParallelPlace, AWorkerThatEndsFailsOnlyItsPicture) {
    // The application folder, with a converter that ends its process on pictures named "crash...".
    const fs::path app = Path("app");
    fs::create_directories(app / "PDFToolBox");
    for (const auto& entry : fs::directory_iterator(BRASK_APP_DIR))
        if (entry.path().filename() != "PDFToolBox")
            fs::create_symlink(entry.path(), app / entry.path().filename());
    fs::create_symlink(BRASK_ENDING_CONVERTER, app / "PDFToolBox" / "libCallasWrapper.so");

    fs::copy_file(kSample, Path("crash-1.eps"));
    fs::copy_file(kSample, Path("crash-2.eps"));
    const std::string svg =
        WriteFile("icon.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8'/>");
    // Both first workers end at once: the pictures after them are placed by the workers that replace them.
    const std::vector<std::string> files = {Path("crash-1.eps"), Path("crash-2.eps"), kSample, svg, kSample};
    std::string arguments = "-j 2 --output-dir " + Quoted(Path("pdf"));
    for (const std::string& file : files)
        arguments += " " + Quoted(file);
    const auto result = RunEpsimport(arguments, true, "BRASK_APP_DIR=" + Quoted(app.string()));

    EXPECT_EQ(result.exitStatus, 1);
    ASSERT_EQ(result.lines.size(), files.size()) << result.raw;
    for (std::size_t i = 0; i < 2; ++i)
        EXPECT_EQ(
            result.lines[i],
            nlohmann::json({{"file", files[i]},
                            {"status", 1},
                            {"error", "the worker process placing this picture ended (killed by signal 9: "
                                      "Killed)"}}));
    const std::vector<std::string> pdfs = {"", "", Path("pdf/sample.pdf"), Path("pdf/icon.pdf"),
                                           Path("pdf/sample-2.pdf")};
    for (std::size_t i = 2; i < files.size(); ++i) {
        EXPECT_EQ(result.lines[i]["file"], files[i]);
        EXPECT_EQ(result.lines[i]["status"], 0) << result.lines[i].dump();
        EXPECT_EQ(result.lines[i]["pdf"], pdfs[i]);
        EXPECT_TRUE(fs::is_regular_file(pdfs[i]));
    }
}
