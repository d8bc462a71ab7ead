// The host dictionary (every value type, conversions between numbers, copies), the class factory, its
// publication as the core registry, tiles, GUID lists, special folders, folders and files on disk.
#include "HostTestSupport.h"

#include <limits>
#include <new>
#include <sys/stat.h>

namespace BRASK::HOST::TEST {
namespace {

using DictionaryTest = HostTest;
using D = IDictionary;

// Reads `key` with `get` into an output holding `value`: the status and the output after.
template <class T>
std::pair<Status, T> Read(const D& d, Status (D::*get)(std::int32_t, T&) const, int key, T value = T(5)) {
    const Status status = (d.*get)(key, value);
    return {status, value};
}

TEST_F(DictionaryTest, ValuesRoundTripWithTheirTypeAndConvertOnlyWithinRange) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    ASSERT_TRUE(d->SetUInt8(1, 254) == kOK && d->SetUInt16(2, 65535) == kOK &&
                d->SetUInt32(3, 0xFFFFFFFFu) == kOK && d->SetInt32(4, -123456) == kOK &&
                d->SetBool(5, true) == kOK && d->SetFloat(6, 2.5f) == kOK);
    EXPECT_EQ(Read(*d, &D::GetUInt8, 1), std::pair(kOK, std::uint8_t{254}));
    EXPECT_EQ(Read(*d, &D::GetUInt16, 2), std::pair(kOK, std::uint16_t{65535}));
    EXPECT_EQ(Read(*d, &D::GetUInt32, 3), std::pair(kOK, 0xFFFFFFFFu));
    EXPECT_EQ(Read(*d, &D::GetInt32, 4), std::pair(kOK, -123456));
    EXPECT_EQ(Read(*d, &D::GetBool, 5, false), std::pair(kOK, true));
    EXPECT_EQ(Read(*d, &D::GetFloat, 6), std::pair(kOK, 2.5f));
    const D::ValueType types[] = {D::kNone,  D::kUInt8, D::kUInt16, D::kUInt32,
                                  D::kInt32, D::kBool,  D::kFloat};
    for (std::int32_t key = 0; key <= 6; ++key)
        EXPECT_EQ(d->GetType(key), types[key]) << key;
    ASSERT_EQ(d->SetFloat(1, 0.5f), kOK); // writing a key again replaces value and type
    EXPECT_EQ(d->GetType(1), D::kFloat);
    // Absent keys answer 2 and leave the output alone.
    EXPECT_EQ(Read(*d, &D::GetBool, 2009), std::pair(Status{D::kAbsent}, true));
    EXPECT_EQ(Read(*d, &D::GetInt32, 14), std::pair(Status{D::kAbsent}, 5));
    EXPECT_EQ(Read(*d, &D::GetFloat, 14), std::pair(Status{D::kAbsent}, 5.0f));
    const std::uint8_t* data = nullptr;
    EXPECT_EQ(d->GetBytes(100, &data, nullptr), D::kAbsent);
    EXPECT_EQ(d->Remove(100), D::kAbsent);
    EXPECT_EQ(d->Remove(4), kOK);
    EXPECT_EQ(d->GetKeyCount(), 5u);

