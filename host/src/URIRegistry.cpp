#include "URIRegistry.h"

#include "FileDataProvider.h"
#include "NativePath.h"
#include "URI.h"
#include "brask_host/HostStatus.h"

namespace BRASK::HOST {

namespace {
Status OpenStream(const std::string& path, FileDataProvider::Mode mode, const IO::IURI& uri,
                  TInterfacePtr<IO::IDataProviderStream>& stream) {
    stream.Reset();
    TInterfacePtr<IO::IDataProvider> provider;
    const Status status = FileDataProvider::Open(path, mode, uri, provider);
    if (status != kOK)
        return status;
    stream.Adopt(new DataProviderStream(std::move(provider)));
    return kOK;
}
} // namespace

Status URIFile::OpenReadOnlyStream(TInterfacePtr<IO::IDataProviderStream>& stream) {
    return OpenStream(mPath, FileDataProvider::Mode::kReadOnly, *mUri, stream);
}

Status URIFile::OpenReadWriteStream(TInterfacePtr<IO::IDataProviderStream>& stream) {
    return OpenStream(mPath, FileDataProvider::Mode::kReadWrite, *mUri, stream);
}

Status URIRegistry::GetURIFile(IO::IURI& uri, TInterfacePtr<IO::IURIFile>& file) {
    file.Reset();
    if (uri.GetScheme() != CoreString(u"file") || uri.GetPath().empty())
        return kUnsupported;
    // The file keeps its own copy, so a later change of the caller's URI does not move it.
    TInterfacePtr<URI> copy;
    copy.Adopt(new URI);
    if (copy->SetText(uri.GetText()) != kOK || copy->GetPath() != uri.GetPath()) {
        if (copy->SetText(uri.GetPath()) != kOK)
            return kBadArgument;
    }
    file.Adopt(new URIFile(ToNative(uri.GetPath()), TInterfacePtr<IO::IURI>(copy.Get())));
    return kOK;
}

} // namespace BRASK::HOST
