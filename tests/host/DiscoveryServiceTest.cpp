// The interface discovery service: PDF composite graphics through qpdf, their dictionary, connection
// space and tile adaptation.
#include "HostTestSupport.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <thread>

namespace BRASK::HOST::TEST {
namespace {

using GRAPHICS::ICompositeGraphic;
using GRAPHICS::IConnectionSpace;
using GRAPHICS::IInterfaceDiscoveryService;
using GRAPHICS::ITile;

const char kLogSource[] = "host/src/InterfaceDiscoveryService";
const char kLogFunction[] =
    "long __cdecl BRASK::HOST::InterfaceDiscoveryService::CreateCompositeGraphic(class BRASK::IClassFactory "
    "&,"
    "class BRASK::IO::IDataProvider &,class BRASK::TInterfacePtr<class BRASK::GRAPHICS::ICompositeGraphic> &,"
    "unsigned int,const class BRASK::IDictionary *)";

// A one-page PDF written object by object, with a correct cross-reference table. `pageExtra` goes into the
// page dictionary, `pagesExtra` into the page tree's root (for inherited attributes).
std::string MakePdf(const std::string& pageExtra, const std::string& pagesExtra = "") {
    const std::string content = "0 0 m 10 10 l S";
    std::vector<std::string> objects = {
        "<< /Type /Catalog /Pages 2 0 R >>",
        "<< /Type /Pages /Kids [3 0 R] /Count 1 " + pagesExtra + " >>",
        "<< /Type /Page /Parent 2 0 R /Contents 4 0 R /Resources << >> " + pageExtra + " >>",
        "<< /Length " + std::to_string(content.size()) + " >>\nstream\n" + content + "\nendstream",
    };
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (std::size_t offset : offsets) {
        char line[21];
        std::snprintf(line, sizeof line, "%010zu 00000 n \n", offset);
        pdf += line;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R >>\nstartxref\n" +
           std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

class DiscoveryServiceTest : public HostTest {
protected:
    IInterfaceDiscoveryService* Service() {
        auto environment = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
        // Borrowed: the host keeps the environment, and with it the service, alive.
        return FindAttached<IInterfaceDiscoveryService>(*environment, CLSID::DiscoveryServiceKey);
    }

    Status CreateFrom(IO::IDataProvider& data, TInterfacePtr<ICompositeGraphic>& graphic,
                      std::uint32_t type = GRAPHICS::kTypePDF) {
        IInterfaceDiscoveryService* service = Service();
        EXPECT_NE(service, nullptr);
        return service == nullptr ? -1
                                  : service->CreateCompositeGraphic(*mHost, data, graphic, type, nullptr);
    }

    // Width and height (keys 14 and 15) of a graphic made from `pdf`.
    std::pair<float, float> SizeOf(const std::string& pdf) {
        auto provider = MemoryProvider(Bytes(pdf));
        TInterfacePtr<ICompositeGraphic> graphic;
        EXPECT_EQ(CreateFrom(*provider, graphic), kOK);
        if (!graphic)
            return {-1, -1};
        auto* dictionary = FindAttached<IDictionary>(*graphic, IDictionary::IID);
        EXPECT_NE(dictionary, nullptr);
        float width = -1, height = -1;
        EXPECT_EQ(dictionary->GetType(14), IDictionary::kFloat);
        EXPECT_EQ(dictionary->GetFloat(14, width), kOK);
        EXPECT_EQ(dictionary->GetFloat(15, height), kOK);
        return {width, height};
    }
};

TEST_F(DiscoveryServiceTest, PageSizeComesFromTheCropBoxElseTheMediaBoxAndFollowsRotation) {
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100]")), std::make_pair(200.0f, 100.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /CropBox [10 20 110 70]")),
              std::make_pair(100.0f, 50.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /Rotate 90")), std::make_pair(100.0f, 200.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /Rotate 270")), std::make_pair(100.0f, 200.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /Rotate -90")), std::make_pair(100.0f, 200.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /Rotate 180")), std::make_pair(200.0f, 100.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /CropBox [10 20 110 70] /Rotate 450")),
              std::make_pair(50.0f, 100.0f));
    // Reversed corners, a crop box reaching outside the media box, an inherited media box.
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [200 100 0 0]")), std::make_pair(200.0f, 100.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 200 100] /CropBox [-50 -50 100 300]")),
              std::make_pair(100.0f, 100.0f));
    EXPECT_EQ(SizeOf(MakePdf("", "/MediaBox [0 0 612 792] /Rotate 90")), std::make_pair(792.0f, 612.0f));
    EXPECT_EQ(SizeOf(MakePdf("/MediaBox [0 0 595.276 841.89]")), std::make_pair(595.276f, 841.89f));
}

