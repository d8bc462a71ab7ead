#include "Platform.h"
#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <latch>
#include <set>
#include <thread>

namespace BRASK::PLATFORM {
namespace {

namespace fs = std::filesystem;

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

TEST(PlatformIdsTest, ThreadIdsDifferBetweenLiveThreads) {
    std::set<std::uint32_t> ids{CurrentThreadId()};
    std::uint32_t seen[4] = {};
    std::latch allRead(4); // every thread lives until all have read their ids, so none is reused
    std::vector<std::thread> threads;
    for (int i = 0; i < 4; ++i)
        threads.emplace_back([&, i] {
            seen[i] = CurrentThreadId();
            allRead.arrive_and_wait();
        });
    for (std::thread& thread : threads)
        thread.join();
    ids.insert(std::begin(seen), std::end(seen));
    EXPECT_EQ(ids.size(), 5u);
    EXPECT_EQ(CurrentProcessId(), static_cast<std::uint32_t>(getpid()));
}

} // namespace
} // namespace BRASK::PLATFORM
