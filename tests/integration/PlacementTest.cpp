// End to end: the plug-in, loaded from the build's application folder exactly as a host loads it, with the
// reference host and its real wrappers, places real pictures: every SVG of the shared corpus, placements
// from several threads at once, and pictures that name fonts without embedding them (the fonts in the PDF
// and its pixels against Ghostscript's own crop of the file). (The sample picture's keys and the
// substitution warnings: tests/epsimport; every EPS of the corpus, and the keys of pictures with a profile,
// plates or a clipping path: tests/fidelity.)
#include "../support/Command.h"
#include "../support/CorpusSkip.h"
#include "../support/Fixture.h"
#include "../support/PdfRaster.h"

#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Graphics.h"
#include "brask/Plugin.h"
#include "brask_host/Host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace BRASK;
using namespace BRASK::TEST;

namespace {

struct Placement {
    Status status = -1;
    TInterfacePtr<GRAPHICS::ICompositeGraphic> graphic;
    IDictionary* dictionary = nullptr; // the filter information (borrowed from the graphic)
    GRAPHICS::IConnectionSpace* connectionSpace = nullptr; // from AdaptTile into an output tile (borrowed)
    TInterfacePtr<GRAPHICS::ITile> tile;

    float Float(std::int32_t key) const {
        float value = -1;
        if (dictionary != nullptr)
            dictionary->GetFloat(key, value);
        return value;
    }
    std::vector<std::uint8_t> Bytes(std::int32_t key) const {
        const std::uint8_t* data = nullptr;
        std::uint32_t length = 0;
        if (dictionary == nullptr || dictionary->GetBytes(key, &data, &length) != kOK)
            return {};
        return {data, data + length};
    }
};

// One plug-in host per test process: the interpreter inside stays started until the process ends.
class PluginHost {
public:
    static PluginHost& Instance() {
        static PluginHost* host = new PluginHost;
        return *host;
    }

    // Places the file through the plug-in; `interpreter` sets option 2009, `svg` the file type.
    Placement Place(const std::string& path, bool interpreter, bool svg = false) {
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path));
        TInterfacePtr<IO::IDataProvider> source;
        IO::CreateUriDataProvider(mHost.Get(), source, *uri, IO::kReadOnlyMode, nullptr);
        Placement placement;
        if (!source)
            return placement;
        IObject* object = nullptr;
        mGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &object);
        TInterfacePtr<IObject> owned;
        owned.Adopt(object); // released here when it is not a composite graphic
        placement.graphic.Reset(dynamic_cast<GRAPHICS::ICompositeGraphic*>(object));
        if (!placement.graphic)
            return placement;
        TInterfacePtr<IDictionary> options;
        IO::CreatePersistentDictionary(mHost.Get(), options);
        if (interpreter)
            options->SetBool(OPTIONKEY::kUseInterpreter, true);
        if (svg)
            options->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
        placement.status = placement.graphic->Init(*mHost, *source, options.Get());
        placement.dictionary = FindAttached<IDictionary>(*placement.graphic, CLSID::FilterDictionaryKey);
        GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 1, 1}, placement.tile);
        if (placement.tile && placement.graphic->AdaptTile(nullptr, placement.tile.Get()) == kOK)
            placement.connectionSpace =
                FindAttached<GRAPHICS::IConnectionSpace>(*placement.tile, CLSID::ConnectionSpaceKey);
        return placement;
    }

    // Writes the placement's PDF (from its connection space) into the output folder.
    std::string SavePDF(const Placement& placement, const std::string& name) const {
        const std::string path = (mOutputs.Path() / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(placement.connectionSpace->GetPDFData()),
                   placement.connectionSpace->GetPDFSize());
        return path;
    }

    const std::filesystem::path& TemporaryFolder() const { return mTemp.Path(); }
    // Where tests write what they take out of a placement.
    const std::filesystem::path& OutputFolder() const { return mOutputs.Path(); }

