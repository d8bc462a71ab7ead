// The conversion paths with stand-in wrappers and a stand-in discovery service whose PDF graphic reports a
// chosen user-space size, so the bounding-box checks and the keys can be driven exactly; and the intermediate
// PDF: a conversion that fails or writes nothing fails the placement, and whatever lies at the path
// beforehand is neither adopted nor written through.
#include "GraphicFixture.h"

#include "IntermediatePDF.h"
#include "JawsEntryPoints.h"
#include "brask/FilterKeys.h"

#include <sstream>
#include <sys/stat.h>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using namespace BRASK::TEST;

namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string kEPS = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 20\n%%EndComments\nshowpage\n";

// A Photoshop section of two resources: path "Clip" (2000), one closed subpath of three knots at (v, h) =
// (0.25, 0.5), (0.75, 0.25), (0.75, 0.875) of the image in 8.24, each point three times; and the clipping
// path (2999) naming it.
const std::string kPhotoshopSection = "%BeginPhotoshop: 142\n% "
                                      "3842494D07D004436C69700000000068" // 8BIM 2000 "Clip", 104 bytes
                                      "0000000300000000000000000000000000000000000000000000"
                                      "0001004000000080000000400000008000000040000000800000"
                                      "000100C000000040000000C000000040000000C0000000400000"
                                      "000100C0000000E0000000C0000000E0000000C0000000E00000"
                                      "3842494D0BB700000000000904436C69700001000000" // 8BIM 2999 "Clip"
                                      "\n%EndPhotoshop\n";

// Each subpath as "closed:" or "open:" followed by its anchors "x,y".
std::string Anchors(const GRAPHICS::IPathCollection* path) {
    if (path == nullptr)
        return "none";
    std::ostringstream out;
    for (std::uint32_t s = 0; s < path->GetSubpathCount(); ++s) {
        out << (s == 0 ? "" : " ") << (path->IsSubpathClosed(s) ? "closed:" : "open:");
        for (std::uint32_t k = 0; k < path->GetKnotCount(s); ++k)
            out << " " << path->GetKnot(s, k).anchor.x << "," << path->GetKnot(s, k).anchor.y;
    }
    return out.str();
}

using ImportPaths = ImportFixture;
using IntermediatePDFTest = ImportFixture;

} // namespace