TEST_F(DiscoveryServiceTest, SizeKeysReadAsRoundedIntegers) {
    auto provider = MemoryProvider(Bytes(MakePdf("/MediaBox [0 0 595.276 841.89]")));
    TInterfacePtr<ICompositeGraphic> graphic;
    ASSERT_EQ(CreateFrom(*provider, graphic), kOK);
    auto* dictionary = FindAttached<IDictionary>(*graphic, IDictionary::IID);
    ASSERT_NE(dictionary, nullptr);
    std::int32_t width = 0, height = 0;
    EXPECT_EQ(dictionary->GetInt32(14, width), kOK);
    EXPECT_EQ(dictionary->GetInt32(15, height), kOK);
    EXPECT_EQ(width, 595);
    EXPECT_EQ(height, 842);
}

TEST_F(DiscoveryServiceTest, DataThatIsNotAPdfFailsWithQpdfsReasonLogged) {
    for (const std::string& junk :
         {std::string("this is not a PDF at all\n"), std::string("%PDF-1.4\n%%EOF\n"), std::string("")}) {
        LogCapture log;
        auto provider = MemoryProvider(Bytes(junk));
        TInterfacePtr<ICompositeGraphic> graphic;
        const Status status = CreateFrom(*provider, graphic);
        EXPECT_NE(status, kOK) << junk;
        EXPECT_FALSE(graphic);
        ASSERT_EQ(log.Records().size(), 1u) << junk;
        const LogRecord& record = log.Records()[0];
        EXPECT_EQ(record.type, kLogTypeError);
        EXPECT_EQ(record.level, kLogLevelError);
        EXPECT_EQ(record.file, kLogSource);
        EXPECT_EQ(record.function, kLogFunction);
        if (status == kEngineError) {
            const std::string prefix = "qpdf could not open the PDF: ";
            EXPECT_EQ(record.MessageUTF8().rfind(prefix, 0), 0u) << record.MessageUTF8();
            EXPECT_GT(record.MessageUTF8().size(), prefix.size() + 5) << record.MessageUTF8();
        } else {
            EXPECT_EQ(status, kMalformedData);
        }
    }
}

TEST_F(DiscoveryServiceTest, APageTreeWithoutPagesIsRefused) {
    LogCapture log;
    std::string pdf = MakePdf("/MediaBox [0 0 10 10]");
    const std::size_t kids = pdf.find("/Kids [3 0 R] /Count 1");
    ASSERT_NE(kids, std::string::npos);
    pdf.replace(kids, 22, "/Kids [     ] /Count 0");
    auto provider = MemoryProvider(Bytes(pdf));
    TInterfacePtr<ICompositeGraphic> graphic;
    EXPECT_EQ(CreateFrom(*provider, graphic), kMalformedData);
    EXPECT_FALSE(graphic);
    ASSERT_EQ(log.Records().size(), 1u);
    EXPECT_EQ(log.Records()[0].MessageUTF8(), "The PDF cannot be placed: the PDF has no page");
}

TEST_F(DiscoveryServiceTest, OnlyPdfTypeIsServed) {
    LogCapture log;
    auto provider = MemoryProvider(Bytes(MakePdf("/MediaBox [0 0 10 10]")));
    TInterfacePtr<ICompositeGraphic> graphic;
    EXPECT_EQ(CreateFrom(*provider, graphic, GRAPHICS::kTypeSVG), kUnsupported);
    EXPECT_FALSE(graphic);
    ASSERT_EQ(log.Records().size(), 1u);
    EXPECT_EQ(log.Records()[0].file, kLogSource);
}

