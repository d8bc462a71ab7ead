// Special folders, folders and files on disk.
#include "HostTestSupport.h"

#include <sys/stat.h>

namespace BRASK::HOST::TEST {
namespace {

using FILE_SYS::IDir;
using FILE_SYS::IFile;
using FileSystemTest = HostTest;

std::string SpecialDir(Host& host, std::int32_t which, Status expected = kOK) {
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    EXPECT_EQ(BRASK::CreateInstance(&host, CLSID::SystemDirContainer, container), kOK);
    TInterfacePtr<IDir> dir;
    EXPECT_EQ(container->GetSpecialDir(which, dir), expected) << which;
    return dir ? Utf8(dir->GetPath(true)) : "<none>";
}

TEST_F(FileSystemTest, SpecialFoldersAreTheGivenOrDefaultOnes) {
    EXPECT_EQ(SpecialDir(*mHost, 0), std::filesystem::path(BRASK_APP_DIR).lexically_normal().string());
    EXPECT_EQ(SpecialDir(*mHost, 4), mTempDir);
    for (std::int32_t which : {1, 2, 3, 5, -1, 1000})
        EXPECT_EQ(SpecialDir(*mHost, which, FILE_SYS::ISystemDirContainer::kUnknownDir), "<none>");

    // Not given: the program's folder.
    EXPECT_EQ(SpecialDir(*Host::Create(HostOptions{"", ""}), 0),
              std::filesystem::canonical("/proc/self/exe").parent_path().string());
}

// Not given, the temporary folder is a private folder of this user under $TMPDIR (else /tmp), made when
// first asked for and removed with its contents when the host and the objects naming it are gone.
TEST_F(FileSystemTest, DefaultTemporaryFolderIsPrivateAndGoesWithTheHost) {
    BRASK::TEST::ScopedEnv tmpdir("TMPDIR", nullptr);
    for (const char* unusable : {static_cast<const char*>(nullptr), ""}) {
        tmpdir.Set(unusable);
        EXPECT_EQ(std::filesystem::path(SpecialDir(*Host::Create(), 4)).parent_path().string(), "/tmp");
    }
    tmpdir.Set((mTempDir + "/").c_str());
    auto host = Host::Create(HostOptions{"", ""});
    tmpdir.Set(nullptr);                              // read when the host is made
    EXPECT_TRUE(std::filesystem::is_empty(mTempDir)); // nothing made before it is asked for
    const std::string folder = SpecialDir(*host, 4);
    EXPECT_EQ(std::filesystem::path(folder).parent_path().string(), mTempDir);
    EXPECT_EQ(SpecialDir(*host, 4), folder); // one folder per host
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_NE(SpecialDir(*Host::Create(HostOptions{"", ""}), 4), folder); // another host, another folder
    WriteFile(folder + "/left.pdf", "x");
    std::filesystem::create_directory(folder + "/sub");
    WriteFile(folder + "/sub/deeper", "y");
    std::filesystem::create_directory_symlink(mTempDir, folder + "/outside"); // removed, not followed
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    ASSERT_EQ(BRASK::CreateInstance(host.Get(), CLSID::SystemDirContainer, container), kOK);
    host.Reset();
    EXPECT_TRUE(std::filesystem::exists(folder)); // still named by the container
    container.Reset();
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(std::filesystem::is_empty(mTempDir));

    // A parent where no folder can be made: no temporary folder, never the root.
    tmpdir.Set((mTempDir + "/missing").c_str());
    EXPECT_EQ(SpecialDir(*Host::Create(), 4, IDir::kCreateFailed), "<none>");
}

TEST_F(FileSystemTest, DirCreatesMissingParentsAndNeverOverAFile) {
    auto dir = Make<IDir>(CLSID::SystemDir);
    EXPECT_EQ(dir->Create(), IDir::kCreateFailed); // no path yet
    EXPECT_EQ(dir->SetPath(CoreString()), kBadArgument);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath("a/b/c"))), kOK);
    EXPECT_FALSE(dir->Exists());
    EXPECT_EQ(dir->Create(), kOK);
    EXPECT_TRUE(dir->Exists() && std::filesystem::is_directory(TempPath("a/b/c")));
    EXPECT_EQ(dir->Create(), kOK); // already there
    WriteFile(TempPath("plain"), "x");
    for (const char* overFile : {"plain", "plain/below"}) {
        ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(TempPath(overFile))), kOK);
        EXPECT_TRUE(!dir->Exists() && dir->Create() == IDir::kCreateFailed) << overFile;
    }
}

TEST_F(FileSystemTest, CreateFileMakesANewEmptyFileAndNeverReusesOrEscapesAName) {
    auto dir = Make<IDir>(CLSID::SystemDir);
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(mTempDir + "/")), kOK);
    TInterfacePtr<IFile> file;
    ASSERT_EQ(dir->CreateFile(u"Gr\u00FC\u00DFe \u20AC.ps", file), kOK);
    const std::string made = TempPath("Gr\xC3\xBC\xC3\x9F"
                                      "e \xE2\x82\xAC.ps");
    EXPECT_TRUE(file->Exists());
    EXPECT_EQ(Utf8(file->GetPath(true)), made);
    EXPECT_EQ(std::filesystem::file_size(made), 0u);
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

TEST_F(FileSystemTest, FileCreateKeepsContentAndDeleteReportsWhatHappened) {
    auto file = Make<IFile>(CLSID::SystemFile);
    EXPECT_EQ(file->SetPath(CoreString()), kBadArgument);
    ASSERT_EQ(file->SetPath(u"rel/../name.txt"), kOK);
    EXPECT_EQ(file->GetPath(false), CoreString(u"rel/../name.txt"));
    EXPECT_EQ(Utf8(file->GetPath(true)), (std::filesystem::current_path() / "name.txt").string());
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
    EXPECT_TRUE(file->Create() == IFile::kCreateFailed && file->Delete() == IFile::kNotFound);
    // A folder is not a file: it neither exists as one nor can be deleted as one.
    std::filesystem::create_directory(TempPath("folder"));
    ASSERT_EQ(file->SetPath(CoreString::FromUTF8(TempPath("folder"))), kOK);
    EXPECT_FALSE(file->Exists());
    EXPECT_EQ(file->Create(), IFile::kCreateFailed);
    EXPECT_EQ(file->Delete(), IFile::kDeleteFailed);
    EXPECT_TRUE(std::filesystem::is_directory(TempPath("folder")));
}

} // namespace
} // namespace BRASK::HOST::TEST
