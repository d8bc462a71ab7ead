// The composite graphic before any conversion: the format keys of a new graphic, the tile adaptor chain, the
// connection space; and Init's preparation (options, the temporary copy of a source that is no file, the
// intermediate PDF's name) with the guard that keeps exceptions from the host.
#include "../support/FaultyProvider.h"
#include "GraphicFixture.h"

#include "PathJoin.h"

#include <random>
#include <stdexcept>
#include <tuple>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using namespace BRASK::TEST;

namespace {

constexpr char kSource[] = "core/Plugins/EPSLoader/Source/src/Common/PDFBasedCG";
constexpr char kInit[] = "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::Init(class BRASK::IClassFactory "
                         "&,class BRASK::IO::IDataProvider &,const class BRASK::IDictionary *)";

// Exposes the intermediate graphic slot that the conversion paths fill.
class PDFBasedCGProbe : public PDFBasedCG {
public:
    void SetPDFGraphic(GRAPHICS::ICompositeGraphic* graphic) { mPDFGraphic.Reset(graphic); }
};

// A tile that cannot take what it is given.
class ThrowingTile : public TObject<GRAPHICS::ITile> {
public:
    Status Init(const GRAPHICS::Rect<float>&) override { return kOK; }
    GRAPHICS::Rect<float> GetBounds() const override { return {}; }
    void AttachInterface(IObject*, const GUID&) override { throw std::bad_alloc(); }
};

using FilterInfo = GraphicFixture;

class CompositeGraphicInit : public GraphicFixture {
protected:
    // The only file Init left in the temporary folder (the temporary copy).
    std::string OnlyTempFile() {
        auto files = mTemp.Files();
        EXPECT_EQ(files.size(), 1u);
        return files.empty() ? std::string() : (mTemp.Path() / files[0]).string();
    }
};

} // namespace

TEST_F(FilterInfo, NewGraphicCarriesExactlyTheFormatKeys) {
    auto graphic = NewGraphic();
    auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
    ASSERT_NE(dictionary, nullptr);
    std::vector<std::int32_t> keys;
    for (std::uint32_t i = 0; i < dictionary->GetKeyCount(); ++i)
        keys.push_back(dictionary->GetKeyAt(i));
    EXPECT_EQ(keys, (std::vector<std::int32_t>{FILTERKEY::kFormatCodes, FILTERKEY::kFormatNames,
                                               FILTERKEY::kFormatDescription, FILTERKEY::kFilterVersion}));

    EXPECT_EQ(dictionary->GetType(FILTERKEY::kFilterVersion), IDictionary::kUInt8);
    std::uint8_t version = 0;
    EXPECT_EQ(dictionary->GetUInt8(FILTERKEY::kFilterVersion, version), kOK);
    EXPECT_EQ(version, 254);
    EXPECT_EQ(BytesAt(*dictionary, FILTERKEY::kFormatCodes),
              (std::vector<std::uint8_t>{3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'}));
    EXPECT_EQ(BytesAt(*dictionary, FILTERKEY::kFormatNames),
              (std::vector<std::uint8_t>{2, 'E', 'P', 'S', 0, 'B', 'S', 'V', 'G', 0}));
    const char16_t* text = nullptr;
    std::uint32_t units = 0;
    ASSERT_EQ(dictionary->GetWString(FILTERKEY::kFormatDescription, &text, &units), kOK);
    EXPECT_EQ(std::u16string(text, units), std::u16string(u"EPS Format\0", 11));
}

TEST_F(FilterInfo, AdaptTileHandsTheConnectionSpaceToTheOutputTileOnly) {
    auto graphic = NewGraphic();
    TInterfacePtr<GRAPHICS::ITile> input, output;
    ASSERT_TRUE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 10, 10}, input));
    ASSERT_TRUE(GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 10, 10}, output));
    EXPECT_EQ(graphic->AdaptTile(nullptr, nullptr), 3);
    EXPECT_EQ(mLog.Messages(), std::vector<std::string>{"Need either a inputTile or outputTile"});
    EXPECT_EQ(mLog.Records().at(0).file, kSource);
    // Before Init there is no connection space: nothing is attached.
    EXPECT_EQ(graphic->AdaptTile(nullptr, output.Get()), kOK);
    EXPECT_TRUE(output->GetInterfaceTable()->empty());

    auto space = New<StubConnectionSpace>();
    graphic->AttachInterface(space.Get(), CLSID::ConnectionSpaceKey);
    EXPECT_EQ(graphic->AdaptTile(input.Get(), nullptr), kOK);
    EXPECT_TRUE(input->GetInterfaceTable()->empty());
    EXPECT_EQ(graphic->AdaptTile(input.Get(), output.Get()), kOK);
    EXPECT_TRUE(input->GetInterfaceTable()->empty());
    EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*output, CLSID::ConnectionSpaceKey), space.Get());
}