TEST_F(DiscoveryServiceTest, PdfBytesOutliveTheDeletedFileAndReachTheTile) {
    const std::string pdf = MakePdf("/MediaBox [0 0 300 150]");
    const std::string path = TempPath("1234temp.pdf");
    WriteFile(path, pdf);
    TInterfacePtr<ICompositeGraphic> graphic;
    {
        auto provider = OpenFile(path, false);
        ASSERT_TRUE(provider);
        ASSERT_EQ(provider->SetPosition(17, IO::IDataProvider::kFromStart), kOK); // the service rewinds
        ASSERT_EQ(CreateFrom(*provider, graphic), kOK);
    }
    auto file = Make<FILE_SYS::IFile>(CLSID::SystemFile);
    ASSERT_EQ(file->SetPath(CoreString::FromUTF8(path)), kOK);
    ASSERT_EQ(file->Delete(), kOK);
    ASSERT_FALSE(std::filesystem::exists(path));

    auto* space = FindAttached<IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey);
    ASSERT_NE(space, nullptr);
    ASSERT_EQ(space->GetPDFSize(), pdf.size());
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(space->GetPDFData()), space->GetPDFSize()), pdf);
    EXPECT_EQ(space->GetPageBox().right, 300.0f);
    EXPECT_EQ(space->GetPageBox().top, 150.0f);
    EXPECT_EQ(space->GetPageBox().left, 0.0f);
    EXPECT_EQ(space->GetPageBox().bottom, 0.0f);

    // The copy is a whole PDF: the service opens it again.
    auto again = MemoryProvider(
        std::vector<std::uint8_t>(space->GetPDFData(), space->GetPDFData() + space->GetPDFSize()));
    TInterfacePtr<ICompositeGraphic> second;
    EXPECT_EQ(CreateFrom(*again, second), kOK);

    auto tile = Make<ITile>(CLSID::Tile);
    EXPECT_EQ(graphic->AdaptTile(nullptr, tile.Get()), kOK);
    EXPECT_EQ(FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey), space);
    graphic.Reset();
    second.Reset();
    // The tile keeps the connection space alive on its own.
    auto* kept = FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->GetPDFSize(), pdf.size());
}

TEST_F(DiscoveryServiceTest, AdaptTileNeedsATileAndInitIsNotForCallers) {
    LogCapture log;
    auto provider = MemoryProvider(Bytes(MakePdf("/MediaBox [0 0 10 10]")));
    TInterfacePtr<ICompositeGraphic> graphic;
    ASSERT_EQ(CreateFrom(*provider, graphic), kOK);
    EXPECT_EQ(*graphic->GetIID(), ICompositeGraphic::IID);
    EXPECT_EQ(graphic->AdaptTile(nullptr, nullptr), 3);
    auto tile = Make<ITile>(CLSID::Tile);
    EXPECT_EQ(graphic->AdaptTile(tile.Get(), nullptr), kOK);
    EXPECT_EQ(FindAttached<IConnectionSpace>(*tile, CLSID::ConnectionSpaceKey), nullptr);
    EXPECT_EQ(graphic->Init(*mHost, *provider, nullptr), kMadeByDiscoveryOnly);
    EXPECT_TRUE(log.Records().empty());
}

TEST_F(DiscoveryServiceTest, TileAdaptorChainFindsInterfacesDownTheChainAndRefusesCycles) {
    auto provider = MemoryProvider(Bytes(MakePdf("/MediaBox [0 0 10 10]")));
    TInterfacePtr<ICompositeGraphic> a, b, c;
    ASSERT_EQ(CreateFrom(*provider, a), kOK);
    ASSERT_EQ(CreateFrom(*provider, b), kOK);
    ASSERT_EQ(CreateFrom(*provider, c), kOK);
    const GUID onlyInC = MakeGuid(0x01020304, 0x0506, 0x0708, 0x090A, 0x0B0C0D0E0F10);
    auto marker = Make<IDictionary>(CLSID::PersistentDictionary);
    c->AttachInterface(marker.Get(), onlyInC);
    a->SetTileAdaptor(b.Get());
    b->SetTileAdaptor(c.Get());

    IObject* owner = nullptr;
    IObject* found = nullptr;
    EXPECT_EQ(a->FindInterface(onlyInC, &owner, &found), kOK);
    EXPECT_EQ(found, marker.Get());
    EXPECT_EQ(owner, static_cast<IObject*>(c.Get()));
    // From the owner found, the search goes on after it and finds nothing more.
    EXPECT_EQ(a->FindInterfaceInTile(onlyInC, &owner, &found), kNoInterface);
    EXPECT_EQ(found, nullptr);
    owner = nullptr;
    EXPECT_EQ(a->FindInterfaceInTile(IDictionary::IID, &owner, &found), kOK);
    EXPECT_EQ(owner, static_cast<IObject*>(a.Get()));

    // An identity object makes the adaptor answer for that interface itself.
    auto identity = Make<ITile>(CLSID::Tile);
    b->AttachInterface(identity.Get(), CLSID::AdaptorIdentityKey);
    owner = nullptr;
    EXPECT_EQ(a->FindInterface(GRAPHICS::ITile::IID, &owner, &found), kOK);
    EXPECT_EQ(found, static_cast<IObject*>(b.Get()));

    // c -> a would close a loop (and leak all three); it is refused.
    c->SetTileAdaptor(a.Get());
    GRAPHICS::ITileAdaptor* next = reinterpret_cast<GRAPHICS::ITileAdaptor*>(0x1);
    c->GetTileAdaptor(&next);
    EXPECT_EQ(next, nullptr);
    c->SetTileAdaptor(c.Get());
    c->GetTileAdaptor(&next);
    EXPECT_EQ(next, nullptr);
    EXPECT_EQ(a->ForwardToTileAdaptor(nullptr, nullptr, nullptr), 0);
}