// The box against the user-space size of the PDF graphic: the box wins (a difference of more than a point is
// logged, and a box thinner than 3 points is then widened to 3); an empty one gives way to the user space.
TEST_F(ImportPaths, BoxKeysImportedFlagAndTheConnectionSpace) {
    const std::string width = "EPS BoundingBox width, user space width does not match",
                      height = "EPS BoundingBox height, user space height does not match";
    const std::tuple<const char*, float, float, std::string, std::vector<std::string>> cases[] = {
        {"0 0 100 80", 100, 80, "0 0 100 80 100 80 ", {}},
        {"0 0 100 80", 50, 80, "0 0 100 80 100 80 ", {width}},
        {"10 0 12 80", 50, 80, "10 0 13 80 3 80 ", {width}},
        {"0 5 100 6.5", 100, 40, "0 5 100 8 100 3 ", {height}},
        {"10 0 10 80", 50, 80, "10 0 10 80 50 80 ", {}},
        {"0 0 200 80", 200.5f, 80, "0 0 200 80 200.5 80 ", {}},
    };
    for (const auto& [box, userWidth, userHeight, keys, logged] : cases) {
        SCOPED_TRACE(std::string(box) + " against " + std::to_string(userWidth));
        mLog.Clear();
        mDiscovery->width = userWidth;
        mDiscovery->height = userHeight;
        Status status = -1;
        auto graphic = PlaceText("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: " + std::string(box) +
                                     "\n%%EndComments\nshowpage\n%%EOF\n",
                                 false, &status);
        EXPECT_EQ(status, kOK);
        EXPECT_EQ(mDiscovery->lastType, GRAPHICS::kTypePDF);
        EXPECT_EQ(mDiscovery->pdf, FAKE::kPDFText); // what the converter wrote, nothing else
        std::ostringstream values;                  // left bottom right top, width height
        for (std::int32_t key : {FILTERKEY::kLeft, FILTERKEY::kBottom, FILTERKEY::kRight, FILTERKEY::kTop,
                                 FILTERKEY::kWidth, FILTERKEY::kHeight})
            values << Key(*graphic, key) << " ";
        EXPECT_EQ(values.str(), keys);
        EXPECT_EQ(mLog.Messages(), logged);
        bool imported = false;
        EXPECT_EQ(Dictionary(*graphic).GetBool(FILTERKEY::kImported, imported), kOK);
        EXPECT_TRUE(imported);
        EXPECT_EQ(Dictionary(*graphic).GetType(FILTERKEY::kImported), IDictionary::kBool);
        EXPECT_NE(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
        EXPECT_TRUE(LeftFiles().empty()); // the intermediate PDF is gone once the host has read it
    }
}

TEST_F(ImportPaths, FilterKeysCarryThePicturesValuesOnBothPaths) {
    const std::string featured =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n%%CyanPlate: pic.C\n%DuotoneInks: x\n"
        "%VectorMaskedImagery\n%ImageData: 200 100 8 3 0 200 1 \"beginimage\"\n"
        "%%BeginICCProfile: (x) -1 Hex\n% 0A0B0C0D\n%%EndICCProfile\n" +
        kPhotoshopSection + "%%EndComments\nshowpage\n%%EOF\n";
    // A plain picture (every flag 0, no profile, no clip) is held by the plug-in's placement of real files.
    for (const bool interpreter : {false, true}) {
        SCOPED_TRACE(interpreter ? "interpreter" : "converter");
        const Bytes spaces = interpreter ? Bytes{5, 8} : Bytes{5};
        if (interpreter) {
            ASSERT_TRUE(PLUGIN::LoadJawsLibrary(PLUGIN::JawsLibraryLoaded(), mHost.Get()));
            const int reported[] = {0, 2}; // what the stand-in interpreter reports
            Fake<void (*)(const int*, int)>("/libBraskPDF.so", "fake_set_colorspaces")(reported, 2);
        }
        Status status = -1;
        auto graphic = PlaceText(featured, interpreter, &status);
        ASSERT_EQ(status, kOK);
        const IDictionary& keys = Dictionary(*graphic);
        EXPECT_EQ(BytesAt(keys, FILTERKEY::kICCProfile), (Bytes{10, 11, 12, 13}));
        Bytes flags;
        for (std::int32_t key :
             {FILTERKEY::kDuotone, FILTERKEY::kImageResolution, FILTERKEY::kVectorMasked, FILTERKEY::kDCS}) {
            std::uint8_t value = 0xEE;
            EXPECT_EQ(keys.GetUInt8(key, value), kOK);
            flags.push_back(value);
        }
        EXPECT_EQ(flags, (Bytes{1, 1, 1, 1}));
        std::uint16_t count = 0;
        EXPECT_EQ(keys.GetUInt16(FILTERKEY::kColorSpaceCount, count), kOK);
        EXPECT_EQ(count, spaces.size());
        EXPECT_EQ(BytesAt(keys, FILTERKEY::kColorSpaces), spaces);
        EXPECT_EQ(Anchors(FindAttached<GRAPHICS::IPathCollection>(*graphic, CLSID::ClippingPathKey)),
                  "closed: 100,25 50,75 175,75");
    }
}

TEST_F(ImportPaths, ProcessorFlagOptionSetsTheConverterResolution) {
    const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\nshowpage\n";
    auto source = FileSource(WriteFile("flag.eps", eps));
    // The option absent (-1), true (1) or false (0).
    for (const auto& [option, resolution] :
         {std::pair(-1, "[2400.00 2400.00]"), std::pair(1, "[2400.00 2400.00]"),
          std::pair(0, "[288.00 288.00]")}) {
        auto options = NewDictionary();
        if (option >= 0)
            options->SetBool(OPTIONKEY::kProcessorFlag, option == 1);
        ASSERT_EQ(NewGraphic()->Init(*mHost, *source, options.Get()), kOK);
        EXPECT_NE(JobText().find(std::string("/HWResolution ") + resolution + "\n"), std::string::npos)
            << option << ": " << JobText();
    }
}

TEST_F(ImportPaths, SVGWritesOnlyTheSizeAndTheImportedFlag) {
    mDiscovery->width = 120;
    mDiscovery->height = 90;
    const std::string path =
        WriteFile("icon.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='160' height='120'/>");
    auto source = FileSource(path);
    auto options = NewDictionary();
    options->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
    GraphicPtr graphic = NewGraphic();
    EXPECT_EQ(graphic->Init(*mHost, *source, options.Get()), kOK);
    EXPECT_EQ(mDiscovery->pdf, FAKE::kPDFText);
    EXPECT_EQ(std::make_pair(Key(*graphic, FILTERKEY::kWidth), Key(*graphic, FILTERKEY::kHeight)),
              std::make_pair(120.f, 90.f));
    for (std::int32_t key = FILTERKEY::kLeft; key <= FILTERKEY::kDCS; ++key)
        EXPECT_EQ(Dictionary(*graphic).GetType(key), IDictionary::kNone) << key;
    EXPECT_EQ(Dictionary(*graphic).GetKeyCount(), 7u); // the four format keys, the size, imported

    mDiscovery->status = 9;
    GraphicPtr failed = NewGraphic();
    EXPECT_EQ(failed->Init(*mHost, *source, options.Get()), 9);
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));
    EXPECT_EQ(Logged("Failed to create the intermediate PDF composite graphic"), 1u);
    bool imported = false;
    EXPECT_EQ(Dictionary(*failed).GetBool(FILTERKEY::kImported, imported), kOK);
}

