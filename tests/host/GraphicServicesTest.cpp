// The interface discovery service (PDF composite graphics through qpdf, their dictionary, connection space
// and tile adaptation), and the Photoshop resource parser on resources built byte by byte (a real EPS's
// clipping path is placed by the integration tests).
#include "HostTestSupport.h"

#include <cmath>
#include <cstdio>
#include <sstream>

namespace BRASK::HOST::TEST {
namespace {

using GRAPHICS::ICompositeGraphic;
using GRAPHICS::IConnectionSpace;
using GRAPHICS::ITile;

const char kLogSource[] = "host/src/InterfaceDiscoveryService";
const char kLogFunction[] = "long __cdecl BRASK::HOST::InterfaceDiscoveryService::CreateCompositeGraphic("
                            "class BRASK::IClassFactory &,class BRASK::IO::IDataProvider &,"
                            "class BRASK::TInterfacePtr<class BRASK::GRAPHICS::ICompositeGraphic> &,"
                            "unsigned int,const class BRASK::IDictionary *)";

// A one-page PDF with a correct cross-reference table; `pageExtra` goes into the page dictionary,
// `pagesExtra` into the page tree's root (for inherited attributes).
std::string MakePdf(const std::string& pageExtra, const std::string& pagesExtra = "") {
    const std::string objects[] = {
        "<< /Type /Catalog /Pages 2 0 R >>", "<< /Type /Pages /Kids [3 0 R] /Count 1 " + pagesExtra + " >>",
        "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << >> " + pageExtra + " >>",
        "<< /Length 15 >>\nstream\n0 0 m 10 10 l S\nendstream"};
    std::string pdf = "%PDF-1.4\n", xref = "xref\n0 5\n0000000000 65535 f \n";
    for (int i = 0; i < 4; ++i) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", pdf.size());
        xref += line;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    return pdf + xref + "trailer\n<< /Size 5 /Root 1 0 R >>\nstartxref\n" + std::to_string(pdf.size()) +
           "\n%%EOF\n";
}

class DiscoveryServiceTest : public HostTest {
protected:
    Status CreateFrom(IO::IDataProvider& data, TInterfacePtr<ICompositeGraphic>& graphic,
                      std::uint32_t type = GRAPHICS::kTypePDF) {
        auto environment = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
        auto* service =
            FindAttached<GRAPHICS::IInterfaceDiscoveryService>(*environment, CLSID::DiscoveryServiceKey);
        EXPECT_NE(service, nullptr);
        return service == nullptr ? -1
                                  : service->CreateCompositeGraphic(*mHost, data, graphic, type, nullptr);
    }
    TInterfacePtr<ICompositeGraphic> CreateFrom(const std::string& pdf) {
        auto provider = MemorySource(pdf);
        TInterfacePtr<ICompositeGraphic> graphic;
        EXPECT_EQ(CreateFrom(*provider, graphic), kOK);
        return graphic;
    }
    // Width and height (FILTERKEY::kWidth and kHeight, floats) of a graphic made from `pdf`.
    std::pair<float, float> SizeOf(const std::string& pdf) {
        auto graphic = CreateFrom(pdf);
        auto* dictionary = graphic ? FindAttached<IDictionary>(*graphic, IDictionary::IID) : nullptr;
        float width = -1, height = -1;
        EXPECT_TRUE(dictionary != nullptr && dictionary->GetType(FILTERKEY::kWidth) == IDictionary::kFloat &&
                    dictionary->GetFloat(FILTERKEY::kWidth, width) == kOK &&
                    dictionary->GetFloat(FILTERKEY::kHeight, height) == kOK);
        return {width, height};
    }
};

TEST_F(DiscoveryServiceTest, PageSizeComesFromTheCropBoxElseTheMediaBoxAndFollowsRotation) {
    const std::tuple<std::string, std::string, float, float> cases[] = {
        {"/MediaBox [0 0 200 100]", "", 200, 100},
        {"/MediaBox [0 0 200 100] /CropBox [10 20 110 70]", "", 100, 50},
        {"/MediaBox [0 0 200 100] /Rotate 90", "", 100, 200},
        {"/MediaBox [0 0 200 100] /Rotate -90", "", 100, 200},
        {"/MediaBox [0 0 200 100] /Rotate 180", "", 200, 100},
        {"/MediaBox [0 0 200 100] /CropBox [10 20 110 70] /Rotate 450", "", 50, 100},
        {"/MediaBox [200 100 0 0]", "", 200, 100},                            // reversed corners
        {"/MediaBox [0 0 200 100] /CropBox [-50 -50 100 300]", "", 100, 100}, // crop box reaching outside
        {"", "/MediaBox [0 0 612 792] /Rotate 90", 792, 612},                 // inherited
        {"/MediaBox [0 0 595.276 841.89]", "", 595.276f, 841.89f},
    };
    for (const auto& [page, pages, width, height] : cases)
        EXPECT_EQ(SizeOf(MakePdf(page, pages)), std::make_pair(width, height)) << page << pages;
}

TEST_F(DiscoveryServiceTest, RefusedDataGivesNoGraphicAndOneLoggedReason) {
    std::string noPage = MakePdf("/MediaBox [0 0 10 10]");
    noPage.replace(noPage.find("/Kids [3 0 R] /Count 1"), 22, "/Kids [     ] /Count 0");
    const std::tuple<std::string, std::uint32_t, Status, std::string> cases[] = {
        {"this is not a PDF at all\n", GRAPHICS::kTypePDF, kEngineError, "qpdf could not open the PDF: "},
        {"", GRAPHICS::kTypePDF, kEngineError, "qpdf could not open the PDF: "},
        {noPage, GRAPHICS::kTypePDF, kMalformedData, "The PDF cannot be placed: the PDF has no page"},
        {MakePdf("/MediaBox [0 0 10 10]"), GRAPHICS::kTypeSVG, kUnsupported,
         "Unsupported composite graphic type " + std::to_string(GRAPHICS::kTypeSVG)},
    };
    for (const auto& [bytes, type, status, message] : cases) {
        LogCapture log;
        auto provider = MemorySource(bytes);
        TInterfacePtr<ICompositeGraphic> graphic;
        EXPECT_EQ(CreateFrom(*provider, graphic, type), status) << bytes;
        EXPECT_FALSE(graphic);
        ASSERT_EQ(log.Records().size(), 1u) << bytes;
        const LogRecord record = log.Records()[0];
        EXPECT_EQ(std::tie(record.type, record.level, record.file, record.function),
                  std::make_tuple(int{kLogTypeError}, int{kLogLevelError}, kLogSource, kLogFunction));
        EXPECT_EQ(record.MessageUTF8().rfind(message, 0), 0u) << record.MessageUTF8();
        if (status == kEngineError) { // qpdf's own reason follows
            EXPECT_GT(record.MessageUTF8().size(), message.size() + 5) << record.MessageUTF8();
        } else {
            EXPECT_EQ(record.MessageUTF8(), message);
        }
    }
}

TEST_F(DiscoveryServiceTest, PdfBytesOutliveTheDeletedFileAndReachTheTile) {
    LogCapture log; // the whole way succeeds quietly
    const std::string pdf = MakePdf("/MediaBox [0 0 300 150]");
    const std::string path = TempPath("1234temp.pdf");
    WriteFile(path, pdf);
    TInterfacePtr<ICompositeGraphic> graphic;
    {
        auto provider = FileSource(path);
        ASSERT_TRUE(provider);
        ASSERT_EQ(provider->SetPosition(17, IO::IDataProvider::kFromStart), kOK); // the service rewinds
        ASSERT_EQ(CreateFrom(*provider, graphic), kOK);
        EXPECT_EQ(graphic->Init(*mHost, *provider, nullptr), kMadeByDiscoveryOnly);
    }
    ASSERT_TRUE(std::filesystem::remove(path));

    auto* space = FindAttached<IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey);
    ASSERT_NE(space, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(space->GetPDFData()), space->GetPDFSize()), pdf);
    const GRAPHICS::Rect<float> box = space->GetPageBox();
    EXPECT_EQ(std::tuple(box.left, box.bottom, box.right, box.top), std::tuple(0, 0, 300, 150));

