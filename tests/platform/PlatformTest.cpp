#include "platform/Platform.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <latch>
#include <set>
#include <thread>

namespace BRASK::PLATFORM {
namespace {

namespace fs = std::filesystem;

// A fresh folder under the temporary folder, removed with the object.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "brask-platform-XXXXXX").string();
        mPath = mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        if (!mPath.empty())
            fs::remove_all(mPath, ignored);
    }
    const std::string& Path() const { return mPath; }
    std::string Touch(const std::string& name) const {
        const std::string path = mPath + PathSeparator() + name;
        std::ofstream(path) << "x";
        return path;
    }

private:
    std::string mPath;
};

TEST(PlatformFilesTest, FindFilesMatchesThePattern) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    for (const char* name : {"b.ps", "a.ps", "c.txt", "upper.PS", "ps", "x.ps.bak", ".hidden.ps"})
        folder.Touch(name);
    fs::create_directory(folder.Path() + "/sub.ps");
    folder.Touch("sub.ps/inner.ps");

    EXPECT_EQ(FindFiles(folder.Path(), "*.ps"),
              (std::vector<std::string>{".hidden.ps", "a.ps", "b.ps", "sub.ps"}));
    EXPECT_EQ(FindFiles(folder.Path() + "/", "*.ps", true),
              (std::vector<std::string>{".hidden.ps", "a.ps", "b.ps", "sub.ps", "upper.PS"}));
    EXPECT_EQ(FindFiles(folder.Path(), "?.ps"), (std::vector<std::string>{"a.ps", "b.ps"}));
    EXPECT_EQ(FindFiles(folder.Path(), "*").size(), 8u);
    EXPECT_TRUE(FindFiles(folder.Path(), "*.pfb").empty());
    EXPECT_TRUE(FindFiles(folder.Path() + "/missing", "*").empty());
}

TEST(PlatformFilesTest, DeleteFileRemovesOnlyFiles) {
    TempFolder folder;
    ASSERT_FALSE(folder.Path().empty());
    const std::string path = folder.Touch("1234temp.pdf");
    ASSERT_TRUE(fs::exists(path));
    EXPECT_TRUE(DeleteFile(path));
    EXPECT_FALSE(fs::exists(path));
    EXPECT_FALSE(DeleteFile(path));
    EXPECT_FALSE(DeleteFile(std::string()));
    EXPECT_FALSE(DeleteFile(folder.Path()));
    EXPECT_TRUE(fs::is_directory(folder.Path()));

    const std::string named = folder.Touch("Größe €.pdf");
    EXPECT_TRUE(DeleteFile(CoreString(u"") + CoreString(ToUTF16(named))));
    EXPECT_FALSE(fs::exists(named));
}

TEST(PlatformIdsTest, ThreadAndProcessIds) {
    const std::uint32_t mainThread = CurrentThreadId();
    EXPECT_EQ(CurrentThreadId(), mainThread);
    EXPECT_EQ(CurrentProcessId(), static_cast<std::uint32_t>(getpid()));

    std::set<std::uint32_t> ids{mainThread};
    std::uint32_t seen[4] = {};
    std::uint32_t processSeen[4] = {};
    // Every thread stays alive until all have read their ids, so no id can have been reused.
    std::latch allRead(4);
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i) {
        threads.emplace_back([&, i] {
            seen[i] = CurrentThreadId();
            processSeen[i] = CurrentProcessId();
            allRead.arrive_and_wait();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    for (int i = 0; i < 4; ++i) {
        EXPECT_NE(seen[i], 0u);
        EXPECT_EQ(processSeen[i], CurrentProcessId());
        ids.insert(seen[i]);
    }
    EXPECT_EQ(ids.size(), 5u);
}

TEST(PlatformIdsTest, NewGuidIsRandomVersionFour) {
    const GUID a = NewGuid();
    const GUID b = NewGuid();
    EXPECT_NE(a, b);
    EXPECT_EQ(a.Data3 >> 12, 4);
    EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
    EXPECT_EQ(GUID::FromString(a.ToString()), a);
}

TEST(PlatformSystemTest, FolderMemoryAndSeparator) {
    EXPECT_EQ(SystemFontFolder(), "/usr/share/fonts/");
    EXPECT_EQ(PathSeparator(), '/');

    std::ifstream meminfo("/proc/meminfo");
    std::string key;
    unsigned long long kib = 0;
    ASSERT_TRUE(meminfo >> key >> kib);
    ASSERT_EQ(key, "MemTotal:");
    EXPECT_EQ(TotalPhysicalMemory(), kib * 1024);
}

TEST(PlatformTextTest, UtfRoundTrips) {
    const std::string utf8 = "Grüße, 日本語, 𝄞";
    const std::u16string utf16 = ToUTF16(utf8);
    EXPECT_EQ(utf16, u"Grüße, 日本語, 𝄞");
    EXPECT_EQ(utf16.size(), 14u); // the clef is a surrogate pair
    EXPECT_EQ(ToUTF8(utf16), utf8);
    EXPECT_EQ(ToUTF8(CoreString(utf16)), utf8);
    EXPECT_EQ(ToUTF8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_TRUE(ToUTF16("").empty());
}

} // namespace
} // namespace BRASK::PLATFORM