TEST_F(DiscoveryServiceTest, ManyThreadsShareTheHostAndItsService) {
    const std::vector<std::uint8_t> pdf = Bytes(MakePdf("/MediaBox [0 0 72 36]"));
    IInterfaceDiscoveryService* service = Service();
    ASSERT_NE(service, nullptr);
    std::vector<std::thread> threads;
    std::vector<int> made(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 25; ++i) {
                TInterfacePtr<IO::IMemoryDataProvider> provider;
                if (BRASK::CreateInstance(mHost.Get(), CLSID::MemoryDataProvider, provider) != kOK ||
                    provider->Init(pdf.data(), static_cast<std::int32_t>(pdf.size())) != kOK)
                    continue;
                TInterfacePtr<ICompositeGraphic> graphic;
                if (service->CreateCompositeGraphic(*mHost, *provider, graphic, GRAPHICS::kTypePDF,
                                                    nullptr) != kOK)
                    continue;
                float width = 0;
                auto* dictionary = FindAttached<IDictionary>(*graphic, IDictionary::IID);
                if (dictionary != nullptr && dictionary->GetFloat(14, width) == kOK && width == 72.0f)
                    ++made[t];
            }
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int count : made)
        EXPECT_EQ(count, 25);
}

// Runs a shell command; true when it succeeded.
bool RunCommand(const std::string& command) {
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

TEST_F(DiscoveryServiceTest, PdfsMadeByGhostscriptAndRotatedByQpdf) {
    if (!RunCommand("command -v gs") || !RunCommand("command -v qpdf"))
        GTEST_SKIP() << "gs or qpdf command not installed";
    const std::string ps = TempPath("page.ps");
    WriteFile(ps,
              "%!PS\n<< /PageSize [300 150] >> setpagedevice\nnewpath 10 10 moveto 290 140 lineto stroke\n"
              "showpage\n");
    const std::string made = TempPath("made.pdf");
    ASSERT_TRUE(
        RunCommand("gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=" + made + " " + ps));
    const std::string rotated = TempPath("rotated.pdf");
    ASSERT_TRUE(RunCommand("qpdf --rotate=+90 " + made + " " + rotated));
    const std::string cropped = TempPath("cropped.pdf");
    ASSERT_TRUE(RunCommand("qpdf --qdf " + made + " " + cropped));
    std::string qdf = ReadFile(cropped);
    const std::size_t media = qdf.find("/MediaBox");
    ASSERT_NE(media, std::string::npos);
    qdf.insert(media, "/CropBox [ 20 10 120 60 ] /Rotate 270 ");
    WriteFile(cropped, qdf); // qpdf repairs the now shifted offsets on reading

    EXPECT_EQ(SizeOf(ReadFile(made)), std::make_pair(300.0f, 150.0f));
    EXPECT_EQ(SizeOf(ReadFile(rotated)), std::make_pair(150.0f, 300.0f));
    EXPECT_EQ(SizeOf(qdf), std::make_pair(50.0f, 100.0f));
}

} // namespace
} // namespace BRASK::HOST::TEST