TEST_F(FilterInfo, FindInterfaceWalksTheAdaptorChain) {
    auto first = NewGraphic(), second = NewGraphic(), third = NewGraphic();
    first->SetTileAdaptor(second.Get());
    second->SetTileAdaptor(third.Get());
    const GUID onlyInThird = MakeGuid(0x12345678, 1, 2, 3, 4);
    auto value = New<StubConnectionSpace>();
    third->AttachInterface(value.Get(), onlyInThird);
    // What FindInterface and FindInterfaceInTile give for `id` with `owner` set beforehand.
    const auto find = [&](bool inTile, const GUID& id, IObject* owner) {
        IObject* out = value.Get();
        const Status status =
            inTile ? first->FindInterfaceInTile(id, &owner, &out) : first->FindInterface(id, &owner, &out);
        return std::make_tuple(status, owner, out);
    };
    IObject* none = nullptr;
    EXPECT_EQ(find(false, onlyInThird, nullptr), std::make_tuple(kOK, third.Get(), value.Get()));
    // Starting from the owner's next adaptor finds nothing beyond the end of the chain.
    EXPECT_EQ(find(true, onlyInThird, third.Get()), std::make_tuple(kNoInterface, third.Get(), none));
    // Owner set to the first adaptor: the search starts at the second and still reaches the third.
    EXPECT_EQ(find(true, onlyInThird, first.Get()), std::make_tuple(kOK, third.Get(), value.Get()));
    EXPECT_EQ(find(false, MakeGuid(0x87654321, 1, 2, 3, 4), nullptr),
              std::make_tuple(kNoInterface, none, none));

    // An identity object makes the adaptor answer for that interface itself.
    second->AttachInterface(New<StubConnectionSpace>().Get(), CLSID::AdaptorIdentityKey);
    EXPECT_EQ(find(false, GRAPHICS::IConnectionSpace::IID, nullptr),
              std::make_tuple(kOK, second.Get(), second.Get()));

    // Replacing the next adaptor (the old one is released: the fixture counts the live objects).
    first->SetTileAdaptor(third.Get());
    GRAPHICS::ITileAdaptor* next = nullptr;
    first->GetTileAdaptor(&next);
    EXPECT_EQ(next, static_cast<GRAPHICS::ITileAdaptor*>(third.Get()));
}

TEST_F(FilterInfo, ConnectionSpaceComesThroughATileOfTheGraphicsSize) {
    auto graphic = New<PDFBasedCGProbe>();
    ASSERT_EQ(graphic->CreateDictionaryWithFilterInfoKeys(mHost.Get()), kOK);
    GRAPHICS::IConnectionSpace* space = nullptr;
    EXPECT_FALSE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
    EXPECT_EQ(mLog.Messages(),
              std::vector<std::string>{"Composite graphics is not initialized for excel graphics item."});

    auto pdf = New<StubPDFGraphic>(mHost.Get(), 612.4f, 792.6f, true);
    graphic->SetPDFGraphic(pdf.Get());
    ASSERT_TRUE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
    EXPECT_EQ(space, pdf->mSpace.Get());
    EXPECT_EQ(pdf->adaptCalls, 1);
    // Fields in order: 0, 0, the height, the width (integers read from the float keys).
    const auto& b = pdf->lastBounds;
    EXPECT_EQ(std::tie(b.top, b.left, b.bottom, b.right), std::make_tuple(0.f, 0.f, 793.f, 612.f));
    // Already given: true at once, no new tile.
    EXPECT_TRUE(graphic->GetConnectionSpaceForInputGraphic(*mHost, space));
    EXPECT_EQ(pdf->adaptCalls, 1);

    GRAPHICS::IConnectionSpace* fresh = nullptr;
    pdf->adaptStatus = 9;
    mLog.Clear();
    EXPECT_FALSE(graphic->GetConnectionSpaceForInputGraphic(*mHost, fresh));
    // A PDF graphic without its dictionary: reported, no space.
    auto bare = New<PDFBasedCGProbe>();
    auto withoutDictionary = New<StubPDFGraphic>(mHost.Get(), 0, 0, false);
    bare->SetPDFGraphic(withoutDictionary.Get());
    EXPECT_FALSE(bare->GetConnectionSpaceForInputGraphic(*mHost, fresh));
    EXPECT_EQ(mLog.Messages(), (std::vector<std::string>{"AdaptTile Failed.", "ICG missing a dictionary."}));
    graphic->SetPDFGraphic(nullptr);
    bare->SetPDFGraphic(nullptr);
}

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

