// epsimport over the whole corpus leaves the temporary folder as it found it. (Every corpus EPS is placed on
// both paths and compared with Ghostscript's crop by tests/fidelity; every SVG by tests/integration.)
#include "../support/CorpusSkip.h"
#include "PdfInspect.h"
#include "WrapperLibraries.h"

using namespace BRASK::TEST;

TEST(CorpusTest, EpsimportOverTheCorpusLeavesItsTemporaryFolderAsItWas) {
    // Both conversion paths and the raster preview, each in a process of its own with a private TMPDIR:
    // the folders the plug-in and the wrappers make there, and the interpreter processes' own, are gone
    // when the process ends.
    BRASK_SKIP_WITHOUT_CORPUS();
    TempDir tmp;
    std::string files;
    for (const auto& file : CorpusFiles({".eps", ".ai", ".ps", ".epsf", ".epsi", ".svg", ".svgz"}))
        files += " " + ShellQuote(file.string());
    const std::string eps = std::string(BRASK_CORPUS_DIR) + "/eps-plain/mei__mathematica.eps";
    const std::string run = "TMPDIR=" + ShellQuote(tmp.Path().string()) + " " + ShellQuote(BRASK_EPSIMPORT);
    for (const std::string& arguments :
         {files, " --interpreter" + files,
          " --preview " + ShellQuote((tmp.Path() / "preview.png").string()) + " " + ShellQuote(eps)}) {
        int code = 0;
        RunCommand(run + arguments + " >/dev/null 2>&1", code);
        EXPECT_NE(code, -1) << arguments.substr(0, 40);
        std::filesystem::remove(tmp.Path() / "preview.png");
        EXPECT_EQ(tmp.Files(), std::vector<std::string>()) << arguments.substr(0, 40);
    }
}
