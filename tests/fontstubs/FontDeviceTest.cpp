// The stub tree, its _edir_ index files, the two stub writers, the font path string, and several processes
// building the shared tree at the same moment.
#include "StubTreeFixture.h"

#include "FontDevice.h"
#include "brask/ClassIds.h"

#include <functional>
#include <optional>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace BRASK;
using namespace BRASK::PLUGIN;
using namespace BRASK::TEST;

namespace {

constexpr char kFontStubFile[] =
    "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::CreateFontStubFile(unsigned char "
    "*,const "
    "unsigned char *,const class BRASK::STRING::CoreString &,unsigned long,XFontSpec &,unsigned char)";
constexpr char kTTCStubFile[] = "BRASK::PLUGIN::FontStubError __cdecl "
                                "BRASK::PLUGIN::FontDevice::CreateTTCFontStubFile(unsigned char *,const "
                                "unsigned char *,unsigned char)";

const unsigned char* U(const char* text) {
    return reinterpret_cast<const unsigned char*>(text);
}

class FontDeviceTree : public StubTreeFixture {
protected:
    FontStubError Write(FontDevice& device, std::string ps, const std::string& stub, const char* file,
                        unsigned long type, bool eastAsian) {
        return device.CreateFontStubFile(reinterpret_cast<unsigned char*>(ps.data()), U(stub.c_str()),
                                         BXString(file), type, eastAsian ? 1 : 0);
    }
};

} // namespace

TEST_F(FontDeviceTree, FontFoldersInOrderOfDiscoveryAndTheSystemFolderTwice) {
    mFonts.Add("Alpha", "/fonts/b/alpha.ttf", XF::kXTrueType, false);
    mFonts.Add("Beta", "/fonts/a/beta.ttf", XF::kXTrueType, false);
    mFonts.Add("Gamma", "/fonts/b/gamma.ttf", XF::kXTrueType, false);
    mFonts.Add("Delta", "delta.ttf", XF::kXTrueType, false); // no folder: adds none
    mFonts.Add("Direct", "/usr/share/fonts/direct.ttf", XF::kXTrueType, false);
    FontDevice device(mHost.Get(), mFonts);
    EXPECT_EQ(device.GetFontPathString().GetUTF8String(),
              FontPath("/usr/share/fonts/,/fonts/b,/fonts/a,/usr/share/fonts"));
    EXPECT_EQ(Read(Western() / "Delta.ps"), "/Delta  (%psfont%delta.ttf)" + kTrueTypeTail);
}

TEST_F(FontDeviceTree, AnUnbuildableTreeLeavesTheFontPathStringEmpty) {
    mFonts.Add("Alpha", "/fonts/alpha.ttf", XF::kXTrueType, false);
    { // A file where the shared RIP folder should be: FontStubs cannot be made.
        std::ofstream(mApp / "jaws") << "in the way";
        LogCapture log;
        FontDevice device(mHost.Get(), mFonts);
        EXPECT_TRUE(device.GetFontPathString().empty());
        EXPECT_EQ(mFonts.refreshes, 0);
        const auto made = log.WithMessage("Directory creation failed");
        ASSERT_EQ(made.size(), 1u);
        EXPECT_EQ(made[0].function, "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::"
                                    "CreateJawsDirectory(class BRASK::STRING::CoreString &,class "
                                    "BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &,class "
                                    "BRASK::STRING::CoreString &,class BRASK::STRING::CoreString &)");
        const auto failed = log.WithMessage("CreateJawsDirectory failed");
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].file, kFontDeviceSource);
        EXPECT_EQ(failed[0].function, "__cdecl BRASK::PLUGIN::FontDevice::FontDevice(void)");
        std::filesystem::remove(mApp / "jaws");
    }
    { // A folder where WesternFonts/_edir_ should be.
        std::filesystem::create_directories(Western() / "_edir_");
        LogCapture log;
        FontDevice device(mHost.Get(), mFonts);
        EXPECT_TRUE(device.GetFontPathString().empty());
        EXPECT_EQ(log.WithMessage("Unable to create file.").size(), 1u);
        EXPECT_EQ(log.WithMessage("Create Jaws Edir failed").size(), 1u);
        EXPECT_FALSE(std::filesystem::exists(EastAsian()));
        EXPECT_EQ(Read(Stubs() / "_edir_"), "/Font  (WesternFonts)\n");
    }
    { // No class factory.
        LogCapture log;
        FontDevice device(nullptr, mFonts);
        EXPECT_TRUE(device.GetFontPathString().empty());
        EXPECT_EQ(log.WithMessage("CreateSystemDir failed").size(), 1u);
        EXPECT_EQ(log.WithMessage("CreateJawsDirectory failed").size(), 1u);
    }
}