TEST_F(CompositeGraphicInit, FileSourceIsReadInPlaceSvgCopiesAreSvgAndTheInterpreterCopiesNothing) {
    const std::string path = (mAppDir.Path() / "picture.eps").string();
    std::ofstream(path) << "%!PS-Adobe-3.0 EPSF-3.0\n";
    auto file = FileSource(path);
    auto inPlace = NewGraphic();
    inPlace->Init(*mHost, *file, nullptr);
    EXPECT_FALSE(inPlace->GetTempFile());
    EXPECT_EQ(inPlace->GetSourceURI(), FindAttached<IO::IURI>(*file, IO::IURI::IID));
    EXPECT_TRUE(mTemp.Files().empty());

    auto svgOptions = NewDictionary();
    svgOptions->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
    auto svg = MemorySource("<svg/>");
    auto svgGraphic = NewGraphic();
    svgGraphic->Init(*mHost, *svg, svgOptions.Get());
    EXPECT_EQ(OnlyTempFile().substr(OnlyTempFile().size() - 4), ".svg");
    svgGraphic.Reset();
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

// Init's early failures: each returns its status and logs why, the last record from Init itself.
TEST_F(CompositeGraphicInit, EarlyFailuresAreLogged) {
    const auto fails = [&](IO::IDataProvider& source, PDFBasedCG& graphic, Status status,
                           const std::vector<std::string>& messages) {
        mLog.Clear();
        EXPECT_EQ(graphic.Init(*mHost, source, nullptr), status);
        EXPECT_EQ(mLog.Messages(), messages);
        EXPECT_EQ(mLog.Records().back().function, kInit);
    };
    // A source that announces more bytes than it ever delivers.
    auto stalled = New<FaultyProvider>(std::string(100, 'x'), 0, FaultyProvider::Fault::Stall);
    fails(*stalled, *NewGraphic(), PDFBasedCG::kSourceReadFailed,
          {"The data provider delivered no bytes at offset 0 of 100. Status = 0"});
    EXPECT_EQ(stalled->reads, 1);
    auto source = MemorySource("abc");
    auto graphic = NewGraphic();
    graphic->DetachInterface(CLSID::FilterDictionaryKey);
    fails(*source, *graphic, PDFBasedCG::kNoFilterDictionary, {"Could not get dictionary"});
    EXPECT_TRUE(mTemp.Files().empty());
    const std::string missing = (mTemp.Path() / "missing" / "deeper").string();
    UseHost("", missing);
    graphic = NewGraphic();
    fails(*source, *graphic, PDFBasedCG::kNoFileURI,
          {"Could not create a temporary file in " + missing + " after 64 attempts",
           "Can't get a file URI from the data provider to open the EPS."});
    EXPECT_FALSE(graphic->GetTempFile());
}

TEST_F(CompositeGraphicInit, DestructorReportsACopyThatVanished) {
    auto source = MemorySource("abc");
    auto graphic = NewGraphic();
    graphic->Init(*mHost, *source, nullptr);
    std::filesystem::remove(OnlyTempFile());
    mLog.Clear();
    graphic.Reset();
    // A graphic whose Init never ran deletes and logs nothing.
    NewGraphic().Reset();
    EXPECT_EQ(mLog.Messages(), std::vector<std::string>{"Unable to delete temp file for EPS"});
    EXPECT_EQ(mLog.Records().at(0).function, "__cdecl BRASK::COREREGISTRY::PDFBasedCG::~PDFBasedCG(void)");
}

TEST(JoinPath, OneSlashBetweenFolderAndName) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"/tmp", "1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp/", "1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp", "/1234temp.pdf", "/tmp/1234temp.pdf"},
        {"/tmp/", "", "/tmp/"},
        {"", "a.pdf", "/a.pdf"}};
    for (const auto& [dir, name, joined] : cases)
        EXPECT_EQ(JoinPath(BXString(dir), BXString(name)).GetUTF8String(), joined) << dir << " + " << name;
}

TEST_F(CompositeGraphicInit, NoExceptionReachesTheHost) {
    auto source = New<FaultyProvider>("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 1 1\n", 0,
                                      FaultyProvider::Fault::Throw);
    for (const bool interpreter : {false, true}) { // the copy reads the source; the comment scan reads it
        auto options = NewDictionary();
        options->SetBool(OPTIONKEY::kUseInterpreter, interpreter);
        mLog.Clear();
        EXPECT_EQ(NewGraphic()->Init(*mHost, *source, options.Get()), 7) << interpreter;
        const auto records = mLog.Records();
        ASSERT_EQ(mLog.Messages(), std::vector<std::string>{"Unexpected exception: provider exploded"});
        EXPECT_EQ(std::tie(records[0].function, records[0].file, records[0].type),
                  std::make_tuple(kInit, kSource, 2));
    }

    // The graphic's other entry points: a tile and a next adaptor that throw.
    auto graphic = NewGraphic();
    graphic->AttachInterface(New<StubConnectionSpace>().Get(), CLSID::ConnectionSpaceKey);
    mLog.Clear();
    EXPECT_EQ(graphic->AdaptTile(nullptr, New<ThrowingTile>().Get()), 7);
    class ThrowingAdaptor : public StubPDFGraphic {
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
    EXPECT_EQ(graphic->FindInterface(CLSID::ClippingPathKey, nullptr, &found), 7);
    EXPECT_EQ(graphic->FindInterfaceInTile(CLSID::ClippingPathKey, nullptr, &found), 7);
    EXPECT_EQ(graphic->ForwardToTileAdaptor(nullptr, nullptr, nullptr), 7);
    EXPECT_EQ(
        mLog.Messages(),
        (std::vector<std::string>{"Unexpected exception: std::bad_alloc", "Unexpected exception: chain broke",
                                  "Unexpected exception: chain broke", "Unexpected exception: chain broke"}));
}
