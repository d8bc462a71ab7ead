// Data providers over real files and over memory blocks.
#include "HostTestSupport.h"

#include <fcntl.h>
#include <filesystem>
#include <limits>
#include <unistd.h>

namespace BRASK::HOST::TEST {
namespace {

using IO::IDataProvider;
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

std::string ReadAt(IDataProvider& provider, std::uint32_t count, Status* status = nullptr) {
    std::string buffer(count, '\0');
    const Status s = provider.Read(buffer.data(), count);
    if (status != nullptr)
        *status = s;
    buffer.resize(count);
    return buffer;
}

// A sparse file of exactly `size` bytes.
void MakeSparseFile(const std::string& path, off_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, size), 0);
    ::close(fd);
}

using FileProviderTest = HostTest;
using MemoryProviderTest = HostTest;

TEST_F(FileProviderTest, ReadOnlyProviderReadsSeeksFromEveryOriginAndRefusesWrites) {
    const std::string path = TempPath("digits.bin");
    WriteFile(path, "0123456789");
    auto provider = OpenFile(path, false);
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->GetSize(), 10);
    EXPECT_EQ(provider->GetPosition(), 0);

    EXPECT_EQ(ReadAt(*provider, 4), "0123");
    EXPECT_EQ(provider->GetPosition(), 4);
    EXPECT_EQ(provider->SetPosition(-3, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->GetPosition(), 7);
    EXPECT_EQ(ReadAt(*provider, 10), "789"); // short read at the end
    EXPECT_EQ(ReadAt(*provider, 10), "");    // nothing more
    EXPECT_EQ(provider->SetPosition(-5, IDataProvider::kFromCurrent), kOK);
    EXPECT_EQ(ReadAt(*provider, 2), "56");
    EXPECT_EQ(provider->SetPosition(2, IDataProvider::kFromStart), kOK);
    EXPECT_EQ(ReadAt(*provider, 1), "2");

    EXPECT_EQ(provider->Write("x", 1), IDataProvider::kReadOnly);
    EXPECT_EQ(ReadFile(path), "0123456789");
}

TEST_F(FileProviderTest, BadPositionsAreRefusedAndKeepThePosition) {
    const std::string path = TempPath("short.bin");
    WriteFile(path, "abc");
    auto provider = OpenFile(path, false);
    ASSERT_TRUE(provider);
    ASSERT_EQ(provider->SetPosition(1, IDataProvider::kFromStart), kOK);

    EXPECT_EQ(provider->SetPosition(-1, IDataProvider::kFromStart), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->SetPosition(-4, IDataProvider::kFromEnd), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->SetPosition(-2, IDataProvider::kFromCurrent), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->SetPosition(kMax32, IDataProvider::kFromCurrent), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->SetPosition(0, 3), kBadArgument);
    EXPECT_EQ(provider->SetPosition(0, -1), kBadArgument);
    EXPECT_EQ(provider->GetPosition(), 1);

    // Past the end is a valid place to be: reads there deliver nothing.
    EXPECT_EQ(provider->SetPosition(100, IDataProvider::kFromStart), kOK);
    Status status = -1;
    EXPECT_EQ(ReadAt(*provider, 8, &status), "");
    EXPECT_EQ(status, kOK);
    EXPECT_EQ(provider->SetPosition(kMax32, IDataProvider::kFromStart), kOK);
    EXPECT_EQ(ReadAt(*provider, 8), "");

    std::uint32_t count = 5;
    EXPECT_EQ(provider->Read(nullptr, count), kBadArgument);
    EXPECT_EQ(count, 0u);
    count = 0;
    EXPECT_EQ(provider->Read(nullptr, count), kOK);
}

TEST_F(FileProviderTest, ProviderCarriesItsFileURI) {
    const std::string path = TempPath("named file.eps");
    WriteFile(path, "%!PS");
    auto provider = OpenFile(path, false);
    ASSERT_TRUE(provider);
    auto* uri = FindAttached<IO::IURI>(*provider, IO::IURI::IID);
    ASSERT_NE(uri, nullptr);
    EXPECT_EQ(uri->GetScheme(), CoreString(u"file"));
    EXPECT_EQ(Utf8(uri->GetPath()), path);
}