private:
    PluginHost() {
        mHost = HOST::Host::Create(HOST::HostOptions{BRASK_APP_DIR, mTemp.Path().string()});
        mHost->PublishAsCoreRegistry();
        mPlugin = dlopen((std::string(BRASK_APP_DIR) + "/libEPSLoader.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (mPlugin == nullptr)
            throw std::runtime_error(dlerror());
        auto init = reinterpret_cast<PluginInitFn>(dlsym(mPlugin, "Init"));
        mGetClassObject = reinterpret_cast<PluginGetClassObjectFn>(dlsym(mPlugin, "GetClassObject"));
        if (init == nullptr || mGetClassObject == nullptr || init(nullptr, mHost.Get()) != kOK)
            throw std::runtime_error("the plug-in did not start");
    }

    TempDir mTemp;
    TempDir mOutputs;
    TInterfacePtr<HOST::Host> mHost;
    void* mPlugin = nullptr;
    PluginGetClassObjectFn mGetClassObject = nullptr;
};

// The fixture of the placements: the one plug-in host exists before the first test counts live objects.
class Placing : public Fixture {
protected:
    static void SetUpTestSuite() { PluginHost::Instance(); }
};

std::string Errors(const TEST::LogCapture& log) {
    std::string text;
    for (const auto& record : log.Records())
        if (record.type == kLogTypeError)
            text += record.MessageUTF8() + "; ";
    return text;
}

struct Job {
    std::string path;
    bool interpreter = false;
    bool svg = false;
};

// What a placement tells the host, as text that compares whole: the status, the size and box keys, the colour
// spaces, whether there is a PDF and its page's size.
std::string PlaceJob(const Job& job) {
    Placement placement = PluginHost::Instance().Place(job.path, job.interpreter, job.svg);
    std::ostringstream out;
    out << std::setprecision(9) << placement.status;
    for (std::int32_t key : {FILTERKEY::kWidth, FILTERKEY::kHeight, FILTERKEY::kLeft, FILTERKEY::kRight,
                             FILTERKEY::kBottom, FILTERKEY::kTop})
        out << ' ' << placement.Float(key);
    for (const std::uint8_t space : placement.Bytes(FILTERKEY::kColorSpaces))
        out << " space " << int(space);
    if (placement.connectionSpace != nullptr) {
        const auto box = placement.connectionSpace->GetPageBox();
        out << " pdf " << (placement.connectionSpace->GetPDFSize() > 0) << ' ' << box.right - box.left << ' '
            << box.top - box.bottom;
    }
    return out.str();
}

struct PdfFont {
    std::string name; // without the subset prefix
    std::string type;
    bool embedded = false;
    bool operator==(const PdfFont&) const = default;
    friend void PrintTo(const PdfFont& font, std::ostream* out) {
        *out << font.name << " (" << font.type << (font.embedded ? ", embedded)" : ")");
    }
};

// The fonts pdffonts lists (name, type, encoding, emb, sub, uni, object, generation), without subset
// prefixes.
std::vector<PdfFont> FontsOf(const std::string& pdf) {
    static const std::regex row(
        R"(^(?:[A-Z]{6}\+)?(\S+) +(.+?) +\S+ +(yes|no) +(?:yes|no) +(?:yes|no) +\d+ +\d+$)");
    std::vector<PdfFont> fonts;
    std::istringstream lines(TEST::Capture("pdffonts '" + pdf + "' 2>/dev/null"));
    std::smatch match;
    for (std::string line; std::getline(lines, line);)
        if (std::regex_match(line, match, row))
            fonts.push_back({match[1], match[2], match[3] == "yes"});
    return fonts;
}

std::string WriteEps(const std::string& name, const std::string& body) {
    const std::string path = (PluginHost::Instance().OutputFolder() / name).string();
    std::ofstream(path) << "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 240 40\n%%EndComments\n"
                        << body << "\nshowpage\n%%EOF\n";
    return path;
}

} // namespace

