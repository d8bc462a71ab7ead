#include "platform/DynamicLibrary.h"
#include "platform/Platform.h"

#include "brask/CoreString.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <string>
#include <string_view>

namespace BRASK::PLATFORM {
namespace {

const std::string kSdkLibrary = std::string(BRASK_LIB_DIR) + "/" + LibraryFileName("brask_sdk");

bool IsResident(const std::string& path) {
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    if (handle == nullptr)
        return false;
    dlclose(handle);
    return true;
}

TEST(DynamicLibraryTest, LoadsTheSdkLibraryAndFindsItsSymbols) {
    DynamicLibrary library(kSdkLibrary);
    ASSERT_TRUE(library.IsLoaded()) << library.Error();
    EXPECT_TRUE(library.Error().empty());
    EXPECT_EQ(library.Path(), kSdkLibrary);

    // The test links the same library, so the loader hands back the very function the test calls,
    // found under its exported (mangled) name.
    using Utf8ToUtf16 = std::u16string (*)(std::string_view);
    const Utf8ToUtf16 linked = &STRING::UTF8ToUTF16;
    Dl_info info{};
    ASSERT_NE(dladdr(reinterpret_cast<void*>(linked), &info), 0);
    ASSERT_NE(info.dli_sname, nullptr);
    auto convert = library.GetProc<Utf8ToUtf16>(info.dli_sname);
    ASSERT_NE(convert, nullptr) << library.Error();
    EXPECT_EQ(convert, linked);
    EXPECT_EQ(convert("Grüße"), u"Grüße");

    EXPECT_EQ(library.GetProcAddress("BraskNoSuchSymbol"), nullptr);
    EXPECT_NE(library.Error().find("BraskNoSuchSymbol"), std::string::npos) << library.Error();
    EXPECT_EQ(library.GetProcAddress(nullptr), nullptr);
    EXPECT_FALSE(library.Error().empty());
}

TEST(DynamicLibraryTest, CallsIntoAModuleKeptLocalAndUnloadsIt) {
    {
        DynamicLibrary library;
        ASSERT_TRUE(library.LoadLibrary(CoreString(BXString(PLATFORM_PROBE_MODULE)))) << library.Error();
        auto probe = library.GetProc<int (*)(int)>("BraskPlatformProbe");
        ASSERT_NE(probe, nullptr) << library.Error();
        EXPECT_EQ(probe(5), 16);
        auto* value = static_cast<int*>(library.GetProcAddress("BraskPlatformProbeValue"));
        ASSERT_NE(value, nullptr);
        EXPECT_EQ(*value, 7);
        // Loaded locally: its symbols do not join the global namespace.
        EXPECT_EQ(dlsym(RTLD_DEFAULT, "BraskPlatformProbe"), nullptr);
        EXPECT_TRUE(IsResident(PLATFORM_PROBE_MODULE));

        // Moving hands the one reference over.
        DynamicLibrary moved = std::move(library);
        EXPECT_FALSE(library.IsLoaded());
        EXPECT_TRUE(moved.IsLoaded());
        EXPECT_EQ(moved.GetProc<int (*)(int)>("BraskPlatformProbe")(1), 4);
    }
    EXPECT_FALSE(IsResident(PLATFORM_PROBE_MODULE));

    DynamicLibrary library(PLATFORM_PROBE_MODULE);
    ASSERT_TRUE(library.IsLoaded());
    EXPECT_TRUE(library.FreeLibrary());
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_FALSE(IsResident(PLATFORM_PROBE_MODULE));
    EXPECT_EQ(library.GetProcAddress("BraskPlatformProbe"), nullptr);
    EXPECT_EQ(library.Error(), "no library loaded");
}

TEST(DynamicLibraryTest, KeptLoadedOutlivesTheObject) {
    {
        DynamicLibrary library(PLATFORM_PROBE_KEPT_MODULE);
        ASSERT_TRUE(library.IsLoaded());
        library.KeepLoaded();
    }
    EXPECT_TRUE(IsResident(PLATFORM_PROBE_KEPT_MODULE));
}

TEST(DynamicLibraryTest, FailuresKeepTheLoaderText) {
    const std::string missing = std::string(BRASK_APP_DIR) + "/" + LibraryFileName("BraskNotThere");
    DynamicLibrary library(missing);
    EXPECT_FALSE(library.IsLoaded());
    EXPECT_NE(library.Error().find("libBraskNotThere.so"), std::string::npos) << library.Error();
    EXPECT_NE(library.Error().find("No such file"), std::string::npos) << library.Error();

    // Immediate binding: an undefined symbol stops the load instead of failing at the first call.
    EXPECT_FALSE(library.LoadLibrary(PLATFORM_UNRESOLVED_MODULE));
    EXPECT_NE(library.Error().find("BraskPlatformNowhere"), std::string::npos) << library.Error();

    EXPECT_FALSE(library.LoadLibrary(std::string()));
    EXPECT_FALSE(library.Error().empty());

    // A failure after a success leaves nothing loaded.
    ASSERT_TRUE(library.LoadLibrary(PLATFORM_PROBE_MODULE));
    EXPECT_FALSE(library.LoadLibrary(missing));
    EXPECT_FALSE(library.IsLoaded());
}

TEST(DynamicLibraryTest, LibraryFileNames) {
    EXPECT_EQ(LibraryFileName("BraskPDF"), "libBraskPDF.so");
    EXPECT_EQ(LibraryFileName("CallasWrapper"), "libCallasWrapper.so");
}

} // namespace
} // namespace BRASK::PLATFORM
