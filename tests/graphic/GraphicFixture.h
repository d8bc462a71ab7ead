// A reference host with private folders, published as the class-factory slot and the core registry.
#pragma once

#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "brask/ObjectCounter.h"
#include "brask_host/Host.h"
#include "shell/ClassFactorySlot.h"

#include <gtest/gtest.h>

namespace BRASK::TEST {

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
