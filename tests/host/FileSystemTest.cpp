// Special folders, folders and files on disk.
#include "HostTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

namespace BRASK::HOST::TEST {
namespace {

using FILE_SYS::IDir;
using FILE_SYS::IFile;
using FILE_SYS::ISystemDirContainer;

using FileSystemTest = HostTest;

TEST_F(FileSystemTest, SpecialFoldersAreTheApplicationAndTemporaryFolders) {
    auto container = Make<ISystemDirContainer>(CLSID::SystemDirContainer);
    TInterfacePtr<IDir> dir;
    ASSERT_EQ(container->GetSpecialDir(FILE_SYS::kApplicationDir, dir), kOK);
    EXPECT_EQ(Utf8(dir->GetPath(true)), std::filesystem::path(BRASK_APP_DIR).lexically_normal().string());
    ASSERT_EQ(container->GetSpecialDir(FILE_SYS::kTemporaryDir, dir), kOK);
    EXPECT_EQ(Utf8(dir->GetPath(true)), mTempDir);
    EXPECT_TRUE(dir->Exists());

    for (std::int32_t which : {1, 2, 3, 5, -1, 1000}) {
        EXPECT_EQ(container->GetSpecialDir(which, dir), ISystemDirContainer::kUnknownDir) << which;
        EXPECT_FALSE(dir);
    }
}

// Sets an environment variable for the scope and restores the old value.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : mName(name) {
        if (const char* old = std::getenv(name))
            mOld = old;
        if (value != nullptr)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (mOld)
            ::setenv(mName, mOld->c_str(), 1);
        else
            ::unsetenv(mName);
    }

private:
    const char* mName;
    std::optional<std::string> mOld;
};

std::string TemporaryDirOf(Host& host) {
    TInterfacePtr<ISystemDirContainer> container;
    EXPECT_EQ(BRASK::CreateInstance(&host, CLSID::SystemDirContainer, container), kOK);
    TInterfacePtr<IDir> dir;
    EXPECT_EQ(container->GetSpecialDir(FILE_SYS::kTemporaryDir, dir), kOK);
    return Utf8(dir->GetPath(true));
}

TEST_F(FileSystemTest, TemporaryFolderDefaultsToTmpdirThenSlashTmp) {
    {
        ScopedEnv env("TMPDIR", (mTempDir + "/").c_str());
        auto host = Host::Create(HostOptions{BRASK_APP_DIR, ""});
        EXPECT_EQ(TemporaryDirOf(*host), mTempDir); // trailing separator dropped
    }
    {
        ScopedEnv env("TMPDIR", nullptr);
        auto host = Host::Create(HostOptions{BRASK_APP_DIR, ""});
        EXPECT_EQ(TemporaryDirOf(*host), "/tmp");
    }
    {
        ScopedEnv env("TMPDIR", "");
        auto host = Host::Create(HostOptions{BRASK_APP_DIR, ""});
        EXPECT_EQ(TemporaryDirOf(*host), "/tmp");
    }
}

TEST_F(FileSystemTest, DirCreatesMissingParentsAndFailsOverAFile) {
    auto dir = Make<IDir>(CLSID::SystemDir);
    EXPECT_FALSE(dir->Exists());
    EXPECT_EQ(dir->Create(), IDir::kCreateFailed); // no path yet
    EXPECT_EQ(dir->SetPath(CoreString()), kBadArgument);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath("a/b/c"))), kOK);
    EXPECT_FALSE(dir->Exists());
    EXPECT_EQ(dir->Create(), kOK);
    EXPECT_TRUE(dir->Exists());
    EXPECT_TRUE(std::filesystem::is_directory(TempPath("a/b/c")));
    EXPECT_EQ(dir->Create(), kOK); // already there

    WriteFile(TempPath("plain"), "x");
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath("plain"))), kOK);
    EXPECT_FALSE(dir->Exists());
    EXPECT_EQ(dir->Create(), IDir::kCreateFailed);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath("plain/below"))), kOK);
    EXPECT_EQ(dir->Create(), IDir::kCreateFailed);
}

