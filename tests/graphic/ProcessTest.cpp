// The conversion paths with stand-in wrappers and a stand-in discovery service whose PDF graphic reports a
// chosen user-space size, so the bounding-box checks and the keys can be driven exactly.
#include "GraphicFixture.h"

#include "JawsEntryPoints.h"
#include "brask/FilterKeys.h"

#include <sstream>
#include <tuple>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::GraphicPtr;
using BRASK::TEST::LogCapture;

namespace {

using Bytes = std::vector<std::uint8_t>;

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

using ImportPaths = BRASK::TEST::ImportFixture;

} // namespace

// The box against the user-space size of the PDF graphic: the box wins (a difference of more than a point is
// logged, and a box thinner than 3 points is then widened to 3); an empty one gives way to the user space.
TEST_F(ImportPaths, BoxKeysImportedFlagAndTheConnectionSpace) {
    using namespace FILTERKEY;
    struct Case {
        const char* box;
        float userWidth, userHeight;
        std::size_t widthLogged, heightLogged; // how often each mismatch is logged
        std::vector<std::pair<std::int32_t, float>> keys;
    };
    const Case cases[] = {
        {"0 0 100 80",
         100,
         80,
         0,
         0,
         {{kWidth, 100}, {kHeight, 80}, {kLeft, 0}, {kRight, 100}, {kBottom, 0}, {kTop, 80}}},
        {"0 0 100 80", 50, 80, 1, 0, {{kWidth, 100}, {kHeight, 80}, {kRight, 100}}},
        {"10 0 12 80", 50, 80, 1, 0, {{kRight, 13}, {kWidth, 3}}},
        {"0 5 100 6.5", 100, 40, 0, 1, {{kTop, 8}, {kHeight, 3}}},
        {"10 0 10 80", 50, 80, 0, 0, {{kWidth, 50}}},
        {"0 0 200 80", 200.5f, 80, 0, 0, {{kWidth, 200.5f}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.box) + " against " + std::to_string(c.userWidth));
        LogCapture log;
        Status status = -1;
        auto graphic = Place(c.box, c.userWidth, c.userHeight, &status);
        EXPECT_EQ(status, kOK);
        EXPECT_EQ(mDiscovery->lastType, GRAPHICS::kTypePDF);
        EXPECT_EQ(mDiscovery->pdf, FAKE::kPDFText); // what the converter wrote, nothing else
        for (const auto& [key, value] : c.keys)
            EXPECT_FLOAT_EQ(Key(*graphic, key), value) << key;
        EXPECT_EQ(log.WithMessage("EPS BoundingBox width, user space width does not match").size(),
                  c.widthLogged);
        EXPECT_EQ(log.WithMessage("EPS BoundingBox height, user space height does not match").size(),
                  c.heightLogged);
        bool imported = false;
        EXPECT_EQ(Dictionary(*graphic).GetBool(kImported, imported), kOK);
        EXPECT_TRUE(imported);
        EXPECT_EQ(Dictionary(*graphic).GetType(kImported), IDictionary::kBool);
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
    struct Case {
        bool interpreter;
        std::vector<int> interpreterSpaces; // what the stand-in interpreter reports
        Bytes spaces;
    };
    for (const Case& c : {Case{false, {}, {5}}, Case{true, {0, 2}, {5, 8}}}) {
        SCOPED_TRACE(c.interpreter ? "interpreter" : "converter");
        if (c.interpreter) {
            ASSERT_TRUE(PLUGIN::LoadJawsLibrary(PLUGIN::JawsLibraryLoaded(), mHost.Get()));
            Fake<void (*)(const int*, int)>("/libBraskPDF.so", "fake_set_colorspaces")(
                c.interpreterSpaces.data(), static_cast<int>(c.interpreterSpaces.size()));
        }
        Status status = -1;
        auto graphic = PlaceText(featured, c.interpreter, &status);
        ASSERT_EQ(status, kOK);
        const IDictionary& keys = Dictionary(*graphic);
        EXPECT_EQ(BRASK::TEST::BytesAt(keys, FILTERKEY::kICCProfile), (Bytes{10, 11, 12, 13}));
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
        EXPECT_EQ(count, c.spaces.size());
        EXPECT_EQ(BRASK::TEST::BytesAt(keys, FILTERKEY::kColorSpaces), c.spaces);
        EXPECT_EQ(Anchors(FindAttached<GRAPHICS::IPathCollection>(*graphic, CLSID::ClippingPathKey)),
                  "closed: 100,25 50,75 175,75");
    }
}

TEST_F(ImportPaths, ProcessorFlagOptionSetsTheConverterResolution) {
    const std::string eps = "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\nshowpage\n";
    auto source = FileSource(WriteFile("flag.eps", eps));
    struct Case {
        int option; // -1 absent, else the Boolean's value
        const char* resolution;
    };
    for (const Case& c :
         {Case{-1, "[2400.00 2400.00]"}, Case{1, "[2400.00 2400.00]"}, Case{0, "[288.00 288.00]"}}) {
        auto options = Options(false);
        if (c.option >= 0)
            options->SetBool(OPTIONKEY::kProcessorFlag, c.option == 1);
        GraphicPtr graphic = NewGraphic();
        ASSERT_EQ(graphic->Init(*mHost, *source, options.Get()), kOK);
        EXPECT_NE(JobText().find(std::string("/HWResolution ") + c.resolution + "\n"), std::string::npos)
            << c.option << ": " << JobText();
    }
}

TEST_F(ImportPaths, HostFailureIsReturnedAndTheBoxStillWritten) {
    mDiscovery->status = 42;
    Status status = 0;
    LogCapture log;
    auto graphic = Place("0 0 30 40", 0, 0, &status);
    EXPECT_EQ(status, 42);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 40);
    EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
    EXPECT_FALSE(log.WithMessage("Composite graphics is not initialized for excel graphics item.").empty());
    EXPECT_TRUE(LeftFiles().empty());
}

