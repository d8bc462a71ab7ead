// The URI registry and what it hands out: URI files and their data-provider streams.
#pragma once

#include "brask/IO.h"
#include "brask/TObject.h"

#include <string>

namespace BRASK::HOST {

class DataProviderStream : public TObject<IO::IDataProviderStream> {
public:
    explicit DataProviderStream(TInterfacePtr<IO::IDataProvider> provider) : mProvider(std::move(provider)) {}
    IO::IDataProvider* GetDataProvider() override { return mProvider.Get(); }

private:
    TInterfacePtr<IO::IDataProvider> mProvider;
};

// A file named by a "file" URI.
class URIFile : public TObject<IO::IURIFile> {
public:
    URIFile(std::string path, TInterfacePtr<IO::IURI> uri) : mPath(std::move(path)), mUri(std::move(uri)) {}

    // A missing file gives IFile::kNotFound; see FileDataProvider::Open for the other statuses.
    Status OpenReadOnlyStream(TInterfacePtr<IO::IDataProviderStream>& stream) override;
    Status OpenReadWriteStream(TInterfacePtr<IO::IDataProviderStream>& stream) override;

private:
    std::string mPath;
    TInterfacePtr<IO::IURI> mUri;
};

class URIRegistry : public TObject<IO::IURIRegistry> {
public:
    // Serves "file" URIs; any other scheme gives kUnsupported and `file` empty.
    Status GetURIFile(IO::IURI& uri, TInterfacePtr<IO::IURIFile>& file) override;
};

} // namespace BRASK::HOST
