// PDFBasedCG::Init before the conversion: options, the temporary copy of a source that is no file, the
// intermediate PDF's name, and the guard that keeps exceptions from the host.
#include "../support/FaultyProvider.h"
#include "GraphicFixture.h"

#include "PathJoin.h"

#include <random>
#include <stdexcept>
#include <thread>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::FaultyProvider;
using BRASK::TEST::LogCapture;
using BRASK::TEST::New;
using BRASK::TEST::ReadFile;

namespace {

constexpr char kInit[] = "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::Init(class BRASK::IClassFactory "
                         "&,class BRASK::IO::IDataProvider &,const class BRASK::IDictionary *)";

// A tile that cannot take what it is given.
class ThrowingTile : public TObject<GRAPHICS::ITile> {
public:
    Status Init(const GRAPHICS::Rect<float>&) override { return kOK; }
    GRAPHICS::Rect<float> GetBounds() const override { return {}; }
    void AttachInterface(IObject*, const GUID&) override { throw std::bad_alloc(); }
};

class CompositeGraphicInit : public BRASK::TEST::GraphicFixture {
protected:
    // The only file Init left in the temporary folder (the temporary copy).
    std::string OnlyTempFile() {
        auto files = mTemp.Files();
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? std::string() : (mTemp.Path() / files[0]).string();
    }
};

} // namespace

TEST_F(CompositeGraphicInit, NonFileSourceIsCopiedByteForByteAndDeletedWithTheGraphic) {
    std::string bytes(300000, '\0');
    std::mt19937 random(7);
    for (auto& b : bytes)
        b = static_cast<char>(random());
    for (const std::string& source : {bytes, std::string(), std::string("x")}) {
        auto provider = MemorySource(source);
        auto graphic = NewGraphic();
        graphic->Init(*mHost, *provider, nullptr);
        // The conversion path is not linked into these tests; what Init prepared before it is.
        ASSERT_TRUE(graphic->GetTempFile());
        const std::string copy = OnlyTempFile();
        EXPECT_EQ(copy.rfind(".ps"), copy.size() - 3);
        EXPECT_EQ(std::filesystem::path(copy).filename().string().rfind("IGraphicsFileTemp", 0), 0u);
        EXPECT_EQ(ReadFile(copy), source);
        ASSERT_TRUE(graphic->GetSourceURI());
        EXPECT_EQ(graphic->GetSourceURI()->GetScheme(), BXString("file"));
        EXPECT_EQ(graphic->GetSourceURI()->GetPath().GetUTF8String(), copy);
        graphic.Reset();
        EXPECT_FALSE(std::filesystem::exists(copy));
    }
}

TEST_F(CompositeGraphicInit, FileSourceIsReadInPlace) {
    const std::string path = (mAppDir.Path() / "picture.eps").string();
    std::ofstream(path) << "%!PS-Adobe-3.0 EPSF-3.0\n";
    auto source = FileSource(path);
    auto graphic = NewGraphic();
    graphic->Init(*mHost, *source, nullptr);
    EXPECT_FALSE(graphic->GetTempFile());
    EXPECT_EQ(graphic->GetSourceURI(), FindAttached<IO::IURI>(*source, IO::IURI::IID));
    EXPECT_TRUE(mTemp.Files().empty());
}

TEST_F(CompositeGraphicInit, SvgFileTypeNamesTheCopySvgAndInterpreterOptionSkipsIt) {
    auto svgOptions = NewDictionary();
    svgOptions->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
    {
        auto source = MemorySource("<svg/>");
        auto graphic = NewGraphic();
        graphic->Init(*mHost, *source, svgOptions.Get());
        const std::string copy = OnlyTempFile();
        EXPECT_EQ(copy.substr(copy.size() - 4), ".svg");
    }
    EXPECT_TRUE(mTemp.Files().empty());

    // The interpreter reads the source itself; present but false is the converter path again.
    auto source = MemorySource("%!PS");
    for (const bool interpreter : {true, false}) {
        auto options = NewDictionary();
        options->SetBool(OPTIONKEY::kUseInterpreter, interpreter);
        auto graphic = NewGraphic();
        graphic->Init(*mHost, *source, options.Get());
        EXPECT_EQ(bool(graphic->GetSourceURI()), !interpreter);
        EXPECT_EQ(bool(graphic->GetTempFile()), !interpreter);
        EXPECT_EQ(mTemp.Files().size(), interpreter ? 0u : 1u);
    }
}

TEST_F(CompositeGraphicInit, StalledSourceEndsTheCopyWithALoggedError) {
    // A source that announces more bytes than it ever delivers.
    auto source = New<FaultyProvider>(std::string(100, 'x'), 0, FaultyProvider::Fault::Stall);
    auto graphic = NewGraphic();
    LogCapture log;
    EXPECT_EQ(graphic->Init(*mHost, *source, nullptr), PDFBasedCG::kSourceReadFailed);
    EXPECT_EQ(source->reads, 1);
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].MessageUTF8(),
              "The data provider delivered no bytes at offset 0 of 100. Status = 0");
    EXPECT_EQ(records[0].function, kInit);
}

