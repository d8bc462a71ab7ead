// The platform layer: run-time loading of libraries and files by pattern. (The thread and process ids are
// held by the tests that name files after them: the intermediate PDF's and the interpreter's font folder.)
#include "Platform.h"
#include "../support/TempDir.h"
#include "DynamicLibrary.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace BRASK::PLATFORM {
namespace {

namespace fs = std::filesystem;

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

TEST(PlatformFilesTest, FindFilesMatchesThePatternAndDeleteFileOnlyFiles) {
    const TEST::TempDir temp;
    const fs::path& folder = temp.Path();
    fs::create_directories(folder / "sub.ps");
    for (const char* name :
         {"b.ps", "a.ps", "c.txt", "upper.PS", "ps", "x.ps.bak", ".hidden.ps", "sub.ps/in.ps"})
        std::ofstream(folder / name) << "x";
    const std::string dir = folder.string();
    EXPECT_EQ(FindFiles(dir, "*.ps"), (std::vector<std::string>{".hidden.ps", "a.ps", "b.ps", "sub.ps"}));
    EXPECT_EQ(FindFiles(dir + "/", "*.ps", true),
              (std::vector<std::string>{".hidden.ps", "a.ps", "b.ps", "sub.ps", "upper.PS"}));
    EXPECT_EQ(FindFiles(dir, "?.ps"), (std::vector<std::string>{"a.ps", "b.ps"}));
    EXPECT_TRUE(FindFiles(dir + "/missing", "*").empty());

    const std::string named = (folder / "Größe €.pdf").string();
    std::ofstream(named) << "x";
    EXPECT_TRUE(DeleteFile(CoreString(ToUTF16(named))));
    EXPECT_FALSE(fs::exists(named));
    EXPECT_FALSE(DeleteFile(named));
    EXPECT_FALSE(DeleteFile(std::string()));
    EXPECT_FALSE(DeleteFile(dir + "/sub.ps"));
    EXPECT_TRUE(fs::is_directory(folder / "sub.ps"));
}

} // namespace
} // namespace BRASK::PLATFORM
