// The graphic tests' fixtures: a reference host with private folders, published as the class-factory slot and
// the core registry; and for the conversion paths the stand-in wrappers (whose output the tests steer) with a
// stand-in discovery service whose PDF graphic reports a chosen user-space size and records the PDF bytes it
// was given.
#pragma once

#include "../support/HostFixture.h"

#include "BaseTileAdaptor.h"
#include "ClassFactorySlot.h"
#include "LibUtils.h"
#include "PDFBasedCG.h"
#include "PluginClassFactories.h"

#include "FakeOutput.h"

#include <dlfcn.h>
#include <fstream>
#include <sys/syscall.h>
#include <unistd.h>

namespace BRASK::TEST {

// A connection space stand-in: the host's real one needs a PDF, which these tests do not convert.
class StubConnectionSpace : public TObject<GRAPHICS::IConnectionSpace> {
public:
    const std::uint8_t* GetPDFData() const override { return nullptr; }
    std::uint32_t GetPDFSize() const override { return 0; }
    GRAPHICS::Rect<float> GetPageBox() const override { return {}; }
};

// An intermediate PDF graphic that answers like the host's: a dictionary with keys 14/15 and a connection
// space handed to the tiles it adapts.
class StubPDFGraphic : public COREREGISTRY::BaseTileAdaptor<GRAPHICS::ICompositeGraphic> {
public:
    StubPDFGraphic(IClassFactory* factory, float width, float height, bool withDictionary) {
        if (withDictionary) {
            TInterfacePtr<IDictionary> dictionary;
            IO::CreatePersistentDictionary(factory, dictionary);
            dictionary->SetFloat(FILTERKEY::kWidth, width);
            dictionary->SetFloat(FILTERKEY::kHeight, height);
            AttachInterface(dictionary.Get(), CLSID::FilterDictionaryKey);
        }
        mSpace.Adopt(new StubConnectionSpace);
    }
    Status AdaptTile(GRAPHICS::ITile*, GRAPHICS::ITile* out) override {
        ++adaptCalls;
        if (out != nullptr) {
            lastBounds = out->GetBounds();
            out->AttachInterface(mSpace.Get(), CLSID::ConnectionSpaceKey);
        }
        return adaptStatus;
    }
    Status Init(IClassFactory&, IO::IDataProvider&, const IDictionary*) override { return kOK; }

    int adaptCalls = 0;
    Status adaptStatus = kOK;
    GRAPHICS::Rect<float> lastBounds{};
    TInterfacePtr<GRAPHICS::IConnectionSpace> mSpace;
};

// The bytes under `key` (none when the key holds no bytes).
inline std::vector<std::uint8_t> BytesAt(const IDictionary& dictionary, std::int32_t key) {
    const std::uint8_t* data = nullptr;
    std::uint32_t length = 0;
    if (dictionary.GetBytes(key, &data, &length) != kOK)
        return {};
    return std::vector<std::uint8_t>(data, data + length);
}

class GraphicFixture : public HostFixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        UseHost(mAppDir.Path().string());
    }
    HOST::Host& UseHost(const std::string& applicationDir, const std::string& temporaryDir = {}) override {
        HostFixture::UseHost(applicationDir, temporaryDir);
        mHost->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
        return *mHost;
    }
    void DropHost() override {
        COREREGISTRY::ClassFactorySlot::Set(nullptr);
        HostFixture::DropHost();
    }

    // A new composite graphic as GetClassObject makes it.
    static TInterfacePtr<COREREGISTRY::PDFBasedCG> NewGraphic() {
        TInterfacePtr<COREREGISTRY::PDFBasedCG> graphic;
        graphic.Adopt(
            dynamic_cast<COREREGISTRY::PDFBasedCG*>(COREREGISTRY::CreateICompositeGraphic(nullptr)));
        return graphic;
    }

    TempDir mAppDir;
};