TEST_F(FontDeviceTree, BadInputIsRefusedAndUnwritableStubsAreFailures) {
    FontDevice device(mHost.Get(), mFonts);
    LogCapture log;
    const CoreString dir = device.EAFontsDir();
    const std::string edir = "MakeEdirEntry input paramter fails",
                      stub = "CreateFontStubFile input paramter fails";
    constexpr char kEdirFunction[] =
        "BRASK::PLUGIN::FontStubError __cdecl BRASK::PLUGIN::FontDevice::MakeEdirEntry("
        "const class BRASK::STRING::CoreString &,const unsigned char *,const char *)";
    const struct {
        std::function<FontStubError()> call;
        FontStubError status;
        std::string message;
        const char* function;
    } rows[] = {
        {[&] { return device.MakeEdirEntry(CoreString(), U("Name"), nullptr); }, 2003, edir, kEdirFunction},
        {[&] { return device.MakeEdirEntry(dir, nullptr, nullptr); }, 2008, edir, kEdirFunction},
        {[&] { return Write(device, "Foo", "", "foo.ttf", XF::kXTrueType, false); }, 2008, stub,
         kFontStubFile},
        {[&] { return Write(device, "", "Foo", "foo.ttf", XF::kXTrueType, false); }, 2008, stub,
         kFontStubFile},
        {[&] { return Write(device, "Foo", "Foo", "", XF::kXTrueType, false); }, 2008, stub, kFontStubFile},
        {[&] { return device.CreateFontStubFile(nullptr, U("Foo"), BXString("f.ttf"), 1, 0); }, 2008, stub,
         kFontStubFile},
        {[&] { return device.CreateTTCFontStubFile(nullptr, U("Foo"), 0); }, 2008,
         "CreateTTCFontStubFile input paramter fails", kTTCStubFile},
    };
    for (const auto& row : rows) {
        log.Clear();
        EXPECT_EQ(row.call(), row.status) << row.message;
        const auto records = log.Records();
        ASSERT_EQ(records.size(), 1u) << row.message;
        EXPECT_EQ(
            std::make_tuple(records[0].MessageUTF8(), records[0].function, records[0].file, records[0].type,
                            records[0].level),
            std::make_tuple(row.message, std::string(row.function), std::string(kFontDeviceSource), 2, 1));
    }
    EXPECT_EQ(Read(EastAsian() / "_edir_"), "");
    EXPECT_TRUE(StubNames(Western()).empty());

    // URIs can no longer be made: the member stub is created but cannot be written, which is a failure.
    mHost->RegisterClass(CLSID::URI, []() -> IObject* { return nullptr; });
    log.Clear();
    EXPECT_EQ(Write(device, "Set-Member", "Set-Member", "set.ttc", XF::kXTrueType, false), 2002);
    EXPECT_EQ(log.WithMessage("CreateTTCFontStubFile failed.").size(), 1u);
    const auto uri = log.WithMessage("CreateURI failed");
    ASSERT_EQ(uri.size(), 1u);
    EXPECT_EQ(uri[0].function, kTTCStubFile);
    EXPECT_FALSE(std::filesystem::exists(FontSet() / "Set-Member.ps"));
    EXPECT_EQ(Write(device, "Solo", "Solo", "solo.ttf", XF::kXTrueType, false), 2002);
    EXPECT_EQ(log.WithMessage("CreateURI failed").back().function, kFontStubFile);
}

TEST_F(FontDeviceTree, AnApplicationFolderThisUserCannotWriteKeepsTheTreeInTheUserCache) {
    // Below a plain file the application folder cannot be written, not even by root.
    std::ofstream(mTemp.Path() / "file") << "not a folder";
    const std::filesystem::path home = mTemp.Path() / "home";
    struct Row {
        const char* name;
        std::optional<std::string> xdgCacheHome; // none: unset
        std::filesystem::path cache;
    };
    const Row rows[] = {
        {"XDG_CACHE_HOME", (mTemp.Path() / "xdg").string(), mTemp.Path() / "xdg"},
        {"relative XDG_CACHE_HOME is ignored", "relative", home / ".cache"},
        {"HOME", std::nullopt, home / ".cache"},
    };
    ScopedEnv homeEnv("HOME", home.c_str()), cache("XDG_CACHE_HOME", nullptr);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        cache.Set(row.xdgCacheHome ? row.xdgCacheHome->c_str() : nullptr);
        // A host of its own per row: the choice is made once per application folder.
        const std::filesystem::path app = mTemp.Path() / "file" / row.name;
        auto host = HOST::Host::Create(HOST::HostOptions{app.string(), (mTemp.Path() / "tmp").string()});
        LogCapture log;
        FontDevice device(host.Get(), mFonts);
        const std::filesystem::path shared = row.cache / BRASK_PROJECT_FOLDER / "jaws";
        EXPECT_EQ(Read(shared / "FontStubs" / "_edir_"), kCategoryLines);
        EXPECT_EQ(device.GetFontPathString().GetUTF8String(),
                  "%xfont%+" + shared.string() + "/FontStubs;%psfont%=/usr/share/fonts/;");
        // Said once, as information, though the folder was asked for twice.
        const auto records = log.Records();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].MessageUTF8(), "The application folder " + app.string() +
                                                " is not writable: the RIP work folder " + shared.string() +
                                                "/ holds the font stub tree");
        EXPECT_EQ(records[0].type, 1);
        EXPECT_EQ(records[0].level, 2);
        EXPECT_EQ(records[0].file, "core/Common/Headers/Jaws/JawsUtils");
        std::filesystem::remove_all(row.cache);
    }
}

TEST_F(FontDeviceTree, ProcessesStartingTogetherLeaveEveryStubAndIndexLineWhole) {
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
                      "/" + name + "  (%psfont%f" + n + ".ttf)" + kTrueTypeTail);
            EXPECT_EQ(lines.count("/" + name + "  (" + name + ".ps)"), 1u) << name;
        }
    }
    std::string categories;
    for (int c = 0; c < kProcesses; ++c)
        categories += kCategoryLines;
    EXPECT_EQ(Read(Stubs() / "_edir_"), categories);
}
