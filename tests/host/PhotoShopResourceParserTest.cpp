// The Photoshop resource parser on resources built byte by byte and on real EPS files.
#include "HostTestSupport.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace BRASK::HOST::TEST {
namespace {

using GRAPHICS::IPathCollection;
using GRAPHICS::IPhotoShopResourceParser;
using Block = std::vector<std::uint8_t>;

void PutU16(Block& b, std::uint16_t v) {
    b.push_back(static_cast<std::uint8_t>(v >> 8));
    b.push_back(static_cast<std::uint8_t>(v));
}
void PutU32(Block& b, std::uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8)
        b.push_back(static_cast<std::uint8_t>(v >> shift));
}
void PutPascal(Block& b, const std::string& s) {
    b.push_back(static_cast<std::uint8_t>(s.size()));
    b.insert(b.end(), s.begin(), s.end());
}

// One 8BIM resource: signature, id, Pascal name padded to even, size, data padded to even.
Block Resource(std::uint16_t id, const std::string& name, const Block& data) {
    Block b = Bytes("8BIM");
    PutU16(b, id);
    PutPascal(b, name);
    if ((1 + name.size()) % 2 != 0)
        b.push_back(0);
    PutU32(b, static_cast<std::uint32_t>(data.size()));
    b.insert(b.end(), data.begin(), data.end());
    if (data.size() % 2 != 0)
        b.push_back(0);
    return b;
}

// Resource 2999's data: the clipping path's name and a flatness.
Block ClipName(const std::string& name) {
    Block b;
    PutPascal(b, name);
    PutU32(b, 0x00010000);
    return b;
}

std::uint32_t Fixed(double v) {
    return static_cast<std::uint32_t>(static_cast<std::int32_t>(std::lround(v * (1 << 24))));
}

// A 26-byte subpath length record (selector 0 closed, 3 open).
void LengthRecord(Block& b, std::uint16_t selector, std::uint16_t knots) {
    PutU16(b, selector);
    PutU16(b, knots);
    b.insert(b.end(), 22, 0);
}

struct Knot {
    double inV, inH, anchorV, anchorH, outV, outH;
};

void KnotRecord(Block& b, std::uint16_t selector, const Knot& k) {
    PutU16(b, selector);
    for (double v : {k.inV, k.inH, k.anchorV, k.anchorH, k.outV, k.outH})
        PutU32(b, Fixed(v));
}

void OtherRecord(Block& b, std::uint16_t selector) {
    PutU16(b, selector);
    b.insert(b.end(), 24, 0);
}

// A closed triangle with fill-rule records in front, as Photoshop writes it.
Block TrianglePath() {
    Block b;
    OtherRecord(b, 6);
    OtherRecord(b, 8);
    LengthRecord(b, 0, 3);
    KnotRecord(b, 2, {0.25, 0.5, 0.25, 0.5, 0.25, 0.5});
    KnotRecord(b, 1, {0.75, 0.25, 0.75, 0.25, 0.75, 0.25});
    KnotRecord(b, 2, {0.75, 0.75, 0.75, 0.875, -0.5, 1.5});
    return b;
}