TEST_F(Placing, EverySVGOfTheCorpusBecomesAPDFOfItsIntrinsicSize) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const auto files = TEST::CorpusFiles({".svg", ".svgz"});
    ASSERT_FALSE(files.empty());
    for (const auto& file : files) {
        SCOPED_TRACE(file.string());
        mLog.Clear();
        Placement placement = PluginHost::Instance().Place(file.string(), false, true);
        // librsvg's own converter gives the intrinsic size independently of the wrapper.
        const std::string reference = (PluginHost::Instance().OutputFolder() / "reference.pdf").string();
        std::filesystem::remove(reference);
        const bool readable =
            std::system(
                ("rsvg-convert -f pdf -o '" + reference + "' '" + file.string() + "' 2>/dev/null").c_str()) ==
            0;
        if (!readable) {
            // A file librsvg itself refuses: the placement fails with a reason.
            EXPECT_NE(placement.status, kOK);
            EXPECT_FALSE(Errors(mLog).empty());
            std::printf("not placed (svg, librsvg refuses it too): %s: %s\n", file.filename().c_str(),
                        Errors(mLog).c_str());
            continue;
        }
        ASSERT_EQ(placement.status, kOK) << Errors(mLog);
        ASSERT_NE(placement.connectionSpace, nullptr);
        const std::string pdf = PluginHost::Instance().SavePDF(placement, file.stem().string() + "-svg.pdf");
        EXPECT_EQ(std::system(("qpdf --check '" + pdf + "' >/dev/null 2>&1").c_str()), 0);
        // The first page's size in points, as pdfinfo reports it.
        std::smatch size;
        const std::string info = TEST::Capture("pdfinfo '" + reference + "' 2>/dev/null");
        ASSERT_TRUE(std::regex_search(info, size, std::regex("Page size:\\s+([0-9.]+) x ([0-9.]+) pts")));
        EXPECT_NEAR(placement.Float(FILTERKEY::kWidth), std::stod(size[1]), 0.5);
        EXPECT_NEAR(placement.Float(FILTERKEY::kHeight), std::stod(size[2]), 0.5);
        std::filesystem::remove(pdf);
    }
}

TEST_F(Placing, ThreadsGiveTheSameResultsAsOneByOne) {
    BRASK_SKIP_WITHOUT_CORPUS();
    std::vector<Job> jobs;
    const std::string corpus = BRASK_CORPUS_DIR;
    for (const std::string& eps :
         {std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps",
          corpus + "/eps-customcolor/aspose-imaging__Sample.eps", corpus + "/eps-plain/mei__mathematica.eps",
          corpus + "/eps-photoshop/magicknet__SwedenHeart.eps"})
        jobs.insert(jobs.end(), {{eps, false, false}, {eps, true, false}});
    for (const auto& svg : TEST::CorpusFiles({".svg"}))
        if (jobs.size() < 12)
            jobs.push_back({svg.string(), false, true});
    std::vector<std::string> alone;
    for (const Job& job : jobs)
        alone.push_back(PlaceJob(job));

    std::vector<std::string> together(jobs.size());
    std::vector<std::thread> threads;
    constexpr std::size_t kThreads = 4;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = t; i < jobs.size(); i += kThreads)
                together[i] = PlaceJob(jobs[i]);
        });
    for (auto& thread : threads)
        thread.join();

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].path + (jobs[i].interpreter ? " (interpreter)" : ""));
        // Some corpus SVG files are ones librsvg refuses; they must fail alike.
        EXPECT_TRUE(jobs[i].svg || alone[i].rfind(std::to_string(kOK) + " ", 0) == 0) << alone[i];
        EXPECT_EQ(together[i], alone[i]);
    }
}

