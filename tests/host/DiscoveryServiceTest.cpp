// The interface discovery service: PDF composite graphics through qpdf, their dictionary, connection
// space and tile adaptation.
#include "HostTestSupport.h"

#include <cstdio>

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
        {"/MediaBox [0 0 200 100] /Rotate 270", "", 100, 200},
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
        {"%PDF-1.4\n%%EOF\n", GRAPHICS::kTypePDF, kEngineError, "qpdf could not open the PDF: "},
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
        EXPECT_EQ(record.type, kLogTypeError);
        EXPECT_EQ(record.level, kLogLevelError);
        EXPECT_EQ(record.file, kLogSource);
        EXPECT_EQ(record.function, kLogFunction);
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
    EXPECT_TRUE(box.left == 0 && box.bottom == 0 && box.right == 300 && box.top == 150);

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

} // namespace
} // namespace BRASK::HOST::TEST