TEST_F(ImportPaths, IllustratorFileWithoutMarkerIsRepairedFromACopy) {
    const std::string text = "%!PS-Adobe-3.0\r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n";
    Status status = -1;
    auto graphic = PlaceText(text, false, &status, "drawing.Ai");
    EXPECT_EQ(status, kOK);
    const std::string path = (mAppDir.Path() / "drawing.Ai").string();
    const auto records = mLog.WithMessage(path + " File does not contains EPSF- string in the header");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(std::tie(records[0].type, records[0].level), std::make_tuple(1, 2));
    // The picture is read from the repaired copy: the marker sits before the first line's end.
    ASSERT_TRUE(graphic->GetTempFile());
    const std::string copy = graphic->GetTempFile()->GetPath(true).GetUTF8String();
    EXPECT_EQ(ReadFile(copy),
              "%!PS-Adobe-3.0 EPSF-3.0 \r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n");
    EXPECT_EQ(graphic->GetSourceURI()->GetPath(), graphic->GetTempFile()->GetPath(true));
    EXPECT_EQ(std::string(Fake<const char* (*)()>("/PDFToolBox/libCallasWrapper.so", "fake_source")()), copy);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 60);

    auto plain = PlaceText(text, false, &status, "drawing.eps");
    const std::string eps = (mAppDir.Path() / "drawing.eps").string();
    const auto logged = mLog.WithMessage(eps + " File does not contains EPSF- string in the header");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].type, 2);
    EXPECT_FALSE(plain->GetTempFile());
}