Block Concat(std::initializer_list<Block> parts) {
    Block all;
    for (const Block& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

class PhotoShopParserTest : public HostTest {
protected:
    // Parses `block` through a host memory provider; the status goes to `status`.
    TInterfacePtr<IPhotoShopResourceParser> Parse(const Block& block, float width, float height,
                                                  Status* status = nullptr,
                                                  std::uint32_t length = UINT32_MAX) {
        auto provider = MemoryProvider(block);
        auto parser = Make<IPhotoShopResourceParser>(CLSID::PhotoShopResourceParser);
        const Status s = parser->Parse(
            provider.Get(), length == UINT32_MAX ? static_cast<std::uint32_t>(block.size()) : length, width,
            height);
        if (status != nullptr)
            *status = s;
        return parser;
    }
};

TEST_F(PhotoShopParserTest, ClippingPathIsDecodedIntoPixels) {
    const Block block = Concat({Resource(1005, "", Block(16, 1)), Resource(2000, "Clip", TrianglePath()),
                                Resource(2999, "", ClipName("Clip"))});
    Status status = -1;
    auto parser = Parse(block, 200, 100, &status);
    EXPECT_EQ(status, kOK);
    IPathCollection* path = parser->GetClippingPath();
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(path->GetSubpathCount(), 1u);
    EXPECT_TRUE(path->IsSubpathClosed(0));
    ASSERT_EQ(path->GetKnotCount(0), 3u);
    // x = horizontal × width, y = vertical × height.
    EXPECT_FLOAT_EQ(path->GetKnot(0, 0).anchor.x, 100.0f);
    EXPECT_FLOAT_EQ(path->GetKnot(0, 0).anchor.y, 25.0f);
    EXPECT_FLOAT_EQ(path->GetKnot(0, 1).anchor.x, 50.0f);
    EXPECT_FLOAT_EQ(path->GetKnot(0, 1).anchor.y, 75.0f);
    const GRAPHICS::PathKnot last = path->GetKnot(0, 2);
    EXPECT_FLOAT_EQ(last.in.x, 150.0f);
    EXPECT_FLOAT_EQ(last.in.y, 75.0f);
    EXPECT_FLOAT_EQ(last.anchor.x, 175.0f);
    EXPECT_FLOAT_EQ(last.out.x, 300.0f); // control points may leave the image
    EXPECT_FLOAT_EQ(last.out.y, -50.0f);
    // Out-of-range questions answer nothing.
    EXPECT_FALSE(path->IsSubpathClosed(1));
    EXPECT_EQ(path->GetKnotCount(1), 0u);
    EXPECT_EQ(path->GetKnot(0, 3).anchor.x, 0.0f);
    EXPECT_EQ(path->GetKnot(5, 0).anchor.x, 0.0f);
}

TEST_F(PhotoShopParserTest, TheNamedPathIsChosenAmongSeveral) {
    Block open;
    LengthRecord(open, 3, 2);
    KnotRecord(open, 4, {0, 0, 0.5, 0.5, 0, 0});
    KnotRecord(open, 5, {0, 0, 1.0, 1.0, 0, 0});
    LengthRecord(open, 0, 1);
    KnotRecord(open, 1, {0, 0, 0.125, 0.25, 0, 0});
    // Names of odd and even padded length on either side.
    const Block block = Concat({Resource(2000, "Path A", TrianglePath()), Resource(2001, "Second", open),
                                Resource(2999, "", ClipName("Second")), Resource(1036, "x", Block(5, 7))});
    auto parser = Parse(block, 40, 20);
    IPathCollection* path = parser->GetClippingPath();
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(path->GetSubpathCount(), 2u);
    EXPECT_FALSE(path->IsSubpathClosed(0));
    EXPECT_EQ(path->GetKnotCount(0), 2u);
    EXPECT_FLOAT_EQ(path->GetKnot(0, 1).anchor.x, 40.0f);
    EXPECT_FLOAT_EQ(path->GetKnot(0, 1).anchor.y, 20.0f);
    EXPECT_TRUE(path->IsSubpathClosed(1));
    EXPECT_FLOAT_EQ(path->GetKnot(1, 0).anchor.x, 10.0f);
    EXPECT_FLOAT_EQ(path->GetKnot(1, 0).anchor.y, 2.5f);
}

TEST_F(PhotoShopParserTest, NoClippingPathGivesNull) {
    Status status = -1;
    // Paths but no 2999.
    EXPECT_EQ(Parse(Resource(2000, "Clip", TrianglePath()), 10, 10, &status)->GetClippingPath(), nullptr);
    EXPECT_EQ(status, kOK);
    // 2999 naming a path that is not there, or a resource outside 2000-2997.
    EXPECT_EQ(
        Parse(Concat({Resource(2000, "Clip", TrianglePath()), Resource(2999, "", ClipName("Other"))}), 10, 10)
            ->GetClippingPath(),
        nullptr);
    EXPECT_EQ(
        Parse(Concat({Resource(2998, "Clip", TrianglePath()), Resource(2999, "", ClipName("Clip"))}), 10, 10)
            ->GetClippingPath(),
        nullptr);
    // A named path without knots.
    Block empty;
    LengthRecord(empty, 0, 0);
    EXPECT_EQ(Parse(Concat({Resource(2000, "Clip", empty), Resource(2999, "", ClipName("Clip"))}), 10, 10)
                  ->GetClippingPath(),
              nullptr);
    // Nothing at all.
    EXPECT_EQ(Parse(Block{}, 10, 10, &status)->GetClippingPath(), nullptr);
    EXPECT_EQ(status, kOK);
}

TEST_F(PhotoShopParserTest, KnotCountsOfLengthRecordsBoundTheKnotsTaken) {
    Block path;
    KnotRecord(path, 1, {0.5, 0.5, 0.5, 0.5, 0.5, 0.5}); // before any subpath: ignored
    LengthRecord(path, 0, 2);
    for (int i = 0; i < 4; ++i)
        KnotRecord(path, 1, {0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i, 0.1 * i});
    LengthRecord(path, 3, 9); // claims more than follow
    KnotRecord(path, 4, {0, 0, 1, 1, 0, 0});
    path.insert(path.end(), 13, 0xEE); // a partial record at the end
    auto parser = Parse(Concat({Resource(2000, "P", path), Resource(2999, "", ClipName("P"))}), 100, 100);
    IPathCollection* collection = parser->GetClippingPath();
    ASSERT_NE(collection, nullptr);
    ASSERT_EQ(collection->GetSubpathCount(), 2u);
    EXPECT_EQ(collection->GetKnotCount(0), 2u);
    EXPECT_FLOAT_EQ(collection->GetKnot(0, 1).anchor.x, 10.0f);
    EXPECT_EQ(collection->GetKnotCount(1), 1u);
}

TEST_F(PhotoShopParserTest, TruncatedBlocksNeverReadOutsideTheData) {
    const Block first = Resource(1005, "", Block(16, 1));
    const Block second = Resource(2000, "Clip", TrianglePath());
    const Block last = Resource(2999, "", ClipName("Clip")); // odd data size: ends with a pad byte
    const Block block = Concat({first, second, last});
    for (std::size_t cut = 0; cut < block.size(); ++cut) {
        // An exact-size copy, so that any read beyond it is caught by the sanitizers.
        const Block part(block.begin(), block.begin() + static_cast<std::ptrdiff_t>(cut));
        Status status = -1;
        auto parser = Parse(part, 100, 100, &status);
        const bool wholeResources = cut == 0 || cut == first.size() || cut == first.size() + second.size();
        // Only the final pad byte missing: every resource is whole.
        const bool padMissing = cut == block.size() - 1;
        EXPECT_EQ(status, wholeResources || padMissing ? kOK : kMalformedData) << cut;
        EXPECT_EQ(parser->GetClippingPath() != nullptr, padMissing) << cut; // 2999 comes last
    }
}

TEST_F(PhotoShopParserTest, LyingLengthsAndSignaturesStopTheParse) {
    // A resource whose size runs past the end of the data.
    Block lying = Resource(2000, "Clip", TrianglePath());
    lying[12] = 0x7F;
    Status status = -1;
    auto parser = Parse(Concat({Resource(2999, "", ClipName("Clip")), lying}), 100, 100, &status);
    EXPECT_EQ(status, kMalformedData);
    EXPECT_EQ(parser->GetClippingPath(), nullptr);

    // A foreign signature after good resources: what came before still counts.
    Block foreign = Resource(1000, "", Block(4, 0));
    foreign[0] = 'X';
    parser =
        Parse(Concat({Resource(2000, "Clip", TrianglePath()), Resource(2999, "", ClipName("Clip")), foreign}),
              100, 100, &status);
    EXPECT_EQ(status, kMalformedData);
    EXPECT_NE(parser->GetClippingPath(), nullptr);

    // A 2999 whose name claims more bytes than it has.
    Block badName = ClipName("Clip");
    badName[0] = 200;
    parser = Parse(Concat({Resource(2000, "Clip", TrianglePath()), Resource(2999, "", badName)}), 100, 100,
                   &status);
    EXPECT_EQ(parser->GetClippingPath(), nullptr);

    // A length larger than the provider holds: only what is there is read.
    const Block good = Concat({Resource(2000, "Clip", TrianglePath()), Resource(2999, "", ClipName("Clip"))});
    parser = Parse(good, 100, 100, &status, 1u << 30);
    EXPECT_EQ(status, kMalformedData);
    EXPECT_NE(parser->GetClippingPath(), nullptr);
    // A shorter length hides the resources after it.
    parser = Parse(good, 100, 100, &status, static_cast<std::uint32_t>(good.size() - 10));
    EXPECT_EQ(parser->GetClippingPath(), nullptr);
}

TEST_F(PhotoShopParserTest, BadArgumentsAndReparsingDropEarlierResults) {
    const Block good = Concat({Resource(2000, "Clip", TrianglePath()), Resource(2999, "", ClipName("Clip"))});
    auto provider = MemoryProvider(good);
    auto parser = Make<IPhotoShopResourceParser>(CLSID::PhotoShopResourceParser);
    ASSERT_EQ(parser->Parse(provider.Get(), static_cast<std::uint32_t>(good.size()), 10, 10), kOK);
    ASSERT_NE(parser->GetClippingPath(), nullptr);
    EXPECT_EQ(parser->Parse(nullptr, 10, 10, 10), kBadArgument);
    EXPECT_EQ(parser->GetClippingPath(), nullptr);
    for (float bad : {0.0f, -5.0f, NAN, INFINITY}) {
        ASSERT_EQ(provider->Open(0), kOK);
        EXPECT_EQ(parser->Parse(provider.Get(), static_cast<std::uint32_t>(good.size()), bad, 10),
                  kBadArgument);
        EXPECT_EQ(parser->GetClippingPath(), nullptr);
    }
    // The path outlives the parser while someone holds it.
    ASSERT_EQ(provider->Open(0), kOK);
    ASSERT_EQ(parser->Parse(provider.Get(), static_cast<std::uint32_t>(good.size()), 10, 10), kOK);
    TInterfacePtr<IPathCollection> kept(parser->GetClippingPath());
    parser.Reset();
    EXPECT_EQ(kept->GetKnotCount(0), 3u);
}

// The 8BIM block of an EPS's Photoshop section: hex text on "% " lines between %BeginPhotoshop and
// %EndPhotoshop.
Block PhotoshopSection(const std::string& eps) {
    Block bytes;
    std::size_t pos = eps.find("%BeginPhotoshop");
    if (pos == std::string::npos)
        return bytes;
    pos = eps.find_first_of("\r\n", pos);
    const std::size_t end = eps.find("%EndPhotoshop", pos);
    int high = -1;
    bool inData = false;
    for (std::size_t i = pos; i < end && i < eps.size(); ++i) {
        const char c = eps[i];
        if (c == '\r' || c == '\n') {
            inData = false;
            continue;
        }
        if (!inData) {
            if (c == '%' && i + 1 < eps.size() && eps[i + 1] == ' ') {
                inData = true;
                ++i;
            }
            continue;
        }
        int v = -1;
        if (c >= '0' && c <= '9')
            v = c - '0';
        else if (c >= 'A' && c <= 'F')
            v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            v = c - 'a' + 10;
        if (v < 0)
            continue;
        if (high < 0) {
            high = v;
        } else {
            bytes.push_back(static_cast<std::uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return bytes;
}

TEST_F(PhotoShopParserTest, RealPhotoshopEpsClippingPath) {
    // Photoshop clipping path (8BIM 2999) naming path "Pfad 1"; image 447 × 420 pixels.
    const std::string eps =
        ReadFile(std::string(BRASK_CORPUS_DIR) + "/eps-photoshop/magicknet__SwedenHeart.eps");
    ASSERT_FALSE(eps.empty());
    const Block block = PhotoshopSection(eps);
    ASSERT_EQ(block.size(), 9498u); // %BeginPhotoshop: 9498
    Status status = -1;
    auto parser = Parse(block, 447, 420, &status);
    EXPECT_EQ(status, kOK);
    IPathCollection* path = parser->GetClippingPath();
    ASSERT_NE(path, nullptr);
    ASSERT_EQ(path->GetSubpathCount(), 1u);
    EXPECT_TRUE(path->IsSubpathClosed(0));
    ASSERT_EQ(path->GetKnotCount(0), 12u);
    // The heart lies inside the picture and spans most of it.
    float minX = 1e9f, maxX = -1e9f, minY = 1e9f, maxY = -1e9f;
    for (std::uint32_t k = 0; k < path->GetKnotCount(0); ++k) {
        const GRAPHICS::PathPoint a = path->GetKnot(0, k).anchor;
        EXPECT_GE(a.x, 0.0f);
        EXPECT_LE(a.x, 447.0f);
        EXPECT_GE(a.y, 0.0f);
        EXPECT_LE(a.y, 420.0f);
        minX = std::min(minX, a.x), maxX = std::max(maxX, a.x);
        minY = std::min(minY, a.y), maxY = std::max(maxY, a.y);
    }
    EXPECT_GT(maxX - minX, 447.0f * 0.5f);
    EXPECT_GT(maxY - minY, 420.0f * 0.5f);
}

} // namespace
} // namespace BRASK::HOST::TEST
