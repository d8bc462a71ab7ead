// A reference host with private folders, published as the class-factory slot and the core registry.
#pragma once

#include "../support/HostFixture.h"

#include "BaseTileAdaptor.h"
#include "ClassFactorySlot.h"
#include "LibUtils.h"
#include "PDFBasedCG.h"
#include "PluginClassFactories.h"

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

} // namespace BRASK::TEST
