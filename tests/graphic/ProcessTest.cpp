// The conversion paths with stand-in wrappers and a stand-in discovery service whose PDF graphic reports a
// chosen user-space size, so the bounding-box checks and the keys can be driven exactly.
#include "ImportFixture.h"

#include "JawsEntryPoints.h"
#include "LibUtils.h"
#include "brask/FilterKeys.h"

#include <sstream>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::GraphicPtr;
using BRASK::TEST::LogCapture;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes BigEndian(std::uint32_t v, int bytes) {
    Bytes b;
    for (int i = bytes - 1; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes Pascal(const std::string& s) {
    return Bytes{static_cast<std::uint8_t>(s.size())} + Bytes(s.begin(), s.end());
}
// One 8BIM resource: signature, id, Pascal name padded to even, size, data padded to even.
Bytes Resource(std::uint16_t id, const std::string& name, const Bytes& data) {
    Bytes b = Bytes{'8', 'B', 'I', 'M'} + BigEndian(id, 2) + Pascal(name);
    if (b.size() % 2 != 0)
        b.push_back(0);
    b = b + BigEndian(static_cast<std::uint32_t>(data.size()), 4) + data;
    if (data.size() % 2 != 0)
        b.push_back(0);
    return b;
}
// A closed triangle as path records: a subpath of three knots, each point vertical then horizontal (8.24).
Bytes Triangle() {
    Bytes b = BigEndian(0, 2) + BigEndian(3, 2) + Bytes(22, 0);
    for (const auto& [v, h] : {std::pair{0.25, 0.5}, {0.75, 0.25}, {0.75, 0.875}}) {
        b = b + BigEndian(1, 2);
        for (int point = 0; point < 3; ++point)
            b = b + BigEndian(static_cast<std::uint32_t>(v * (1 << 24)), 4) +
                BigEndian(static_cast<std::uint32_t>(h * (1 << 24)), 4);
    }
    return b;
}
// A Photoshop section whose clipping path (2999) names the triangle.
std::string PhotoshopSection() {
    const Bytes block =
        Resource(2000, "Clip", Triangle()) + Resource(2999, "", Pascal("Clip") + BigEndian(0x10000, 4));
    std::ostringstream text;
    text << "%BeginPhotoshop: " << block.size() << "\n";
    for (std::size_t i = 0; i < block.size(); ++i) {
        static const char* digits = "0123456789ABCDEF";
        text << (i % 32 == 0 ? (i == 0 ? "% " : "\n% ") : "") << digits[block[i] >> 4]
             << digits[block[i] & 15];
    }
    text << "\n%EndPhotoshop\n";
    return text.str();
}

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

Bytes BytesOf(const IDictionary& dictionary, std::int32_t key) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (dictionary.GetBytes(key, &data, &length) != kOK)
        return {};
    return Bytes(data, data + length);
}

using ImportPaths = BRASK::TEST::ImportFixture;

} // namespace

TEST_F(ImportPaths, EPSKeysAndTheConnectionSpace) {
    Status status = -1;
    LogCapture log;
    auto graphic = Place("0 0 100 80", 100, 80, &status);
    EXPECT_EQ(status, kOK);
    EXPECT_EQ(mDiscovery->lastType, GRAPHICS::kTypePDF);
    EXPECT_EQ(mDiscovery->pdf, FAKE::kPDFText); // what the converter wrote, nothing else
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kWidth), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kHeight), 80);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kLeft), 0);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kRight), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kBottom), 0);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kTop), 80);
    bool imported = false;
    EXPECT_EQ(Dictionary(*graphic).GetBool(FILTERKEY::kImported, imported), kOK);
    EXPECT_TRUE(imported);
    EXPECT_EQ(Dictionary(*graphic).GetType(FILTERKEY::kImported), IDictionary::kBool);
    EXPECT_NE(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
    // The intermediate PDF is gone once the host has read it.
    EXPECT_TRUE(LeftFiles().empty());
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
}