TEST_F(ImportPaths, SVGWritesOnlyTheSizeAndTheImportedFlag) {
    mDiscovery->width = 120;
    mDiscovery->height = 90;
    const std::string path =
        WriteFile("icon.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='160' height='120'/>");
    auto source = FileSource(path);
    auto options = Options(false);
    options->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
    GraphicPtr graphic = NewGraphic();
    EXPECT_EQ(graphic->Init(*mHost, *source, options.Get()), kOK);
    EXPECT_EQ(mDiscovery->pdf, FAKE::kPDFText);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kWidth), 120);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kHeight), 90);
    for (std::int32_t key = FILTERKEY::kLeft; key <= FILTERKEY::kDCS; ++key)
        EXPECT_EQ(Dictionary(*graphic).GetType(key), IDictionary::kNone) << key;
    EXPECT_EQ(Dictionary(*graphic).GetKeyCount(), 7u); // the four format keys, the size, imported

    mDiscovery->status = 9;
    GraphicPtr failed = NewGraphic();
    LogCapture log;
    EXPECT_EQ(failed->Init(*mHost, *source, options.Get()), 9);
    EXPECT_FALSE(std::filesystem::exists(PDFPath()));
    EXPECT_EQ(log.WithMessage("Failed to create the intermediate PDF composite graphic").size(), 1u);
    bool imported = false;
    EXPECT_EQ(Dictionary(*failed).GetBool(FILTERKEY::kImported, imported), kOK);
}

TEST_F(ImportPaths, IllustratorFileWithoutMarkerIsRepairedFromACopy) {
    const std::string text = "%!PS-Adobe-3.0\r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n";
    LogCapture log;
    Status status = -1;
    auto graphic = PlaceText(text, false, &status, "drawing.Ai");
    EXPECT_EQ(status, kOK);
    const std::string path = (mAppDir.Path() / "drawing.Ai").string();
    const auto records = log.WithMessage(path + " File does not contains EPSF- string in the header");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(records[0].level, 2);
    // The picture is read from the repaired copy: the marker sits before the first line's end.
    ASSERT_TRUE(graphic->GetTempFile());
    const std::string copy = graphic->GetTempFile()->GetPath(true).GetUTF8String();
    EXPECT_EQ(BRASK::TEST::ReadFile(copy),
              "%!PS-Adobe-3.0 EPSF-3.0 \r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n");
    EXPECT_EQ(graphic->GetSourceURI()->GetPath(), graphic->GetTempFile()->GetPath(true));
    EXPECT_EQ(std::string(Fake<const char* (*)()>("/PDFToolBox/libCallasWrapper.so", "fake_source")()), copy);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 60);

    log.Clear();
    auto plain = PlaceText(text, false, &status, "drawing.eps");
    const std::string eps = (mAppDir.Path() / "drawing.eps").string();
    const auto logged = log.WithMessage(eps + " File does not contains EPSF- string in the header");
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
        const char* name;
        bool previewFirst, wmf;
    };
    for (const Case& c : {Case{"TIFF preview behind", false, false}, Case{"WMF preview behind", false, true},
                          Case{"TIFF preview in front", true, false}}) {
        SCOPED_TRACE(c.name);
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
        const std::string copy = BRASK::TEST::ReadFile(graphic->GetTempFile()->GetPath(true).GetUTF8String());
        ASSERT_EQ(copy.size(), file.size() + 10);
        const std::uint32_t movedPreview = c.previewFirst ? previewOffset : previewOffset + 10;
        EXPECT_EQ(copy.substr(0, 30), header(ps + 10, movedPreview) + "\xFF\xFF"); // checksum: none
        EXPECT_EQ(copy.substr(psOffset, marked.size()), marked); // the section keeps its last bytes
        EXPECT_EQ(copy.substr(movedPreview, 40), preview);
    }
}
