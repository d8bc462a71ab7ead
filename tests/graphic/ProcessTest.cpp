// The conversion paths with stand-in wrappers and a stand-in discovery service whose PDF graphic reports a
// chosen user-space size, so the bounding-box checks and the keys can be driven exactly.
#include "GraphicFixture.h"

#include "PDFBasedCG.h"
#include "PluginClassFactories.h"
#include "shell/LibUtils.h"

#include "brask/ClassIds.h"

#include <fstream>
#include <sys/syscall.h>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::COREREGISTRY;
using BRASK::TEST::LogCapture;

namespace {

class StubDiscovery : public TObject<GRAPHICS::IInterfaceDiscoveryService> {
public:
    Status CreateCompositeGraphic(IClassFactory& factory, IO::IDataProvider&,
                                  TInterfacePtr<GRAPHICS::ICompositeGraphic>& graphic, std::uint32_t type,
                                  const IDictionary*) override {
        ++calls;
        lastType = type;
        if (status == kOK)
            graphic.Adopt(new BRASK::TEST::StubPDFGraphic(&factory, width, height, true));
        return status;
    }
    float width = 0;
    float height = 0;
    Status status = kOK;
    int calls = 0;
    std::uint32_t lastType = 0;
};

struct Releaser {
    void operator()(IObject* o) const { o->Release(); }
};
using GraphicPtr = std::unique_ptr<PDFBasedCG, Releaser>;

class ImportPaths : public BRASK::TEST::GraphicFixture {
protected:
    void SetUp() override {
        // The stand-in wrappers live in the folder the processors' tests use.
        mAppOverride = std::string(BRASK_FAKES_DIR) + "/combined";
        GraphicFixture::SetUp();
        HOST::HostOptions options;
        options.applicationDir = mAppOverride;
        options.temporaryDir = mTempDir.Path().string();
        mHost->UnpublishCoreRegistry();
        mHost = HOST::Host::Create(options);
        mHost->PublishAsCoreRegistry();
        ClassFactorySlot::Set(mHost.Get());
        mDiscovery.Adopt(new StubDiscovery);
        TInterfacePtr<GRAPHICS::IGraphicsEnvironment> environment;
        CreateInstance(mHost.Get(), CLSID::GraphicsEnvironment, environment);
        environment->AttachInterface(mDiscovery.Get(), CLSID::DiscoveryServiceKey);
    }
    void TearDown() override {
        mDiscovery.Reset();
        GraphicFixture::TearDown();
    }

    // The stand-in converter writes nothing, so the intermediate PDF the host opens is made here.
    std::string PreparePDF() {
        const std::string path =
            (mTempDir.Path() / (std::to_string(syscall(SYS_gettid)) + "temp.pdf")).string();
        std::ofstream(path) << "%PDF-1.4\n";
        return path;
    }
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = (mAppDir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    TInterfacePtr<IO::IDataProvider> FileSource(const std::string& path) {
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path));
        TInterfacePtr<IO::IDataProvider> provider;
        IO::CreateUriDataProvider(mHost.Get(), provider, *uri, IO::kReadOnlyMode, nullptr);
        return provider;
    }
    // Places an EPS with the given box against a PDF graphic of the given user-space size.
    GraphicPtr Place(const std::string& box, float userWidth, float userHeight, Status* status = nullptr) {
        mDiscovery->width = userWidth;
        mDiscovery->height = userHeight;
        const std::string path = WriteFile("box.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: " + box +
                                                          "\n%%EndComments\nshowpage\n%%EOF\n");
        auto source = FileSource(path);
        GraphicPtr graphic(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
        PreparePDF();
        const Status result = graphic->Init(*mHost, *source, nullptr);
        if (status != nullptr)
            *status = result;
        return graphic;
    }
    static float Key(PDFBasedCG& graphic, std::int32_t key) {
        float value = -1;
        FindAttached<IDictionary>(graphic, CLSID::FilterDictionaryKey)->GetFloat(key, value);
        return value;
    }

    std::string mAppOverride;
    TInterfacePtr<StubDiscovery> mDiscovery;
};

} // namespace