    auto tile = Make<ITile>(CLSID::Tile);
    EXPECT_EQ(graphic->AdaptTile(nullptr, nullptr), 3);
    EXPECT_EQ(graphic->AdaptTile(tile.Get(), nullptr), kOK); // the first tile is the source, not the output
    EXPECT_EQ(FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey), nullptr);
    EXPECT_EQ(graphic->AdaptTile(nullptr, tile.Get()), kOK);
    EXPECT_EQ(FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey), space);
    graphic.Reset();
    // The tile keeps the connection space alive on its own.
    EXPECT_EQ(FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey)->GetPDFSize(), pdf.size());
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(DiscoveryServiceTest, TileAdaptorChainFindsInterfacesDownTheChainAndRefusesCycles) {
    const std::string pdf = MakePdf("/MediaBox [0 0 10 10]");
    TInterfacePtr<ICompositeGraphic> a = CreateFrom(pdf), b = CreateFrom(pdf), c = CreateFrom(pdf);
    ASSERT_TRUE(a && b && c);
    const GUID onlyInC = MakeGuid(0x01020304, 0x0506, 0x0708, 0x090A, 0x0B0C0D0E0F10);
    auto marker = Make<IDictionary>(CLSID::PersistentDictionary);
    c->AttachInterface(marker.Get(), onlyInC);
    a->SetTileAdaptor(b.Get());
    b->SetTileAdaptor(c.Get());

    IObject* owner = nullptr;
    IObject* found = nullptr;
    EXPECT_TRUE(a->FindInterface(onlyInC, &owner, &found) == kOK && found == marker.Get() &&
                owner == c.Get());
    // From the owner found, the search goes on after it and finds nothing more.
    EXPECT_TRUE(a->FindInterfaceInTile(onlyInC, &owner, &found) == kNoInterface && found == nullptr);
    owner = nullptr;
    EXPECT_TRUE(a->FindInterfaceInTile(IDictionary::IID, &owner, &found) == kOK && owner == a.Get());
    // An identity object makes the adaptor answer for that interface itself.
    auto identity = Make<ITile>(CLSID::Tile);
    b->AttachInterface(identity.Get(), CLSID::AdaptorIdentityKey);
    EXPECT_TRUE(a->FindInterface(GRAPHICS::ITile::IID, &owner, &found) == kOK && found == b.Get());

    // c -> a or c -> c would close a loop (and leak all three); it is refused.
    for (ICompositeGraphic* loop : {a.Get(), c.Get()}) {
        c->SetTileAdaptor(loop);
        GRAPHICS::ITileAdaptor* next = reinterpret_cast<GRAPHICS::ITileAdaptor*>(0x1);
        c->GetTileAdaptor(&next);
        EXPECT_EQ(next, nullptr);
    }
    EXPECT_EQ(a->ForwardToTileAdaptor(nullptr, nullptr, nullptr), 0);
}