class StubDiscovery : public TObject<GRAPHICS::IInterfaceDiscoveryService> {
public:
    Status CreateCompositeGraphic(IClassFactory& factory, IO::IDataProvider& data,
                                  TInterfacePtr<GRAPHICS::ICompositeGraphic>& graphic, std::uint32_t type,
                                  const IDictionary*) override {
        ++calls;
        lastType = type;
        pdf.assign(static_cast<std::size_t>(std::max(data.GetSize(), 0)), '\0');
        std::uint32_t count = static_cast<std::uint32_t>(pdf.size());
        data.SetPosition(0, IO::IDataProvider::kFromStart);
        data.Read(pdf.data(), count);
        pdf.resize(count);
        if (status == kOK)
            graphic.Adopt(new StubPDFGraphic(&factory, width, height, true));
        return status;
    }
    float width = 0;
    float height = 0;
    Status status = kOK;
    int calls = 0;
    std::uint32_t lastType = 0;
    std::string pdf; // the bytes of the last PDF handed over
};

using GraphicPtr = TInterfacePtr<COREREGISTRY::PDFBasedCG>;

class ImportFixture : public GraphicFixture {
protected:
    static inline const std::string kFakes = std::string(BRASK_FAKES_DIR) + "/combined";

    void SetUp() override {
        Fixture::SetUp();
        UseHost(kFakes); // the stand-in wrappers live in the folder the processors' tests use
        mDiscovery.Adopt(new StubDiscovery);
        TInterfacePtr<GRAPHICS::IGraphicsEnvironment> environment;
        CreateInstance(mHost.Get(), CLSID::GraphicsEnvironment, environment);
        environment->AttachInterface(mDiscovery.Get(), CLSID::DiscoveryServiceKey);
    }
    void TearDown() override {
        SetOutputMode(FAKE::kWritePDF);
        mDiscovery.Reset();
        GraphicFixture::TearDown();
    }

    // What both stand-in wrappers do with the output path (they are loaded by the first conversion).
    static void SetOutputMode(int mode) {
        for (const char* library : {"/PDFToolBox/libCallasWrapper.so", "/libBraskPDF.so"})
            if (auto set = Fake<void (*)(int)>(library, "fake_set_output_mode"))
                set(mode);
    }
    template <class F> static F Fake(const char* library, const char* name) {
        void* handle = dlopen((kFakes + library).c_str(), RTLD_NOW | RTLD_NOLOAD);
        return handle == nullptr ? nullptr : reinterpret_cast<F>(dlsym(handle, name));
    }
    // The converter's last job-options text.
    static std::string JobText() {
        auto text = Fake<const char* (*)()>("/PDFToolBox/libCallasWrapper.so", "fake_job_text");
        return text != nullptr ? text() : "";
    }

    // Files and links left in the temporary folder (the interpreter keeps folders of its own there).
    std::vector<std::string> LeftFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(mTemp.Path()))
            if (!entry.is_directory() || entry.is_symlink())
                names.push_back(entry.path().filename().string());
        return names;
    }
    // The intermediate PDF path of the calling thread.
    std::string PDFPath() const {
        return (mTemp.Path() / (std::to_string(syscall(SYS_gettid)) + "temp.pdf")).string();
    }
    // Pictures lie in the application folder, away from the temporary folder the tests watch.
    std::string WriteFile(const std::string& name, const std::string& text) {
        const std::string path = (mAppDir.Path() / name).string();
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
    // Places the EPS text (written to `name`) on the converter or the interpreter path.
    GraphicPtr PlaceText(const std::string& text, bool interpreter, Status* status = nullptr,
                         const std::string& name = "picture.eps") {
        auto source = FileSource(WriteFile(name, text));
        GraphicPtr graphic = NewGraphic();
        auto options = NewDictionary();
        if (interpreter)
            options->SetBool(OPTIONKEY::kUseInterpreter, true);
        const Status result = graphic->Init(*mHost, *source, options.Get());
        if (status != nullptr)
            *status = result;
        return graphic;
    }
    static IDictionary& Dictionary(COREREGISTRY::PDFBasedCG& graphic) {
        return *FindAttached<IDictionary>(graphic, CLSID::FilterDictionaryKey);
    }
    static float Key(COREREGISTRY::PDFBasedCG& graphic, std::int32_t key) {
        float value = -1;
        Dictionary(graphic).GetFloat(key, value);
        return value;
    }

    TInterfacePtr<StubDiscovery> mDiscovery;
};

} // namespace BRASK::TEST