TEST_F(Placing, EachFontKindOnBothPaths) {
    struct Row {
        const char* name;
        std::string body;
        PdfFont font;         // the font the PDF holds, on both paths
        bool likeGhostscript; // the pixels of gs's own crop; otherwise gs draws another font (no stub map)
    } rows[] = {
        // Ghostscript's base fonts with their own encodings: Greek letters and dingbats, not blanks.
        {"symbol",
         "/Symbol findfont 24 scalefont setfont 10 12 moveto (abgdmp\\261DW) show",
         {"Symbol", "Type 1C", true},
         true},
        {"dingbats",
         "/ZapfDingbats findfont 24 scalefont setfont 10 12 moveto (3456789HI) show",
         {"ZapfDingbats", "Type 1C", true},
         true},
        // A variant name only the stub tree gives (the joined form of DejaVuSerif-Bold): the installed face.
        {"stub-variant",
         "/DejaVuSerifBold findfont 24 scalefont setfont 10 12 moveto (Stub variant) show",
         {"DejaVuSerif-Bold", "TrueType", true},
         false},
        // A Chinese TrueType font as a CIDFont with a Unicode CMap.
        {"cjk-cidfont",
         "/WenQuanYiMicroHei-UniGB-UCS2-H findfont 24 scalefont setfont 10 10 moveto <4F60597D4E16754C> show",
         {"WenQuanYiMicroHei", "CID TrueType", true},
         false},
        // Installed under no name: substituted, as gs does.
        {"missing",
         "/NoSuchFont-Regular findfont 24 scalefont setfont 10 12 moveto (Missing font) show",
         {"NoSuchFont-Regular", "Type 1C", true},
         true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string eps = WriteEps(std::string(row.name) + ".eps", row.body);
        const std::string reference =
            (PluginHost::Instance().OutputFolder() / (std::string(row.name) + "-gs.pdf")).string();
        ASSERT_TRUE(TEST::WriteGhostscriptPdf(eps, reference));
        const TEST::RgbRaster gs = TEST::RenderPdf(reference, reference);
        std::map<bool, TEST::RgbRaster> renders;
        for (const bool interpreter : {false, true}) {
            SCOPED_TRACE(interpreter ? "interpreter" : "converter");
            Placement placement = PluginHost::Instance().Place(eps, interpreter);
            ASSERT_EQ(placement.status, kOK);
            ASSERT_NE(placement.connectionSpace, nullptr);
            const std::string pdf = PluginHost::Instance().SavePDF(
                placement, std::string(row.name) + (interpreter ? "-i.pdf" : "-c.pdf"));
            const auto fonts = FontsOf(pdf);
            EXPECT_EQ(fonts, std::vector<PdfFont>{row.font});

            renders[interpreter] = TEST::RenderPdf(pdf, pdf);
            EXPECT_GT(renders[interpreter].Ink(), 150u) << "the glyphs are not there";
            const TEST::RasterDifference fromGs = TEST::CompareRasters(gs, renders[interpreter]);
            EXPECT_EQ(TEST::LookAlike(fromGs), row.likeGhostscript)
                << "mean " << fromGs.blurredMean << ", tile " << fromGs.worstTile;
        }
        // The same picture looks the same on both paths.
        const TEST::RasterDifference paths = TEST::CompareRasters(renders[false], renders[true]);
        EXPECT_TRUE(TEST::LookAlike(paths)) << "mean " << paths.blurredMean << ", tile " << paths.worstTile;
    } // The interpreter's cidfmap (its per-process RIP folder) keeps the system's entries in front.
    const auto cidfmap = PluginHost::Instance().TemporaryFolder() / ("jaws" + std::to_string(getpid())) /
                         "fontmap" / "cidfmap";
    const std::string system = TEST::ReadFile("/var/lib/ghostscript/fonts/cidfmap");
    ASSERT_FALSE(system.empty());
    EXPECT_EQ(TEST::ReadFile(cidfmap).rfind(system, 0), 0u) << cidfmap;
}