using GRAPHICS::IPathCollection;
using GRAPHICS::IPhotoShopResourceParser;
using Block = std::vector<std::uint8_t>;

Block operator+(Block a, const Block& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Block BigEndian(std::uint32_t v, int bytes) {
    Block b;
    for (int i = bytes - 1; i >= 0; --i)
        b.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    return b;
}
Block Pascal(const std::string& s) {
    return Block{static_cast<std::uint8_t>(s.size())} + Bytes(s);
}

// One 8BIM resource: signature, id, Pascal name padded to even, size, data padded to even.
Block Resource(std::uint16_t id, const std::string& name, const Block& data) {
    Block b = Bytes("8BIM") + BigEndian(id, 2) + Pascal(name);
    if (b.size() % 2 != 0)
        b.push_back(0);
    b = b + BigEndian(static_cast<std::uint32_t>(data.size()), 4) + data;
    if (data.size() % 2 != 0)
        b.push_back(0);
    return b;
}
// Resource 2999's data: the clipping path's name and a flatness.
Block ClipName(const std::string& name) {
    return Pascal(name) + BigEndian(0x00010000, 4);
}
// Path resource 2000 named `name` and a resource 2999 naming it.
Block Clipped(const std::string& name, const Block& path) {
    return Resource(2000, name, path) + Resource(2999, "", ClipName(name));
}
// A 26-byte path record: selector, then the knot count of a subpath length record (0 closed, 3 open), zeros.
Block Record(std::uint16_t selector, std::uint16_t knots = 0) {
    return BigEndian(selector, 2) + BigEndian(knots, 2) + Block(22, 0);
}
// A knot record: in, anchor and out points, each vertical then horizontal, as fractions in 8.24 fixed point.
Block Knot(std::uint16_t selector, std::initializer_list<double> fractions) {
    Block b = BigEndian(selector, 2);
    for (double v : fractions)
        b = b +
            BigEndian(static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * (1 << 24)))), 4);
    return b;
}
// A closed triangle with fill-rule records in front, as Photoshop writes it.
Block Triangle() {
    return Record(6) + Record(8) + Record(0, 3) + Knot(2, {0.25, 0.5, 0.25, 0.5, 0.25, 0.5}) +
           Knot(1, {0.75, 0.25, 0.75, 0.25, 0.75, 0.25}) + Knot(2, {0.75, 0.75, 0.75, 0.875, -0.5, 1.5});
}