    // Floats round halves away from zero; values out of range are refused, leaving the output alone.
    for (auto [stored, expected] : {std::pair{200.0f, 200},
                                    {12.4f, 12},
                                    {12.5f, 13},
                                    {12.6f, 13},
                                    {-12.5f, -13},
                                    {-0.4f, 0},
                                    {595.276f, 595}}) {
        ASSERT_EQ(d->SetFloat(14, stored), kOK);
        EXPECT_EQ(Read(*d, &D::GetInt32, 14), std::pair(kOK, expected)) << stored;
    }
    ASSERT_TRUE(d->SetFloat(1, 3.0e9f) == kOK &&
                d->SetFloat(2, std::numeric_limits<float>::quiet_NaN()) == kOK &&
                d->SetUInt32(3, 0xFFFFFFFFu) == kOK && d->SetUInt16(4, 300) == kOK &&
                d->SetInt32(5, -842) == kOK && d->SetBytes(6, "x", 1) == kOK);
    const auto wrong = Status{D::kWrongType};
    EXPECT_EQ(Read(*d, &D::GetInt32, 1), std::pair(wrong, 5));
    EXPECT_EQ(Read(*d, &D::GetInt32, 2), std::pair(wrong, 5));
    EXPECT_EQ(Read(*d, &D::GetInt32, 3), std::pair(wrong, 5));
    EXPECT_EQ(Read(*d, &D::GetUInt8, 4), std::pair(wrong, std::uint8_t{5}));
    EXPECT_EQ(Read(*d, &D::GetUInt32, 5), std::pair(wrong, 5u));
    EXPECT_EQ(Read(*d, &D::GetBool, 6), std::pair(wrong, true));
    EXPECT_EQ(Read(*d, &D::GetUInt32, 1), std::pair(kOK, 3000000000u));
    EXPECT_EQ(Read(*d, &D::GetFloat, 5), std::pair(kOK, -842.0f));
    // Booleans read from any number, and numbers from Booleans.
    ASSERT_TRUE(d->SetUInt8(7, 0) == kOK && d->SetUInt8(8, 2) == kOK && d->SetFloat(9, 0.25f) == kOK &&
                d->SetBool(10, true) == kOK);
    EXPECT_EQ(Read(*d, &D::GetBool, 7), std::pair(kOK, false));
    EXPECT_EQ(Read(*d, &D::GetBool, 8, false), std::pair(kOK, true));
    EXPECT_EQ(Read(*d, &D::GetBool, 9, false), std::pair(kOK, true));
    EXPECT_EQ(Read(*d, &D::GetUInt8, 10), std::pair(kOK, std::uint8_t{1}));
}

TEST_F(DictionaryTest, BytesAndWideStringsAreStoredByCopy) {
    auto d = Make<IDictionary>(CLSID::PersistentDictionary);
    std::uint8_t layout[12] = {3, 0, 0, 0, 'E', 'P', 'S', 'F', 'B', 'S', 'V', 'G'};
    char16_t text[] = u"EPS Format";
    ASSERT_EQ(d->SetBytes(1, layout, sizeof layout), kOK);
    ASSERT_EQ(d->SetWString(3, text, 11), kOK); // with its terminating zero unit
    layout[0] = 99;
    text[0] = u'X';
    const std::uint8_t* data = nullptr;
    const char16_t* units = nullptr;
    std::uint32_t length = 0, count = 0;
    ASSERT_EQ(d->GetBytes(1, &data, &length), kOK);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(data), length), std::string("\3\0\0\0EPSFBSVG", 12));
    ASSERT_EQ(d->GetWString(3, &units, &count), kOK);
    EXPECT_EQ(std::u16string(units, count), std::u16string(u"EPS Format", 11));
    EXPECT_EQ(d->GetType(3), IDictionary::kWString);
    EXPECT_EQ(d->GetWString(1, &units, &count), IDictionary::kWrongType);
    EXPECT_EQ(d->GetBytes(3, &data, &length), IDictionary::kWrongType);

    EXPECT_EQ(d->SetBytes(4, nullptr, 3), kBadArgument);
    EXPECT_EQ(d->SetWString(4, nullptr, 2), kBadArgument);
    EXPECT_EQ(d->GetType(4), IDictionary::kNone);
    EXPECT_EQ(d->SetBytes(4, nullptr, 0), kOK);
    EXPECT_TRUE(d->GetBytes(4, &data, &length) == kOK && length == 0u);
}

using HostFactoryTest = HostTest;

TEST_F(HostFactoryTest, EnvironmentIsSharedAndUnknownOrFailingClassesLeaveTheOutputNull) {
    auto first = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    auto second = Make<GRAPHICS::IGraphicsEnvironment>(CLSID::GraphicsEnvironment);
    EXPECT_EQ(first.Get(), second.Get());
    auto* service = FindAttached<GRAPHICS::IInterfaceDiscoveryService>(*first, CLSID::DiscoveryServiceKey);
    ASSERT_NE(service, nullptr);
    first.Reset();
    second.Reset();
    EXPECT_EQ(*service->GetIID(), GRAPHICS::IInterfaceDiscoveryService::IID);
    const GUID extra = MakeGuid(0x12345678, 0x1234, 0x1234, 0x1234, 0x123456789ABC);
    for (const GUID& unknown : {CLSID::EPSCompositeGraphic, CLSID::SecondOfferedClass, extra}) {
        IObject* out = reinterpret_cast<IObject*>(0x1);
        EXPECT_NE(mHost->CreateInstance(unknown, &out), kOK) << unknown.ToString();
        EXPECT_EQ(out, nullptr);
    }
    EXPECT_EQ(mHost->CreateInstance(CLSID::URI, nullptr), kBadArgument);
    TInterfacePtr<IO::IURI> uri; // an object of another interface is released, not leaked
    EXPECT_EQ(BRASK::CreateInstance(mHost.Get(), CLSID::PersistentDictionary, uri), kOutOfMemory);
    EXPECT_FALSE(uri);

    mHost->RegisterClass(extra, []() -> IObject* { return Host::Create().Detach(); });
    EXPECT_EQ(*Make<IObject>(extra)->GetIID(), IClassFactory::IID);
    mHost->RegisterClass(extra, []() -> IObject* { throw std::bad_alloc(); });
    IObject* out = reinterpret_cast<IObject*>(0x1);
    EXPECT_EQ(mHost->CreateInstance(extra, &out), kOutOfMemory);
    EXPECT_EQ(out, nullptr);
}