TEST_F(ImportPaths, RepairedDOSBinaryCopyHasAHeaderThatDescribesIt) {
    const std::string postScript =
        "%!PS-Adobe-3.0\n%%BoundingBox: 0 0 50 60\n%%EndComments\nshowpage\n%%EOF\n";
    const std::string marked =
        "%!PS-Adobe-3.0 EPSF-3.0 \n%%BoundingBox: 0 0 50 60\n%%EndComments\nshowpage\n%%EOF\n";
    const std::string preview(40, '\x7F');
    struct Case {
        bool previewFirst, wmf;
    };
    for (const Case c : {Case{false, false}, Case{false, true}, Case{true, false}}) { // TIFF or WMF preview
        SCOPED_TRACE(std::to_string(c.previewFirst) + std::to_string(c.wmf));
        const std::uint32_t ps = static_cast<std::uint32_t>(postScript.size());
        const std::uint32_t psOffset = c.previewFirst ? 30 + 40 : 30,
                            previewOffset = c.previewFirst ? 30 : 30 + ps;
        // Magic, PostScript offset and length, WMF offset and length, TIFF offset and length (little-endian).
        const auto header = [&](std::uint32_t length, std::uint32_t at) {
            std::string bytes;
            for (std::uint32_t v : {0xC6D3D0C5u, psOffset, length, c.wmf ? at : 0, c.wmf ? 40u : 0,
                                    c.wmf ? 0 : at, c.wmf ? 0 : 40u})
                for (int i = 0; i < 4; ++i)
                    bytes += static_cast<char>(v >> (8 * i));
            return bytes;
        };
        std::string file = header(ps, previewOffset);
        char sum = 0;
        for (char b : file)
            sum ^= b;
        file += std::string{sum, '\0'} + (c.previewFirst ? preview + postScript : postScript + preview);

        Status status = -1;
        auto graphic = PlaceText(file, false, &status, "binary.ai");
        EXPECT_EQ(status, kOK);
        ASSERT_TRUE(graphic->GetTempFile());
        const std::string copy = ReadFile(graphic->GetTempFile()->GetPath(true).GetUTF8String());
        ASSERT_EQ(copy.size(), file.size() + 10);
        const std::uint32_t movedPreview = c.previewFirst ? previewOffset : previewOffset + 10;
        EXPECT_EQ(copy.substr(0, 30), header(ps + 10, movedPreview) + "\xFF\xFF"); // checksum: none
        EXPECT_EQ(copy.substr(psOffset, marked.size()), marked); // the section keeps its last bytes
        EXPECT_EQ(copy.substr(movedPreview, 40), preview);
    }
}

// kEPS placed on both paths after something was planted at the intermediate PDF's path and the stand-in
// wrappers were steered: only the PDF this conversion wrote is adopted, the box is reported whatever happens,
// nothing is written through to another file and nothing is left behind.
TEST_F(IntermediatePDFTest, OnlyThePDFThisConversionWroteIsAdopted) {
    namespace fs = std::filesystem;
    const std::string victim = (mAppDir.Path() / "victim.pdf").string();
    const std::string victimText = "%PDF-1.4\n% somebody else's picture\n";
    using Plant = std::function<void(const std::string& path)>;
    const Plant stale = [&](const std::string& p) { std::ofstream(p) << victimText; };
    struct Case {
        const char* name;
        Plant plant; // null: nothing lies there
        int mode;
        Status status;
        std::string message = {}, interpreterMessage = {}; // logged once; the latter when it differs
    };
    const std::string nothing = "The conversion wrote no PDF at " + PDFPath() + ".";
    const Case cases[] = {
        {"writes nothing", nullptr, FAKE::kWriteNothing, 7, nothing},
        {"refuses", nullptr, FAKE::kFail, 7, "SaveAsPDF failed. Error = -1",
         "BPDFStartDistillUsingDataProvider failed. Error = -1"},
        {"writes another file", nullptr, FAKE::kReplaceFile, IntermediatePDF::kNoIntermediatePDF,
         "The intermediate PDF " + PDFPath() +
             " is not the file this conversion created; it is not adopted."},
        {"a stale PDF", stale, FAKE::kWritePDF, kOK},
        {"a stale PDF and a converter that writes nothing", stale, FAKE::kWriteNothing, 7, nothing},
        {"a symbolic link to another file", [&](const std::string& p) { fs::create_symlink(victim, p); },
         FAKE::kWritePDF, kOK},
        {"a symbolic link to nowhere",
         [&](const std::string& p) { fs::create_symlink(victim + ".missing", p); }, FAKE::kWritePDF, kOK},
        {"a hard link to another file", [&](const std::string& p) { fs::create_hard_link(victim, p); },
         FAKE::kWritePDF, kOK},
        {"a folder", [&](const std::string& p) { fs::create_directory(p); }, FAKE::kWritePDF,
         IntermediatePDF::kNoIntermediatePDF},
    };
    for (const bool interpreter : {false, true})
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(c.name) + (interpreter ? " (interpreter)" : " (converter)"));
            std::ofstream(victim, std::ios::trunc) << victimText;
            PlaceText(kEPS, interpreter); // loads the stand-in, which then takes its orders
            if (c.plant)
                c.plant(PDFPath());
            SetOutputMode(c.mode);
            mDiscovery->calls = 0;
            mDiscovery->pdf.clear();
            mLog.Clear();
            Status status = -1;
            auto graphic = PlaceText(kEPS, interpreter, &status);
            SetOutputMode(FAKE::kWritePDF);
            EXPECT_EQ(status, c.status);
            const std::string& message =
                interpreter && !c.interpreterMessage.empty() ? c.interpreterMessage : c.message;
            EXPECT_EQ(Logged(message), message.empty() ? 0u : 1u);
            EXPECT_EQ(mDiscovery->calls, c.status == kOK ? 1 : 0);
            EXPECT_EQ(mDiscovery->pdf, c.status == kOK ? FAKE::kPDFText : "");
            EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey) !=
                          nullptr,
                      c.status == kOK);
            EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 20);
            EXPECT_EQ(ReadFile(victim), victimText);
            EXPECT_EQ(fs::hard_link_count(victim), 1u);
            const bool folder = std::string(c.name) == "a folder";
            EXPECT_EQ(fs::symlink_status(PDFPath()).type(),
                      folder ? fs::file_type::directory : fs::file_type::not_found);
            std::error_code ignored;
            fs::remove(victim + ".missing", ignored);
            fs::remove(PDFPath(), ignored);
            EXPECT_TRUE(LeftFiles().empty());
        }
}