TEST_F(FileProviderTest, ReadWriteProviderKeepsExistingBytesAndAppendsAtTheEnd) {
    const std::string path = TempPath("existing.txt");
    WriteFile(path, "abcdef");
    auto provider = OpenFile(path, true);
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->GetPosition(), 0);
    EXPECT_EQ(provider->GetSize(), 6);
    EXPECT_EQ(provider->Write("XY", 2), kOK);
    EXPECT_EQ(provider->GetPosition(), 2);
    EXPECT_EQ(ReadAt(*provider, 2), "cd"); // reads and writes share one position
    EXPECT_EQ(provider->SetPosition(0, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->Write("gh", 2), kOK);
    EXPECT_EQ(ReadFile(path), "XYcdefgh");
    EXPECT_EQ(provider->GetSize(), 8);

    // A write past the end leaves a hole of zero bytes.
    EXPECT_EQ(provider->SetPosition(2, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->Write("!", 1), kOK);
    EXPECT_EQ(ReadFile(path), std::string("XYcdefgh\0\0!", 11));
    EXPECT_EQ(provider->Write(nullptr, 3), kBadArgument);
    EXPECT_EQ(provider->Write(nullptr, 0), kOK);
}

TEST_F(FileProviderTest, ReadWriteProviderCreatesAMissingFile) {
    const std::string path = TempPath("new.bin");
    auto provider = OpenFile(path, true);
    ASSERT_TRUE(provider);
    EXPECT_TRUE(std::filesystem::exists(path));
    EXPECT_EQ(provider->GetSize(), 0);
    EXPECT_EQ(provider->Write("hello", 5), kOK);
    EXPECT_EQ(ReadFile(path), "hello");
}

TEST_F(FileProviderTest, MissingFilesAndFoldersCannotBeOpened) {
    Status status = kOK;
    EXPECT_FALSE(OpenFile(TempPath("absent.eps"), false, &status));
    EXPECT_EQ(status, FILE_SYS::IFile::kNotFound);

    EXPECT_FALSE(OpenFile(mTempDir, false, &status));
    EXPECT_EQ(status, IDataProvider::kIOError);

    EXPECT_FALSE(OpenFile(TempPath("no/such/folder/x.bin"), true, &status));
    EXPECT_NE(status, kOK);
}

TEST_F(FileProviderTest, FilesOfTwoGibibytesAreRefusedAndSmallerOnesCannotGrowPastTheLimit) {
    const std::string big = TempPath("big.bin");
    MakeSparseFile(big, off_t{1} << 31);
    Status status = kOK;
    EXPECT_FALSE(OpenFile(big, false, &status));
    EXPECT_EQ(status, kFileTooLarge);
    EXPECT_FALSE(OpenFile(big, true, &status));
    EXPECT_EQ(status, kFileTooLarge);

    const std::string largest = TempPath("largest.bin");
    MakeSparseFile(largest, (off_t{1} << 31) - 1);
    auto provider = OpenFile(largest, true, &status);
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->GetSize(), kMax32);
    EXPECT_EQ(provider->SetPosition(-1, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(ReadAt(*provider, 4), std::string(1, '\0'));
    EXPECT_EQ(provider->SetPosition(0, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->Write("x", 1), IDataProvider::kBadPosition);
    EXPECT_EQ(std::filesystem::file_size(largest), (std::uintmax_t{1} << 31) - 1);
}

TEST_F(FileProviderTest, RegistryServesOnlyFileURIs) {
    auto uri = Make<IO::IURI>(CLSID::URI);
    auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
    ASSERT_EQ(uri->SetText(u"http://example.org/a.eps"), kOK);
    TInterfacePtr<IO::IURIFile> file;
    EXPECT_EQ(registry->GetURIFile(*uri, file), kUnsupported);
    EXPECT_FALSE(file);
}

TEST_F(FileProviderTest, StreamOpenedOnAURIKeepsItsOwnCopyOfTheURI) {
    const std::string path = TempPath("kept.bin");
    WriteFile(path, "kept");
    auto uri = Make<IO::IURI>(CLSID::URI);
    auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
    ASSERT_EQ(uri->SetText(CoreString::FromUTF8("file://" + path)), kOK);
    TInterfacePtr<IO::IURIFile> file;
    ASSERT_EQ(registry->GetURIFile(*uri, file), kOK);
    ASSERT_EQ(uri->SetText(u"/elsewhere"), kOK); // the caller reuses its URI
    TInterfacePtr<IO::IDataProviderStream> stream;
    ASSERT_EQ(file->OpenReadOnlyStream(stream), kOK);
    IDataProvider* provider = stream->GetDataProvider();
    ASSERT_NE(provider, nullptr);
    EXPECT_EQ(ReadAt(*provider, 10), "kept");
    auto* attached = FindAttached<IO::IURI>(*provider, IO::IURI::IID);
    ASSERT_NE(attached, nullptr);
    EXPECT_NE(attached, uri.Get());
    EXPECT_EQ(Utf8(attached->GetPath()), path);
}

TEST_F(MemoryProviderTest, InitCopiesTheBlockAndReadsStayInside) {
    std::vector<std::uint8_t> block = Bytes("memory!");
    auto provider = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
    EXPECT_EQ(provider->GetSize(), 0);
    EXPECT_EQ(ReadAt(*provider, 4), ""); // before Init: empty
    ASSERT_EQ(provider->Init(block.data(), static_cast<std::int32_t>(block.size())), kOK);
    block[0] = 'X'; // the provider has its own copy
    EXPECT_EQ(provider->Open(0), kOK);
    EXPECT_EQ(provider->GetSize(), 7);
    EXPECT_EQ(ReadAt(*provider, 3), "mem");
    EXPECT_EQ(ReadAt(*provider, 100), "ory!");
    EXPECT_EQ(ReadAt(*provider, 100), "");

    EXPECT_EQ(provider->SetPosition(-2, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(ReadAt(*provider, 9), "y!");
    EXPECT_EQ(provider->SetPosition(-4, IDataProvider::kFromCurrent), kOK);
    EXPECT_EQ(provider->GetPosition(), 3);
    EXPECT_EQ(provider->SetPosition(50, IDataProvider::kFromCurrent), kOK);
    EXPECT_EQ(ReadAt(*provider, 9), "");
    EXPECT_EQ(provider->SetPosition(-1, IDataProvider::kFromStart), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->SetPosition(kMax32, IDataProvider::kFromEnd), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->GetPosition(), 53);
    EXPECT_EQ(provider->Write("x", 1), IDataProvider::kReadOnly);
}

TEST_F(MemoryProviderTest, OpenAndInitRefuseBadArguments) {
    const std::vector<std::uint8_t> block = Bytes("abc");
    auto provider = MemoryProvider(block);
    EXPECT_EQ(provider->Open(3), kOK);
    EXPECT_EQ(provider->Open(4), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->Open(-1), IDataProvider::kBadPosition);
    EXPECT_EQ(provider->Open(1), kOK);
    EXPECT_EQ(ReadAt(*provider, 5), "bc");

    EXPECT_EQ(provider->Init(block.data(), -1), kBadArgument);
    EXPECT_EQ(provider->Init(nullptr, 2), kBadArgument);
    EXPECT_EQ(provider->GetSize(), 3); // the old block stays
    EXPECT_EQ(provider->Init(nullptr, 0), kOK);
    EXPECT_EQ(provider->GetSize(), 0);
    std::uint32_t count = 1;
    EXPECT_EQ(provider->Read(nullptr, count), kBadArgument);
    EXPECT_EQ(count, 0u);
}

} // namespace
} // namespace BRASK::HOST::TEST