class PhotoShopParserTest : public HostTest {
protected:
    // Parses `block` (or its first `length` bytes) through a host memory provider.
    TInterfacePtr<IPhotoShopResourceParser> Parse(const Block& block, float width, float height,
                                                  Status* status = nullptr,
                                                  std::uint32_t length = UINT32_MAX) {
        auto provider = MemorySource(std::string(block.begin(), block.end()));
        auto parser = Make<IPhotoShopResourceParser>(CLSID::PhotoShopResourceParser);
        const Status s = parser->Parse(
            provider.Get(), length == UINT32_MAX ? static_cast<std::uint32_t>(block.size()) : length, width,
            height);
        if (status != nullptr)
            *status = s;
        return parser;
    }
};

// Each subpath as "closed:" or "open:" followed by its anchors "x,y" in pixels.
std::string Anchors(const IPathCollection& path) {
    std::ostringstream out;
    for (std::uint32_t s = 0; s < path.GetSubpathCount(); ++s) {
        out << (s == 0 ? "" : " ") << (path.IsSubpathClosed(s) ? "closed:" : "open:");
        for (std::uint32_t k = 0; k < path.GetKnotCount(s); ++k)
            out << " " << path.GetKnot(s, k).anchor.x << "," << path.GetKnot(s, k).anchor.y;
    }
    return out.str();
}

TEST_F(PhotoShopParserTest, TheNamedPathIsChosenAmongSeveralAndLengthRecordsBoundTheKnots) {
    // A fill-rule record first; points as fractions of the picture, control points outside it.
    const Block open = Record(6) + Record(3, 2) + Knot(4, {0.25, 0.75, 0.5, 0.5, -0.5, 1.5}) +
                       Knot(5, {0, 0, 1.0, 1.0, 0, 0}) + Record(0, 1) + Knot(1, {0, 0, 0.125, 0.25, 0, 0});
    // Names of odd and even padded length on either side.
    auto parser = Parse(Resource(2000, "Path A", Triangle()) + Resource(2001, "Second", open) +
                            Resource(2999, "", ClipName("Second")) + Resource(1036, "x", Block(5, 7)),
                        40, 20);
    const IPathCollection* path = parser->GetClippingPath();
    ASSERT_NE(path, nullptr);
    // x = horizontal × width, y = vertical × height.
    EXPECT_EQ(Anchors(*path), "open: 20,10 40,20 closed: 10,2.5");
    const GRAPHICS::PathKnot first = path->GetKnot(0, 0);
    EXPECT_EQ(std::tuple(first.in.x, first.in.y, first.out.x, first.out.y), std::tuple(30, 5, 60, -10));
    // Out-of-range questions answer nothing.
    EXPECT_EQ(std::tuple(path->IsSubpathClosed(2), path->GetKnotCount(2), path->GetKnot(0, 2).anchor.x,
                         path->GetKnot(5, 0).anchor.x),
              std::tuple(false, 0u, 0, 0));

    Block lying =
        Knot(1, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5}) + Record(0, 2); // a knot before any subpath: ignored
    for (int i = 0; i < 4; ++i)
        lying = lying + Knot(1, {0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i});
    lying =
        lying + Record(3, 9) + Knot(4, {0, 0, 1, 1, 0, 0}) + Block(13, 0xEE); // claims more; partial record
    parser = Parse(Clipped("P", lying), 100, 100);
    ASSERT_NE(parser->GetClippingPath(), nullptr);
    EXPECT_EQ(Anchors(*parser->GetClippingPath()), "closed: 0,0 10,10 open: 100,100");
}

