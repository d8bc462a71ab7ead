// Several processes building the shared stub tree at the same moment.
#include "StubTreeFixture.h"
#include "TestFontManager.h"

#include "fontstubs/FontDevice.h"

#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using BRASK::TEST::TestFontManager;

namespace {
class ConcurrentStart : public BRASK::TEST::StubTreeFixture {};
} // namespace

TEST_F(ConcurrentStart, ProcessesStartingTogetherLeaveEveryStubAndIndexLineWhole) {
    TestFontManager fonts;
    constexpr int kFonts = 150;
    for (int i = 0; i < kFonts; ++i)
        fonts.Add("Font-" + std::to_string(i), "/fonts/c/f" + std::to_string(i) + ".ttf", XF::kXTrueType,
                  false);

    int go[2];
    ASSERT_EQ(pipe(go), 0);
    constexpr int kProcesses = 6;
    std::vector<pid_t> children;
    for (int c = 0; c < kProcesses; ++c) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(go[1]);
            char byte = 0;
            // Every child waits until the parent closes the pipe, then all start at once.
            while (read(go[0], &byte, 1) > 0) {
            }
            { FontDevice device(fonts); }
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

    const std::string tail = " definesfntfontset 0 get definefont pop";
    std::multiset<std::string> lines;
    std::istringstream index(Read(Western() / "_edir_"));
    for (std::string line; std::getline(index, line);)
        lines.insert(line);
    EXPECT_EQ(lines.size(), 3u * kFonts);
    for (int i = 0; i < kFonts; ++i) {
        const std::string n = std::to_string(i);
        const std::string file = "%psfont%f" + n + ".ttf)";
        for (const std::string& name : {"Font-" + n, "Font," + n, "Font" + n}) {
            EXPECT_EQ(Read(Western() / (name + ".ps")), "/" + name + "  (" + file + tail) << name;
            EXPECT_EQ(lines.count("/" + name + "  (" + name + ".ps)"), 1u) << name;
        }
    }
    std::string categories;
    for (int c = 0; c < kProcesses; ++c)
        categories += "/Font  (WesternFonts)\n/CIDFont  (EAFonts)\n/FontSet  (FontSet)\n";
    EXPECT_EQ(Read(Stubs() / "_edir_"), categories);
}
