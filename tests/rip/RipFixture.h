// A reference host whose application folder is one of the stand-in wrapper folders.
#pragma once

#include "../support/LogCapture.h"
#include "../support/TempDir.h"

#include "ClassFactorySlot.h"
#include "brask/ObjectCounter.h"
#include "brask_host/Host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

namespace BRASK::TEST {

class RipFixture : public ::testing::Test {
protected:
    void UseApplicationFolder(const std::string& variant) {
        if (mHost) {
            mHost->UnpublishCoreRegistry();
            COREREGISTRY::ClassFactorySlot::Set(nullptr);
        }
        HOST::HostOptions options;
        options.applicationDir =
            variant.empty() ? std::string() : std::string(BRASK_FAKES_DIR) + "/" + variant;
        options.temporaryDir = mTempDir.Path().string();
        mHost = HOST::Host::Create(options);
        mHost->PublishAsCoreRegistry();
        COREREGISTRY::ClassFactorySlot::Set(mHost.Get());
    }
    void SetUp() override { mLive = ObjectCounter::Live(); }
    void TearDown() override {
        COREREGISTRY::ClassFactorySlot::Set(nullptr);
        if (mHost)
            mHost->UnpublishCoreRegistry();
        mHost.Reset();
        EXPECT_EQ(ObjectCounter::Live(), mLive) << "objects leaked";
    }

    // A function the loaded stand-in exports for the test to read back.
    template <class F> static F FakeSymbol(const std::string& library, const char* name) {
        void* handle = dlopen(library.c_str(), RTLD_NOW | RTLD_NOLOAD);
        return handle == nullptr ? nullptr : reinterpret_cast<F>(dlsym(handle, name));
    }

    TempDir mTempDir;
    TInterfacePtr<HOST::Host> mHost;
    std::int64_t mLive = 0;
};

} // namespace BRASK::TEST