TEST_F(ImportPaths, EPSKeysAndTheConnectionSpace) {
    Status status = -1;
    LogCapture log;
    auto graphic = Place("0 0 100 80", 100, 80, &status);
    EXPECT_EQ(status, kOK);
    EXPECT_EQ(mDiscovery->lastType, GRAPHICS::kTypePDF);
    EXPECT_FLOAT_EQ(Key(*graphic, 14), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, 15), 80);
    EXPECT_FLOAT_EQ(Key(*graphic, 2001), 0);
    EXPECT_FLOAT_EQ(Key(*graphic, 2002), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, 2003), 0);
    EXPECT_FLOAT_EQ(Key(*graphic, 2004), 80);
    auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
    bool imported = false;
    EXPECT_EQ(dictionary->GetBool(39, imported), kOK);
    EXPECT_TRUE(imported);
    EXPECT_EQ(dictionary->GetType(39), IDictionary::kBool);
    for (std::int32_t key : {2005, 2006, 2007, 2008})
        EXPECT_EQ(dictionary->GetType(key), IDictionary::kUInt8) << key;
    EXPECT_EQ(dictionary->GetType(26), IDictionary::kUInt16);
    EXPECT_EQ(dictionary->GetType(16), IDictionary::kNone);
    EXPECT_EQ(dictionary->GetType(28), IDictionary::kNone);
    EXPECT_NE(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
    // The intermediate PDF is gone once the host has read it.
    for (const auto& name : mTempDir.Files())
        EXPECT_EQ(name.find("temp.pdf"), std::string::npos) << name;
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
}

TEST_F(ImportPaths, BoundingBoxWinsOverADifferentUserSpaceSize) {
    LogCapture log;
    auto graphic = Place("0 0 100 80", 50, 80);
    EXPECT_EQ(log.WithMessage("EPS BoundingBox width, user space width does not match").size(), 1u);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox height, user space height does not match").empty());
    EXPECT_FLOAT_EQ(Key(*graphic, 14), 100);
    EXPECT_FLOAT_EQ(Key(*graphic, 15), 80);
    EXPECT_FLOAT_EQ(Key(*graphic, 2002), 100);

    log.Clear();
    auto narrow = Place("10 0 12 80", 50, 80);
    EXPECT_FLOAT_EQ(Key(*narrow, 2002), 13);
    EXPECT_FLOAT_EQ(Key(*narrow, 14), 3);
    auto low = Place("0 5 100 6.5", 100, 40);
    EXPECT_FLOAT_EQ(Key(*low, 2004), 8);
    EXPECT_FLOAT_EQ(Key(*low, 15), 3);

    log.Clear();
    auto zero = Place("10 0 10 80", 50, 80);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
    EXPECT_FLOAT_EQ(Key(*zero, 14), 50);
    auto close = Place("0 0 200 80", 200.5f, 80);
    EXPECT_TRUE(log.WithMessage("EPS BoundingBox width, user space width does not match").empty());
    EXPECT_FLOAT_EQ(Key(*close, 14), 200.5f);
}

TEST_F(ImportPaths, HostFailureIsReturnedAndTheBoxStillWritten) {
    mDiscovery->status = 42;
    Status status = 0;
    LogCapture log;
    auto graphic = Place("0 0 30 40", 0, 0, &status);
    EXPECT_EQ(status, 42);
    EXPECT_FLOAT_EQ(Key(*graphic, 2004), 40);
    EXPECT_EQ(FindAttached<GRAPHICS::IConnectionSpace>(*graphic, CLSID::ConnectionSpaceKey), nullptr);
    EXPECT_FALSE(log.WithMessage("Composite graphics is not initialized for excel graphics item.").empty());
}

