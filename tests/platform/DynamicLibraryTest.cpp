#include "DynamicLibrary.h"
#include "Platform.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>

namespace BRASK::PLATFORM {
namespace {

bool IsResident(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle != nullptr)
        dlclose(handle);
    return handle != nullptr;
}

TEST(DynamicLibraryTest, LoadsLocallyCallsInAndUnloads) {
    {
        DynamicLibrary library;
        ASSERT_TRUE(library.LoadLibrary(CoreString(BXString(PLATFORM_PROBE_MODULE)))) << library.Error();
        auto probe = library.GetProc<int (*)(int)>("BraskPlatformProbe");
        ASSERT_NE(probe, nullptr) << library.Error();
        EXPECT_EQ(probe(5), 16);
        auto* value = static_cast<int*>(library.GetProcAddress("BraskPlatformProbeValue"));
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, 7);
        EXPECT_EQ(dlsym(RTLD_DEFAULT, "BraskPlatformProbe"), nullptr); // kept out of the global namespace
        EXPECT_EQ(library.GetProcAddress("BraskNoSuchSymbol"), nullptr);
        EXPECT_NE(library.Error().find("BraskNoSuchSymbol"), std::string::npos) << library.Error();

        DynamicLibrary moved = std::move(library); // hands the one reference over
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_EQ(moved.GetProc<int (*)(int)>("BraskPlatformProbe")(1), 4);
    }
    EXPECT_FALSE(IsResident(PLATFORM_PROBE_MODULE));

    DynamicLibrary library(PLATFORM_PROBE_MODULE);
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_TRUE(library.FreeLibrary());
    EXPECT_FALSE(IsResident(PLATFORM_PROBE_MODULE));
    EXPECT_EQ(library.GetProcAddress("BraskPlatformProbe"), nullptr);
    EXPECT_EQ(library.Error(), "no library loaded");
    {
        DynamicLibrary kept(PLATFORM_PROBE_KEPT_MODULE);
        kept.KeepLoaded();
    }
    EXPECT_TRUE(IsResident(PLATFORM_PROBE_KEPT_MODULE));
}

TEST(DynamicLibraryTest, FailuresKeepTheLoaderText) {
    const std::string missing = std::string(BRASK_APP_DIR) + "/" + LibraryFileName("BraskNotThere");
    DynamicLibrary library(missing);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_NE(library.Error().find("libBraskNotThere.so: cannot open"), std::string::npos) << library.Error();
    // Immediate binding: an undefined symbol stops the load instead of failing at the first call.
    EXPECT_FALSE(library.LoadLibrary(PLATFORM_UNRESOLVED_MODULE));
    EXPECT_NE(library.Error().find("BraskPlatformNowhere"), std::string::npos) << library.Error();
    // A failure after a success leaves nothing loaded.
    ASSERT_TRUE(library.LoadLibrary(PLATFORM_PROBE_MODULE));
    EXPECT_FALSE(library.LoadLibrary(std::string()));
    EXPECT_FALSE(library.IsLoaded());
}

} // namespace
} // namespace BRASK::PLATFORM
