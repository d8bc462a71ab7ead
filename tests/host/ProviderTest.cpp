// URI texts, the URI registry, and data providers over real files and over memory blocks.
#include "HostTestSupport.h"

#include <limits>

namespace BRASK::HOST::TEST {
namespace {

using IO::IDataProvider;
constexpr std::int32_t kMax32 = std::numeric_limits<std::int32_t>::max();

using ProviderTest = HostTest;

TEST_F(ProviderTest, UriTextsSplitIntoSchemeAndPathAndRefusedTextsKeepThePreviousUri) {
    // Text, scheme (none: refused), path.
    std::vector<std::tuple<const char*, const char*, const char*>> cases = {
        {"file:///tmp/a.eps", "file", "/tmp/a.eps"},
        {"file:///tmp/a%20b%C3%BC.eps", "file", "/tmp/a b\xC3\xBC.eps"},
        {"file:///tmp/100%", "file", "/tmp/100%"},
        {"file:///tmp/x%zz", "file", "/tmp/x%zz"},
        {"file://localhost/var/x", "file", "/var/x"},
        {"file:/abs/path", "file", "/abs/path"},
        {"FILE:///Upper", "file", "/Upper"},
        {"/plain/absolute path%20.eps", "file", "/plain/absolute path%20.eps"},
        {"/tmp/Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80.eps", "file",
         "/tmp/Gr\xC3\xBC\xC3\x9F \xE2\x82\xAC \xF0\x9F\x98\x80.eps"},
        {"http://example.org/a.eps", "http", "//example.org/a.eps"},
        {"mem+x.y-z:block", "mem+x.y-z", "block"},
    };
    for (const char* refused : {"", "relative/path.eps", "file:relative", "file://", "file://remotehost/x",
                                "file:///tmp/nul%00byte", "1abc:foo"})
        cases.emplace_back(refused, nullptr, "");
    for (const auto& [text, scheme, path] : cases) {
        auto uri = Make<IO::IURI>(CLSID::URI);
        EXPECT_EQ(uri->SetText(CoreString::FromUTF8(text)), scheme ? kOK : kBadArgument) << text;
        EXPECT_EQ(Utf8(uri->GetScheme()), scheme ? scheme : "") << text;
        EXPECT_EQ(Utf8(uri->GetPath()), path) << text;
        EXPECT_EQ(Utf8(uri->GetText()), scheme ? text : "") << text;
    }
    auto uri = Make<IO::IURI>(CLSID::URI);
    ASSERT_EQ(uri->SetText(u"/tmp/first.eps"), kOK);
    EXPECT_EQ(uri->SetText(u"not a uri"), kBadArgument);
    EXPECT_EQ(uri->GetPath(), CoreString(u"/tmp/first.eps"));
    EXPECT_EQ(uri->GetScheme(), CoreString(u"file"));
}

std::string ReadAt(IDataProvider& provider, std::uint32_t count, Status* status = nullptr) {
    std::string buffer(count, '\0');
    const Status s = provider.Read(buffer.data(), count);
    if (status != nullptr)
        *status = s;
    buffer.resize(count);
    return buffer;
}

// What every read-only provider over the ten bytes "0123456789" answers alike.
void CheckReadOnlyDigits(IDataProvider& p) {
    EXPECT_EQ(std::pair(p.GetSize(), p.GetPosition()), std::pair(10, 0));
    EXPECT_EQ(ReadAt(p, 4), "0123");
    EXPECT_EQ(p.SetPosition(-3, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(p.GetPosition(), 7);
    EXPECT_EQ(ReadAt(p, 10), "789"); // short read at the end
    EXPECT_EQ(ReadAt(p, 10), "");
    EXPECT_EQ(p.SetPosition(-5, IDataProvider::kFromCurrent), kOK);
    EXPECT_EQ(ReadAt(p, 2), "56");
    EXPECT_EQ(p.SetPosition(3, IDataProvider::kFromStart), kOK);
    // Refused positions, overflowing ones included, keep the position.
    EXPECT_EQ(p.SetPosition(-1, IDataProvider::kFromStart), IDataProvider::kBadPosition);
    EXPECT_EQ(p.SetPosition(-11, IDataProvider::kFromEnd), IDataProvider::kBadPosition);
    EXPECT_EQ(p.SetPosition(-4, IDataProvider::kFromCurrent), IDataProvider::kBadPosition);
    EXPECT_EQ(p.SetPosition(kMax32, IDataProvider::kFromCurrent), IDataProvider::kBadPosition);
    EXPECT_EQ(p.SetPosition(kMax32, IDataProvider::kFromEnd), IDataProvider::kBadPosition);
    EXPECT_EQ(p.SetPosition(0, 3), kBadArgument);
    EXPECT_EQ(p.SetPosition(0, -1), kBadArgument);
    EXPECT_EQ(p.GetPosition(), 3);
    // Past the end is a valid place to be: reads there deliver nothing.
    EXPECT_EQ(p.SetPosition(50, IDataProvider::kFromCurrent), kOK);
    Status status = -1;
    EXPECT_TRUE(p.GetPosition() == 53 && ReadAt(p, 8, &status).empty() && status == kOK);
    EXPECT_EQ(p.SetPosition(kMax32, IDataProvider::kFromStart), kOK);
    EXPECT_EQ(ReadAt(p, 8), "");
    std::uint32_t count = 5;
    EXPECT_TRUE(p.Read(nullptr, count) == kBadArgument && count == 0u);
    EXPECT_EQ(p.Read(nullptr, count), kOK); // nothing asked, nothing needed
    EXPECT_EQ(p.Write("x", 1), IDataProvider::kReadOnly);
}

TEST_F(ProviderTest, FileAndMemoryProvidersReadAndSeekAlikeAndRefuseBadArguments) {
    const std::string path = TempPath("digits.bin");
    WriteFile(path, "0123456789");
    auto file = FileSource(path);
    ASSERT_TRUE(file);
    CheckReadOnlyDigits(*file);
    EXPECT_EQ(ReadFile(path), "0123456789");
    auto* uri = FindAttached<IO::IURI>(*file, IO::IURI::IID); // outlives the URI the file was opened with
    ASSERT_NE(uri, nullptr);
    EXPECT_EQ(Utf8(uri->GetScheme()) + ":" + Utf8(uri->GetPath()), "file:" + path);

    std::vector<std::uint8_t> block = Bytes("0123456789");
    auto memory = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
    EXPECT_EQ(ReadAt(*memory, 4), ""); // before Init: empty
    ASSERT_EQ(memory->Init(block.data(), static_cast<std::int32_t>(block.size())), kOK);
    block[0] = 'X'; // the provider has its own copy
    ASSERT_EQ(memory->Open(0), kOK);
    CheckReadOnlyDigits(*memory);
    EXPECT_EQ(memory->Open(10), kOK);
    EXPECT_EQ(memory->Open(11), IDataProvider::kBadPosition);
    EXPECT_EQ(memory->Open(-1), IDataProvider::kBadPosition);
    EXPECT_EQ(memory->Open(8), kOK);
    EXPECT_EQ(ReadAt(*memory, 5), "89");
    EXPECT_EQ(memory->Init(block.data(), -1), kBadArgument);
    EXPECT_EQ(memory->Init(nullptr, 2), kBadArgument);
    EXPECT_EQ(memory->GetSize(), 10); // the old block stays
    EXPECT_TRUE(memory->Init(nullptr, 0) == kOK && memory->GetSize() == 0);
}

TEST_F(ProviderTest, ReadWriteFilesAreKeptAndExtendedAndOnlyExistingFilesUnderTwoGibibytesAreOpened) {
    const std::string path = TempPath("existing.txt");
    WriteFile(path, "abcdef");
    auto provider = FileSource(path, nullptr, true);
    ASSERT_TRUE(provider);
    EXPECT_EQ(std::pair(provider->GetPosition(), provider->GetSize()), std::pair(0, 6));
    EXPECT_EQ(provider->Write("XY", 2), kOK);
    EXPECT_EQ(ReadAt(*provider, 2), "cd"); // reads and writes share one position
    EXPECT_EQ(provider->SetPosition(0, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->Write("gh", 2), kOK);
    EXPECT_EQ(std::pair(ReadFile(path), provider->GetSize()), std::pair(std::string("XYcdefgh"), 8));
    EXPECT_EQ(provider->SetPosition(2, IDataProvider::kFromEnd), kOK); // leaves a hole of zero bytes
    EXPECT_EQ(provider->Write("!", 1), kOK);
    EXPECT_EQ(ReadFile(path), std::string("XYcdefgh\0\0!", 11));
    EXPECT_EQ(provider->Write(nullptr, 3), kBadArgument);
    EXPECT_EQ(provider->Write(nullptr, 0), kOK);

    const std::string fresh = TempPath("new.bin");
    provider = FileSource(fresh, nullptr, true);
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->GetSize(), 0);
    EXPECT_EQ(provider->Write("hello", 5), kOK);
    EXPECT_EQ(ReadFile(fresh), "hello");
    Status status = kOK;
    EXPECT_FALSE(FileSource(TempPath("absent.eps"), &status, false));
    EXPECT_EQ(status, FILE_SYS::IFile::kNotFound);
    EXPECT_FALSE(FileSource(mTemp.Path().string(), &status, false));
    EXPECT_EQ(status, IDataProvider::kIOError);
    EXPECT_FALSE(FileSource(TempPath("no/such/folder/x.bin"), &status, true));
    EXPECT_NE(status, kOK);
    auto uri = Make<IO::IURI>(CLSID::URI);
    ASSERT_EQ(uri->SetText(u"http://example.org/a.eps"), kOK);
    TInterfacePtr<IO::IURIFile> file;
    EXPECT_EQ(Make<IO::IURIRegistry>(CLSID::URIRegistry)->GetURIFile(*uri, file), kUnsupported);
    EXPECT_FALSE(file);

    // Sparse files of 2^31 and 2^31 - 1 bytes: the first does not fit 32-bit positions, the second may not
    // grow.
    const std::string big = TempPath("big.bin"), largest = TempPath("largest.bin");
    WriteFile(big, "");
    WriteFile(largest, "");
    std::filesystem::resize_file(big, std::uintmax_t{1} << 31);
    std::filesystem::resize_file(largest, (std::uintmax_t{1} << 31) - 1);
    for (bool readWrite : {false, true}) {
        EXPECT_FALSE(FileSource(big, &status, readWrite));
        EXPECT_EQ(status, kFileTooLarge);
    }
    provider = FileSource(largest, &status, true);
    ASSERT_TRUE(provider);
    EXPECT_EQ(provider->GetSize(), kMax32);
    EXPECT_EQ(provider->SetPosition(-1, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(ReadAt(*provider, 4), std::string(1, '\0'));
    EXPECT_EQ(provider->SetPosition(0, IDataProvider::kFromEnd), kOK);
    EXPECT_EQ(provider->Write("x", 1), IDataProvider::kBadPosition);
    EXPECT_EQ(std::filesystem::file_size(largest), (std::uintmax_t{1} << 31) - 1);
}

} // namespace
} // namespace BRASK::HOST::TEST