TEST_F(ImportPaths, MissingPDFIsAFailureNotASuccess) {
    const std::string path =
        WriteFile("a.eps", "%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 10 10\n%%EndComments\n");
    auto source = FileSource(path);
    GraphicPtr graphic(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
    LogCapture log;
    EXPECT_NE(graphic->Init(*mHost, *source, nullptr), kOK);
    EXPECT_EQ(log.WithMessage("Could not create IDataProviderPtr").size(), 1u);
    EXPECT_EQ(mDiscovery->calls, 0);
    EXPECT_FLOAT_EQ(Key(*graphic, 2002), 10); // the box is still reported
}

TEST_F(ImportPaths, IllustratorFileWithoutMarkerIsRepairedFromACopy) {
    const std::string text = "%!PS-Adobe-3.0\r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n";
    const std::string path = WriteFile("drawing.Ai", text);
    auto source = FileSource(path);
    GraphicPtr graphic(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
    PreparePDF();
    LogCapture log;
    EXPECT_EQ(graphic->Init(*mHost, *source, nullptr), kOK);
    const auto records = log.WithMessage(path + " File does not contains EPSF- string in the header");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].type, 1);
    EXPECT_EQ(records[0].level, 2);
    // The picture is read from the repaired copy: the marker sits before the first line's end.
    ASSERT_TRUE(graphic->GetTempFile());
    std::ifstream copy(graphic->GetTempFile()->GetPath(true).GetUTF8String(), std::ios::binary);
    const std::string repaired((std::istreambuf_iterator<char>(copy)), {});
    EXPECT_EQ(repaired,
              "%!PS-Adobe-3.0 EPSF-3.0 \r\n%%BoundingBox: 0 0 50 60\r\n%%EndComments\r\nshowpage\r\n");
    EXPECT_EQ(graphic->GetSourceURI()->GetPath(), graphic->GetTempFile()->GetPath(true));
    EXPECT_FLOAT_EQ(Key(*graphic, 2004), 60);

    const std::string eps = WriteFile("drawing.eps", text);
    auto epsSource = FileSource(eps);
    GraphicPtr plain(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
    PreparePDF();
    log.Clear();
    plain->Init(*mHost, *epsSource, nullptr);
    const auto logged = log.WithMessage(eps + " File does not contains EPSF- string in the header");
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].type, 2);
    EXPECT_FALSE(plain->GetTempFile());
}

TEST_F(ImportPaths, SVGWritesOnlyTheSizeAndTheImportedFlag) {
    mDiscovery->width = 120;
    mDiscovery->height = 90;
    const std::string path =
        WriteFile("icon.svg", "<svg xmlns='http://www.w3.org/2000/svg' width='160' height='120'/>");
    auto source = FileSource(path);
    TInterfacePtr<IDictionary> options;
    IO::CreatePersistentDictionary(mHost.Get(), options);
    options->SetUInt32(37, GRAPHICS::kTypeSVG);
    GraphicPtr graphic(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
    PreparePDF();
    EXPECT_EQ(graphic->Init(*mHost, *source, options.Get()), kOK);
    auto* dictionary = FindAttached<IDictionary>(*graphic, CLSID::FilterDictionaryKey);
    EXPECT_FLOAT_EQ(Key(*graphic, 14), 120);
    EXPECT_FLOAT_EQ(Key(*graphic, 15), 90);
    for (std::int32_t key = 2001; key <= 2008; ++key)
        EXPECT_EQ(dictionary->GetType(key), IDictionary::kNone) << key;
    EXPECT_EQ(dictionary->GetKeyCount(), 7u); // 1, 2, 3, 7, 14, 15, 39

    mDiscovery->status = 9;
    GraphicPtr failed(dynamic_cast<PDFBasedCG*>(CreateICompositeGraphic(nullptr)));
    const std::string pdf = PreparePDF();
    LogCapture log;
    EXPECT_EQ(failed->Init(*mHost, *source, options.Get()), 9);
    EXPECT_FALSE(std::filesystem::exists(pdf));
    EXPECT_EQ(log.WithMessage("Failed to create the intermediate PDF composite graphic").size(), 1u);
    bool imported = false;
    EXPECT_EQ(FindAttached<IDictionary>(*failed, CLSID::FilterDictionaryKey)->GetBool(39, imported), kOK);
}