TEST_F(FileSystemTest, CreateFileMakesANewEmptyFileAndNeverReusesAName) {
    auto dir = Make<IDir>(CLSID::SystemDir);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(mTempDir + "/")), kOK);
    TInterfacePtr<IFile> file;
    ASSERT_EQ(dir->CreateFile(u"IGraphicsFileTemp1.ps", file), kOK);
    ASSERT_TRUE(file);
    EXPECT_TRUE(file->Exists());
    EXPECT_EQ(Utf8(file->GetPath(true)), TempPath("IGraphicsFileTemp1.ps"));
    EXPECT_EQ(std::filesystem::file_size(TempPath("IGraphicsFileTemp1.ps")), 0u);

    WriteFile(TempPath("taken.ps"), "keep me");
    EXPECT_EQ(dir->CreateFile(u"taken.ps", file), IDir::kFileExists);
    EXPECT_FALSE(file);
    EXPECT_EQ(ReadFile(TempPath("taken.ps")), "keep me");

    for (const char16_t* bad : {u"", u".", u"..", u"sub/name"}) {
        EXPECT_EQ(dir->CreateFile(bad, file), IDir::kCreateFailed);
        EXPECT_FALSE(file);
    }
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath("missing"))), kOK);
    EXPECT_EQ(dir->CreateFile(u"x.ps", file), IDir::kCreateFailed);
}

TEST_F(FileSystemTest, NonAsciiNamesReachTheDiskAsUtf8) {
    auto dir = Make<IDir>(CLSID::SystemDir);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(mTempDir)), kOK);
    TInterfacePtr<IFile> file;
    ASSERT_EQ(dir->CreateFile(u"Gr\u00FC\u00DFe \u20AC.eps", file), kOK);
    EXPECT_TRUE(std::filesystem::exists(TempPath("Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x82\xAC.eps")));
}

TEST_F(FileSystemTest, FileCreateKeepsContentAndDeleteReportsWhatHappened) {
    auto file = Make<IFile>(CLSID::SystemFile);
    EXPECT_EQ(file->SetPath(CoreString()), kBadArgument);
    const std::string path = TempPath("made.txt");
    ASSERT_EQ(file->SetPath(CoreString::FromUTF8(path)), kOK);
    EXPECT_FALSE(file->Exists());
    EXPECT_EQ(file->Create(), kOK);
    EXPECT_TRUE(file->Exists());

    WriteFile(path, "content");
    EXPECT_EQ(file->Create(), kOK);
    EXPECT_EQ(ReadFile(path), "content");

    EXPECT_EQ(file->Delete(), kOK);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(file->Delete(), IFile::kNotFound);

    ASSERT_EQ(file->SetPath(CoreString::FromUTF8(TempPath("nofolder/x.txt"))), kOK);
    EXPECT_EQ(file->Create(), IFile::kCreateFailed);
    EXPECT_EQ(file->Delete(), IFile::kNotFound);

    // A folder is not a file: it neither exists as one nor can be deleted as one.
    std::filesystem::create_directory(TempPath("folder"));
    ASSERT_EQ(file->SetPath(CoreString::FromUTF8(TempPath("folder"))), kOK);
    EXPECT_FALSE(file->Exists());
    EXPECT_EQ(file->Create(), IFile::kCreateFailed);
    EXPECT_EQ(file->Delete(), IFile::kDeleteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(TempPath("folder")));
}

TEST_F(FileSystemTest, RelativePathsAreMadeAbsoluteOnRequest) {
    auto file = Make<IFile>(CLSID::SystemFile);
    ASSERT_EQ(file->SetPath(u"rel/../name.txt"), kOK);
    EXPECT_EQ(file->GetPath(false), CoreString(u"rel/../name.txt"));
    EXPECT_EQ(Utf8(file->GetPath(true)), (std::filesystem::current_path() / "name.txt").string());
}

} // namespace
} // namespace BRASK::HOST::TEST