TEST_F(ImportPaths, FilterKeysCarryThePicturesValuesOnBothPaths) {
    const std::string featured =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n%%CyanPlate: pic.C\n%DuotoneInks: x\n"
        "%VectorMaskedImagery\n%ImageData: 200 100 8 3 0 200 1 \"beginimage\"\n"
        "%%BeginICCProfile: (x) -1 Hex\n% 0A0B0C0D\n%%EndICCProfile\n" +
        PhotoshopSection() + "%%EndComments\nshowpage\n%%EOF\n";
    const std::string plain =
        "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n%%RGBProcessColor: 1 0 0\n%%EndComments\n"
        "showpage\n%%EOF\n";
    struct Case {
        const char* name;
        const std::string& text;
        bool interpreter;
        std::vector<int> interpreterSpaces; // what the stand-in interpreter reports
        Bytes profile, flags, spaces;       // the ICC profile, the four flags, the colour spaces
        std::string clip;
    };
    const Case cases[] = {
        {"featured, converter",
         featured,
         false,
         {},
         {10, 11, 12, 13},
         {1, 1, 1, 1},
         {5},
         "closed: 100,25 50,75 175,75"},
        {"featured, interpreter",
         featured,
         true,
         {0, 2},
         {10, 11, 12, 13},
         {1, 1, 1, 1},
         {5, 8},
         "closed: 100,25 50,75 175,75"},
        {"plain, converter", plain, false, {}, {}, {0, 0, 0, 0}, {4}, "none"},
        {"plain, interpreter", plain, true, {1}, {}, {0, 0, 0, 0}, {4}, "none"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.interpreter) {
            ASSERT_TRUE(PLUGIN::LoadJawsLibrary(PLUGIN::JawsLibraryLoaded(), mHost.Get()));
            Fake<void (*)(const int*, int)>("/libBraskPDF.so", "fake_set_colorspaces")(
                c.interpreterSpaces.data(), static_cast<int>(c.interpreterSpaces.size()));
        }
        Status status = -1;
        auto graphic = PlaceText(c.text, c.interpreter, &status);
        ASSERT_EQ(status, kOK);
        const IDictionary& keys = Dictionary(*graphic);
        EXPECT_EQ(BytesOf(keys, FILTERKEY::kICCProfile), c.profile);
        EXPECT_EQ(keys.GetType(FILTERKEY::kICCProfile),
                  c.profile.empty() ? IDictionary::kNone : IDictionary::kBytes);
        Bytes flags;
        for (std::int32_t key :
             {FILTERKEY::kDuotone, FILTERKEY::kImageResolution, FILTERKEY::kVectorMasked, FILTERKEY::kDCS}) {
            std::uint8_t value = 0xEE;
            EXPECT_EQ(keys.GetUInt8(key, value), kOK);
            flags.push_back(value);
        }
        EXPECT_EQ(flags, c.flags);
        std::uint16_t count = 0;
        EXPECT_EQ(keys.GetUInt16(FILTERKEY::kColorSpaceCount, count), kOK);
        EXPECT_EQ(count, c.spaces.size());
        EXPECT_EQ(BytesOf(keys, FILTERKEY::kColorSpaces), c.spaces);
        EXPECT_EQ(Anchors(FindAttached<GRAPHICS::IPathCollection>(*graphic, CLSID::ClippingPathKey)), c.clip);
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

TEST_F(ImportPaths, BoundingBoxWinsOverADifferentUserSpaceSize) {
    LogCapture log;
    auto graphic = Place("0 0 100 80", 50, 80);
    EXPECT_EQ(log.WithMessage("EPS BoundingBox width, user space width does not match").size(), 1u);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox height, user space height does not match").empty());
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kWidth), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kHeight), 80);
    EXPECT_FLOAT_EQ(Key(*graphic, FILTERKEY::kRight), 100);

    log.Clear();
    auto narrow = Place("10 0 12 80", 50, 80);
    EXPECT_FLOAT_EQ(Key(*narrow, FILTERKEY::kRight), 13);
    EXPECT_FLOAT_EQ(Key(*narrow, FILTERKEY::kWidth), 3);
    auto low = Place("0 5 100 6.5", 100, 40);
    EXPECT_FLOAT_EQ(Key(*low, FILTERKEY::kTop), 8);
    EXPECT_FLOAT_EQ(Key(*low, FILTERKEY::kHeight), 3);

    log.Clear();
    auto zero = Place("10 0 10 80", 50, 80);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
    EXPECT_FLOAT_EQ(Key(*zero, FILTERKEY::kWidth), 50);
    auto close = Place("0 0 200 80", 200.5f, 80);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
    EXPECT_FLOAT_EQ(Key(*close, FILTERKEY::kWidth), 200.5f);
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
    std::ifstream in(copy, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}),
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
    const auto u32 = [](const std::string& bytes, std::size_t at) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = v << 8 | static_cast<std::uint8_t>(bytes[at + static_cast<std::size_t>(i)]);
        return v;
    };
    struct Case {
        const char* name;
        bool previewFirst, wmf;
    };
    for (const Case& c : {Case{"TIFF preview behind", false, false}, Case{"WMF preview behind", false, true},
                          Case{"TIFF preview in front", true, false}}) {
        SCOPED_TRACE(c.name);
        // Header: magic, PostScript offset and length, WMF offset and length, TIFF offset and length,
        // checksum.
        const std::uint32_t psOffset = c.previewFirst ? 30 + 40 : 30;
        const std::uint32_t previewOffset =
            c.previewFirst ? 30 : 30 + static_cast<std::uint32_t>(postScript.size());
        const std::uint32_t fields[] = {0xC6D3D0C5u,
                                        psOffset,
                                        static_cast<std::uint32_t>(postScript.size()),
                                        c.wmf ? previewOffset : 0,
                                        c.wmf ? 40u : 0,
                                        c.wmf ? 0 : previewOffset,
                                        c.wmf ? 0 : 40u};
        std::string file;
        for (std::uint32_t v : fields)
            for (int i = 0; i < 4; ++i)
                file += static_cast<char>(v >> (8 * i));
        std::uint8_t sum = 0;
        for (char b : file)
            sum ^= static_cast<std::uint8_t>(b);
        file += static_cast<char>(sum);
        file += '\0';
        file += c.previewFirst ? preview + postScript : postScript + preview;

        Status status = -1;
        auto graphic = PlaceText(file, false, &status, "binary.ai");
        EXPECT_EQ(status, kOK);
        ASSERT_TRUE(graphic->GetTempFile());
        std::ifstream in(graphic->GetTempFile()->GetPath(true).GetUTF8String(), std::ios::binary);
        const std::string copy(std::istreambuf_iterator<char>(in), {});
        ASSERT_EQ(copy.size(), file.size() + 10);
        const std::uint32_t movedPreview = c.previewFirst ? previewOffset : previewOffset + 10;
        EXPECT_EQ(u32(copy, 0), 0xC6D3D0C5u);
        EXPECT_EQ(u32(copy, 4), psOffset);
        EXPECT_EQ(u32(copy, 8), postScript.size() + 10);
        EXPECT_EQ(u32(copy, 12), c.wmf ? movedPreview : 0u);
        EXPECT_EQ(u32(copy, 16), c.wmf ? 40u : 0u);
        EXPECT_EQ(u32(copy, 20), c.wmf ? 0u : movedPreview);
        EXPECT_EQ(u32(copy, 24), c.wmf ? 0u : 40u);
        EXPECT_EQ(static_cast<std::uint8_t>(copy[28]), 0xFF);
        EXPECT_EQ(static_cast<std::uint8_t>(copy[29]), 0xFF);
        EXPECT_EQ(copy.substr(psOffset, marked.size()), marked); // the section keeps its last bytes
        EXPECT_EQ(copy.substr(movedPreview, 40), preview);
    }
}
