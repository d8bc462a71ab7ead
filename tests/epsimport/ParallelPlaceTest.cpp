// epsimport -j N: a batch placed by worker processes prints what one process prints, and a worker that ends
// while placing a picture fails that picture only.
#include "../support/CorpusSkip.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>

using BRASK::TEST::Quoted;
using BRASK::TEST::RunEpsimport;
using ParallelPlace = BRASK::TEST::EpsimportTest;
namespace fs = std::filesystem;

namespace {

const std::string kSample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";

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

TEST_F(ParallelPlace, BatchOf200GivesTheLinesOfOneProcessOnBothPaths) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const std::vector<std::string> files = CorpusBatch(200);
    ASSERT_EQ(files.size(), 200u);
    std::string arguments = "--output-dir " + Quoted(Path("pdf"));
    for (const std::string& file : files)
        arguments += " " + Quoted(file);
    for (const std::string path : {"", "--interpreter "}) {
        SCOPED_TRACE(path);
        // One interpreter process takes all jobs of a path, so a job that damages the interpreter's memory
        // shows as a later picture failing (pdfwrite's marked-content properties did, some forty jobs
        // later), or as the process replaced and the picture placed again: the log tells.
        fs::remove_all(Path("pdf"));
        const auto one = RunEpsimport("-j 1 -v " + path + arguments, true, "", Path("log"));
        EXPECT_EQ(BRASK::TEST::ReadFile(Path("log")).find("the interpreter process ended during the job"),
                  std::string::npos);
        fs::remove_all(Path("pdf"));
        const auto two = RunEpsimport("-j 2 " + path + arguments);
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