TEST_F(CompositeGraphicInit, MissingDictionaryFailsWith28) {
    auto graphic = NewGraphic();
    graphic->DetachInterface(CLSID::FilterDictionaryKey);
    auto source = MemorySource("x");
    LogCapture log;
    EXPECT_EQ(graphic->Init(*mHost, *source, nullptr), PDFBasedCG::kNoFilterDictionary);
    EXPECT_EQ(log.WithMessage("Could not get dictionary").size(), 1u);
    EXPECT_TRUE(mTemp.Files().empty());
}

TEST_F(CompositeGraphicInit, UnwritableTemporaryFolderFailsAfterBoundedAttempts) {
    auto source = MemorySource("abc");
    auto graphic = NewGraphic();
    UseHost("", (mTemp.Path() / "missing" / "deeper").string());
    LogCapture log;
    EXPECT_EQ(graphic->Init(*mHost, *source, nullptr), PDFBasedCG::kNoFileURI);
    EXPECT_EQ(log.WithMessage("Can't get a file URI from the data provider to open the EPS.").size(), 1u);
    EXPECT_FALSE(graphic->GetTempFile());
}

TEST_F(CompositeGraphicInit, DestructorReportsACopyThatVanished) {
    auto source = MemorySource("abc");
    auto graphic = NewGraphic();
    graphic->Init(*mHost, *source, nullptr);
    std::filesystem::remove(OnlyTempFile());
    LogCapture log;
    graphic.Reset();
    const auto records = log.Records();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].MessageUTF8(), "Unable to delete temp file for EPS");
    EXPECT_EQ(records[0].function, "__cdecl BRASK::COREREGISTRY::PDFBasedCG::~PDFBasedCG(void)");

    // A graphic whose Init never ran deletes and logs nothing.
    auto idle = NewGraphic();
    idle.Reset();
    EXPECT_EQ(log.Records().size(), 1u);
}

// The name itself (the thread's id and "temp.pdf" in the temporary folder) is held by the intermediate PDF's
// tests, which look for the file there.
TEST_F(CompositeGraphicInit, EachThreadHasAnIntermediatePdfOfItsOwn) {
    std::string other;
    std::thread([&] { other = IntermediatePDFPath(*mHost).GetUTF8String(); }).join();
    EXPECT_NE(other, IntermediatePDFPath(*mHost).GetUTF8String());
    EXPECT_EQ(other.find(mTemp.Path().string()), 0u);
}

TEST(JoinPath, OneSlashBetweenFolderAndName) {
    struct Case {
        const char* dir;
        const char* name;
        const char* joined;
    } cases[] = {
        {"/tmp", "1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp/", "1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp", "/1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp/", "", "/tmp/"},
        {"", "a.pdf", "/a.pdf"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(JoinPath(BXString(c.dir), BXString(c.name)).GetUTF8String(), c.joined)
            << c.dir << " + " << c.name;
}

TEST_F(CompositeGraphicInit, NoExceptionReachesTheHost) {
    auto source = New<FaultyProvider>("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n", 0,
                                      FaultyProvider::Fault::Throw);
    for (const bool interpreter : {false, true}) { // the copy reads the source; the comment scan reads it
        auto options = NewDictionary();
        options->SetBool(OPTIONKEY::kUseInterpreter, interpreter);
        auto graphic = NewGraphic();
        LogCapture log;
        EXPECT_EQ(graphic->Init(*mHost, *source, options.Get()), 7) << interpreter;
        const auto records = log.WithMessage("Unexpected exception: provider exploded");
        ASSERT_EQ(records.size(), 1u) << interpreter;
        EXPECT_EQ(records[0].function, kInit);
        EXPECT_EQ(records[0].file, "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG");
        EXPECT_EQ(records[0].type, 2);
    }

    // The graphic's other entry points: a tile and a next adaptor that throw.
    auto graphic = NewGraphic();
    graphic->AttachInterface(New<BRASK::TEST::StubConnectionSpace>().Get(), CLSID::ConnectionSpaceKey);
    LogCapture log;
    EXPECT_EQ(graphic->AdaptTile(nullptr, New<ThrowingTile>().Get()), 7);
    EXPECT_EQ(log.WithMessage("Unexpected exception: std::bad_alloc").size(), 1u);

    class ThrowingAdaptor : public BRASK::TEST::StubPDFGraphic {
    public:
        ThrowingAdaptor() : StubPDFGraphic(nullptr, 0, 0, false) {}
        Status FindInterface(const GUID&, IObject**, IObject**) override {
            throw std::logic_error("chain broke");
        }
        std::int32_t ForwardToTileAdaptor(void*, GRAPHICS::ITileAdaptor*, void*) override {
            throw std::logic_error("chain broke");
        }
    };
    graphic->SetTileAdaptor(New<ThrowingAdaptor>().Get());
    IObject* found = nullptr;
    log.Clear();
    EXPECT_EQ(graphic->FindInterface(CLSID::ClippingPathKey, nullptr, &found), 7);
    EXPECT_EQ(graphic->FindInterfaceInTile(CLSID::ClippingPathKey, nullptr, &found), 7);
    EXPECT_EQ(graphic->ForwardToTileAdaptor(nullptr, nullptr, nullptr), 7);
    EXPECT_EQ(log.WithMessage("Unexpected exception: chain broke").size(), 3u);
}