TEST_F(IntermediatePDFTest, AnotherUsersFileIsLeftAloneAndTheConversionRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "only the super-user can give a file to another user";
    std::ofstream(PDFPath()) << "theirs";
    ASSERT_EQ(::chown(PDFPath().c_str(), 65534, 65534), 0);
    Status status = -1;
    auto graphic = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, IntermediatePDF::kNoIntermediatePDF);
    EXPECT_EQ(
        Logged("The intermediate PDF path " + PDFPath() + " holds another user's file; it is not used."), 1u);
    EXPECT_EQ(ReadFile(PDFPath()), "theirs");
    EXPECT_EQ(mDiscovery->calls, 0);
}

TEST_F(IntermediatePDFTest, TheFileIsMadeExclusivelyForThisUserOnly) {
    // The file lives for the length of a conversion only: examined here between Prepare and Check.
    IntermediatePDF pdf(PDFPath(), "test");
    ASSERT_EQ(pdf.Prepare(), kOK);
    struct stat info {};
    ASSERT_EQ(::lstat(PDFPath().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(info.st_size, 0);
    EXPECT_EQ(pdf.Check(kOK), 7); // nothing written: refused and removed
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));

    {
        IntermediatePDF unchecked(PDFPath(), "test"); // a conversion that threw never gets to Check
        ASSERT_EQ(unchecked.Prepare(), kOK);
    }
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));
}

TEST_F(IntermediatePDFTest, WithoutATemporaryFolderNothingIsWrittenAtTheRoot) {
    Status loaded = -1;
    PlaceText(kEPS, false, &loaded); // loads the stand-in converter from the host's application folder
    ASSERT_EQ(loaded, kOK);
    auto host = [&] { // its private folder cannot be made
        ScopedEnv missing("TMPDIR", (mTemp.Path() / "missing").c_str());
        return HOST::Host::Create(HOST::HostOptions{kFakes, ""});
    }();
    mHost->UnpublishCoreRegistry();
    host->PublishAsCoreRegistry();
    const std::string root = "/" + std::to_string(syscall(SYS_gettid)) + "temp.pdf";
    Status status = -1;
    auto graphic = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, IntermediatePDF::kNoIntermediatePDF);
    EXPECT_EQ(Logged("No temporary folder for the intermediate PDF."), 1u);
    EXPECT_FALSE(std::filesystem::exists(root));
    host->UnpublishCoreRegistry();

    // Without a core registry the folder of the factory handed to Init serves.
    EXPECT_EQ(IntermediatePDFPath(*mHost).GetUTF8String(), PDFPath());
    status = -1;
    auto placed = PlaceText(kEPS, false, &status);
    EXPECT_EQ(status, kOK);
    mHost->PublishAsCoreRegistry();
}
