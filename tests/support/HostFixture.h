// A fixture with a reference host.
#pragma once

#include "Fixture.h"

#include "brask/Brask.h"
#include "brask_host/Host.h"
#include "brask_host/HostStatus.h"

#include <string>

namespace BRASK::TEST {

class HostFixture : public Fixture {
protected:
    void SetUp() override {
        Fixture::SetUp();
        UseHost(BRASK_APP_DIR);
    }
    void TearDown() override {
        DropHost();
        Fixture::TearDown();
    }

    // A new reference host over `applicationDir` (empty: the folder of the running program) whose temporary
    // folder is `temporaryDir` (empty: the private folder).
    virtual HOST::Host& UseHost(const std::string& applicationDir, const std::string& temporaryDir = {}) {
        DropHost();
        mHost = HOST::Host::Create(
            HOST::HostOptions{applicationDir, temporaryDir.empty() ? mTemp.Path().string() : temporaryDir});
        return *mHost;
    }
    // Drops the host (and its publication as the core registry, when it was published).
    virtual void DropHost() {
        if (mHost)
            mHost->UnpublishCoreRegistry();
        mHost.Reset();
    }

    // A fresh object of `classId` from the host, as a T (fails the test when it is not one).
    template <class T> TInterfacePtr<T> Make(const GUID& classId) {
        TInterfacePtr<T> made;
        EXPECT_EQ(BRASK::CreateInstance<T>(mHost.Get(), classId, made), kOK) << classId.ToString();
        return made;
    }
    // A read-only data provider over a copy of `bytes`.
    TInterfacePtr<IO::IDataProvider> MemorySource(const std::string& bytes) {
        auto memory = Make<IO::IMemoryDataProvider>(CLSID::MemoryDataProvider);
        EXPECT_EQ(memory->Init(bytes.data(), static_cast<std::int32_t>(bytes.size())), kOK);
        EXPECT_EQ(memory->Open(0), kOK);
        return TInterfacePtr<IO::IDataProvider>(memory.Get());
    }
    // A read-only (or read-write) data provider over the file at `path` (empty when it cannot be opened).
    TInterfacePtr<IO::IDataProvider> FileSource(const std::string& path, Status* status = nullptr,
                                                bool readWrite = false) {
        auto uri = Make<IO::IURI>(CLSID::URI);
        uri->SetText(CoreString::FromUTF8(path));
        auto registry = Make<IO::IURIRegistry>(CLSID::URIRegistry);
        TInterfacePtr<IO::IURIFile> file;
        registry->GetURIFile(*uri, file);
        uri->SetText(u"/elsewhere"); // the file keeps its own copy of the URI
        TInterfacePtr<IO::IDataProviderStream> stream;
        const Status opened = !file       ? HOST::kBadArgument
                              : readWrite ? file->OpenReadWriteStream(stream)
                                          : file->OpenReadOnlyStream(stream);
        if (status != nullptr)
            *status = opened;
        TInterfacePtr<IO::IDataProvider> provider;
        if (opened == kOK && stream)
            provider.Reset(stream->GetDataProvider());
        return provider;
    }
    TInterfacePtr<IDictionary> NewDictionary() { return Make<IDictionary>(CLSID::PersistentDictionary); }

    TInterfacePtr<HOST::Host> mHost;
};

} // namespace BRASK::TEST