TEST_F(HostFactoryTest, PublishingSetsAndClearsTheCoreRegistryAndNeverLeavesItDangling) {
    ASSERT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
    mHost->PublishAsCoreRegistry();
    auto other = Host::Create(HostOptions{BRASK_APP_DIR, mTemp.Path().string()});
    other->UnpublishCoreRegistry(); // not the published one: no effect
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), mHost.Get());
    mHost->UnpublishCoreRegistry();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
    other->PublishAsCoreRegistry();
    other.Reset();
    EXPECT_EQ(COREREGISTRY::GetCoreRegistry(), nullptr);
}

TEST_F(HostFactoryTest, TilesKeepTheirBoundsOnBadOnesAndGuidListsTheirOwnCopies) {
    auto tile = Make<GRAPHICS::ITile>(CLSID::Tile);
    EXPECT_EQ(tile->Init({0, 0, 0, 0}), kOK); // empty is allowed
    ASSERT_EQ(tile->Init({1, 2, 3, 4}), kOK);
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    const GRAPHICS::Rect<float> bads[] = {{nan, 0, 1, 1}, {0, nan, 1, 1},  {0, 0, nan, 1}, {0, 0, 1, nan},
                                          {0, 0, inf, 1}, {0, -inf, 1, 1}, {0, 10, 5, 9},  {10, 0, 9, 5}};
    for (const GRAPHICS::Rect<float>& bad : bads) {
        EXPECT_EQ(tile->Init(bad), GRAPHICS::ITile::kBadBounds);
        const GRAPHICS::Rect<float> kept = tile->GetBounds();
        EXPECT_EQ(std::tuple(kept.top, kept.left, kept.bottom, kept.right), std::tuple(1, 2, 3, 4));
    }
    auto list = Make<IGuidList>(CLSID::GuidList);
    EXPECT_EQ(list->Add(nullptr), kBadArgument);
    GUID id = CLSID::FirstOfferedIID;
    ASSERT_EQ(list->Add(&id), kOK);
    id.Data1 = 0;
    EXPECT_EQ(std::tuple(list->GetCount(), list->GetAt(0), list->GetAt(1)),
              std::tuple(1u, CLSID::FirstOfferedIID, GUID{}));
}

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
    EXPECT_EQ(SpecialDir(*mHost, 4), mTemp.Path().string());
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
    tmpdir.Set((mTemp.Path().string() + "/").c_str());
    auto host = Host::Create(HostOptions{"", ""});
    tmpdir.Set(nullptr);                                  // read when the host is made
    EXPECT_TRUE(std::filesystem::is_empty(mTemp.Path())); // nothing made before it is asked for
    const std::string folder = SpecialDir(*host, 4);
    EXPECT_EQ(std::filesystem::path(folder).parent_path().string(), mTemp.Path().string());
    EXPECT_EQ(SpecialDir(*host, 4), folder); // one folder per host
    struct stat info {};
    ASSERT_EQ(::lstat(folder.c_str(), &info), 0);
    EXPECT_TRUE(S_ISDIR(info.st_mode));
    EXPECT_EQ(info.st_mode & 07777, 0700u);
    EXPECT_NE(SpecialDir(*Host::Create(HostOptions{"", ""}), 4), folder); // another host, another folder
    WriteFile(folder + "/left.pdf", "x");
    std::filesystem::create_directory(folder + "/sub");
    WriteFile(folder + "/sub/deeper", "y");
    std::filesystem::create_directory_symlink(mTemp.Path(), folder + "/outside"); // removed, not followed
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    ASSERT_EQ(BRASK::CreateInstance(host.Get(), CLSID::SystemDirContainer, container), kOK);
    host.Reset();
    EXPECT_TRUE(std::filesystem::exists(folder)); // still named by the container
    container.Reset();
    EXPECT_FALSE(std::filesystem::exists(folder));
    EXPECT_TRUE(std::filesystem::is_empty(mTemp.Path()));

    // A parent where no folder can be made: no temporary folder, never the root.
    tmpdir.Set((mTemp.Path().string() + "/missing").c_str());
    EXPECT_EQ(SpecialDir(*Host::Create(), 4, IDir::kCreateFailed), "<none>");
}

TEST_F(FileSystemTest, DirCreatesMissingParentsNeverOverAFileAndMakesOnlyNewFilesInside) {
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
    ASSERT_EQ(dir->SetPath(CoreString::FromUTF8(mTemp.Path().string() + "/")), kOK);
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