TEST_F(PhotoShopParserTest, MissingPathsGiveNoneLyingLengthsOrSignaturesStopTheParseAndCutsReadNoFurther) {
    const Block good = Clipped("Clip", Triangle());
    Block lying = Resource(2000, "Clip", Triangle()), foreign = Resource(1000, "", Block(4, 0)),
          badName = ClipName("Clip");
    lying[12] = 0x7F; // a size running past the end of the data
    foreign[0] = 'X';
    badName[0] = 200; // a name longer than its resource
    struct Case {
        const char* what;
        Block block;
        Status status;
        bool found;
        std::uint32_t length = UINT32_MAX;
    };
    const Case cases[] = {
        {"paths but no 2999", Resource(2000, "Clip", Triangle()), kOK, false},
        {"2999 naming a missing path", Resource(2000, "Clip", Triangle()) + Resource(2999, "", ClipName("O")),
         kOK, false},
        {"path outside 2000-2997", Resource(2998, "Clip", Triangle()) + Resource(2999, "", ClipName("Clip")),
         kOK, false},
        {"named path without knots", Clipped("Clip", Record(0, 0)), kOK, false},
        {"nothing at all", Block{}, kOK, false},
        {"2999 name longer than its data", Resource(2000, "Clip", Triangle()) + Resource(2999, "", badName),
         kOK, false},
        {"lying size", Resource(2999, "", ClipName("Clip")) + lying, kMalformedData, false},
        {"foreign signature after good resources", good + foreign, kMalformedData, true},
        {"length beyond the provider", good, kMalformedData, true, 1u << 30},
        {"length hiding the last resource", good, kMalformedData, false,
         static_cast<std::uint32_t>(good.size() - 10)},
    };
    for (const Case& c : cases) {
        Status status = -1;
        auto parser = Parse(c.block, 100, 100, &status, c.length);
        EXPECT_EQ(status, c.status) << c.what;
        EXPECT_EQ(parser->GetClippingPath() != nullptr, c.found) << c.what;
    }
    const Block first = Resource(1005, "", Block(16, 1)), second = Resource(2000, "Clip", Triangle());
    const Block block = first + second + Resource(2999, "", ClipName("Clip")); // ends with a pad byte
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        // An exact-size copy, so that any read beyond it is caught by the sanitizers.
        const Block part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
        Status status = -1;
        auto parser = Parse(part, 100, 100, &status);
        const bool wholeResources = cut == 0 || cut == first.size() || cut == first.size() + second.size();
        const bool padMissing = cut == block.size() - 1; // every resource is whole
        EXPECT_EQ(status, wholeResources || padMissing ? kOK : kMalformedData) << cut;
        EXPECT_EQ(parser->GetClippingPath() != nullptr, padMissing) << cut; // 2999 comes last
    }
}

TEST_F(PhotoShopParserTest, BadArgumentsAndReparsingDropEarlierResults) {
    const Block good = Clipped("Clip", Triangle());
    auto provider = MemorySource(std::string(good.begin(), good.end()));
    auto parser = Make<IPhotoShopResourceParser>(CLSID::PhotoShopResourceParser);
    const auto parse = [&](float width, float height) {
        EXPECT_EQ(provider->SetPosition(0, IO::IDataProvider::kFromStart), kOK);
        return parser->Parse(provider.Get(), static_cast<std::uint32_t>(good.size()), width, height);
    };
    ASSERT_EQ(parse(10, 10), kOK);
    EXPECT_EQ(parser->Parse(nullptr, 10, 10, 10), kBadArgument);
    EXPECT_EQ(parser->GetClippingPath(), nullptr);
    for (float bad : {0.0f, -5.0f, NAN, INFINITY}) {
        for (const auto& [width, height] : {std::pair{bad, 10.0f}, std::pair{10.0f, bad}}) {
            ASSERT_TRUE(parse(10, 10) == kOK && parser->GetClippingPath() != nullptr);
            EXPECT_EQ(parse(width, height), kBadArgument) << width << " x " << height;
            EXPECT_EQ(parser->GetClippingPath(), nullptr) << width << " x " << height;
        }
    }
    ASSERT_EQ(parse(10, 10), kOK);
    TInterfacePtr<IPathCollection> kept(parser->GetClippingPath()); // outlives the parser
    parser.Reset();
    EXPECT_EQ(kept->GetKnotCount(0), 3u);
}

} // namespace
} // namespace BRASK::HOST::TEST
