// Several processes building the shared stub tree at the same moment.
#include "StubTreeFixture.h"

#include "FontDevice.h"

#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace BRASK::PLUGIN;

class ConcurrentStart : public BRASK::TEST::StubTreeFixture {};

TEST_F(ConcurrentStart, ProcessesStartingTogetherLeaveEveryStubAndIndexLineWhole) {
    constexpr int kFonts = 150, kProcesses = 6;
    for (int i = 0; i < kFonts; ++i)
        mFonts.Add("Font-" + std::to_string(i), "/fonts/c/f" + std::to_string(i) + ".ttf", XF::kXTrueType,
                   false);
    int go[2];
    ASSERT_EQ(pipe(go), 0);
    std::vector<pid_t> children;
    for (int c = 0; c < kProcesses; ++c) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) { // every child waits until the parent closes the pipe, then all start at once
            close(go[1]);
            char byte = 0;
            while (read(go[0], &byte, 1) > 0) {
            }
            { FontDevice device(mHost.Get(), mFonts); }
            _exit(0);
        }
        children.push_back(pid);
    }
    close(go[0]);
    close(go[1]);
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    std::multiset<std::string> lines;
    std::istringstream index(Read(Western() / "_edir_"));
    for (std::string line; std::getline(index, line);)
        lines.insert(line);
    EXPECT_EQ(lines.size(), 3u * kFonts);
    for (int i = 0; i < kFonts; ++i) {
        const std::string n = std::to_string(i);
        for (const std::string& name : {"Font-" + n, "Font," + n, "Font" + n}) {
            EXPECT_EQ(Read(Western() / (name + ".ps")),
                      "/" + name + "  (%psfont%f" + n + ".ttf)" + BRASK::TEST::kTrueTypeTail);
            EXPECT_EQ(lines.count("/" + name + "  (" + name + ".ps)"), 1u) << name;
        }
    }
    std::string categories;
    for (int c = 0; c < kProcesses; ++c)
        categories += BRASK::TEST::kCategoryLines;
    EXPECT_EQ(Read(Stubs() / "_edir_"), categories);
}
