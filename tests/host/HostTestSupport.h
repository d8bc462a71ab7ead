// Shared set-up of the host tests: a host over a private temporary folder, and helpers for files and
// providers.
#pragma once

#include "../support/HostFixture.h"

#include "brask_host/HostStatus.h"

#include <filesystem>
#include <string>
#include <vector>

namespace BRASK::HOST::TEST {

using BRASK::TEST::LogCapture;
using BRASK::TEST::ReadFile;

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
    ASSERT_EQ(std::filesystem::file_size(path), bytes.size()) << path;
}
inline std::vector<std::uint8_t> Bytes(const std::string& text) {
    return {text.begin(), text.end()};
}
inline std::string Utf8(const CoreString& text) {
    return text.GetUTF8String();
}

class HostTest : public BRASK::TEST::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        mTempDir = mTemp.Path().string();
    }

    std::string TempPath(const std::string& name) const { return mTempDir + "/" + name; }

    // A data provider on `path` through the URI registry; the status of the open goes to `status`.
    TInterfacePtr<IO::IDataProvider> OpenFile(const std::string& path, bool readWrite,
                                              Status* status = nullptr) {
        auto uri = Make<IO::IURI>(CLSID::URI);
        auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
        EXPECT_EQ(uri->SetText(CoreString::FromUTF8(path)), kOK);
        TInterfacePtr<IO::IURIFile> file;
        EXPECT_EQ(registry->GetURIFile(*uri, file), kOK);
        EXPECT_EQ(uri->SetText(u"/elsewhere"), kOK); // the file keeps its own copy of the URI
        TInterfacePtr<IO::IDataProviderStream> stream;
        const Status opened =
            readWrite ? file->OpenReadWriteStream(stream) : file->OpenReadOnlyStream(stream);
        if (status != nullptr)
            *status = opened;
        TInterfacePtr<IO::IDataProvider> provider;
        if (opened == kOK && stream)
            provider.Reset(stream->GetDataProvider());
        return provider;
    }
    // An initialised memory provider over `bytes`.
    TInterfacePtr<IO::IMemoryDataProvider> MemoryProvider(const std::vector<std::uint8_t>& bytes) {
        auto provider = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
        EXPECT_EQ(provider->Init(bytes.data(), static_cast<std::int32_t>(bytes.size())), kOK);
        EXPECT_EQ(provider->Open(0), kOK);
        return provider;
    }

    std::string mTempDir;
};

} // namespace BRASK::HOST::TEST
