// A reference host with private folders, published as the class-factory slot and the core registry.
#pragma once

#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "BaseTileAdaptor.h"
#include "LibUtils.h"

#include "ClassFactorySlot.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/ObjectCounter.h"
#include "brask_host/Host.h"

#include <gtest/gtest.h>

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

class GraphicFixture : public ::testing::Test {
protected:
    void SetUp() override {
        mLiveAtStart = ObjectCounter::Live();
        HOST::HostOptions options;
        options.applicationDir = mAppDir.Path().string();
        options.temporaryDir = mTempDir.Path().string();
        mHost = HOST::Host::Create(options);
        mHost->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
    }
    void TearDown() override {
        COREREGISTRY::ClassFactorySlot::Set(nullptr);
        mHost->UnpublishCoreRegistry();
        mHost.Reset();
        EXPECT_EQ(ObjectCounter::Live(), mLiveAtStart) << "objects leaked";
    }

    TempDir mAppDir;
    TempDir mTempDir;
    TInterfacePtr<HOST::Host> mHost;
    std::int64_t mLiveAtStart = 0;
};

} // namespace BRASK::TEST
