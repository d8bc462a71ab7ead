#include "HostFiles.h"

#include "brask/ClassIds.h"
#include "brask/CoreString.h"
#include "brask/FileSys.h"
#include "brask_host/HostStatus.h"

#include <filesystem>
#include <system_error>

namespace BRASK::EPSIMPORT {

namespace {
template <class T> TInterfacePtr<T> Make(HOST::Host& host, const GUID& classId) {
    TInterfacePtr<T> made;
    CreateInstance(&host, classId, made);
    return made;
}
} // namespace

std::string AbsolutePath(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.string();
}

Status OpenReadOnly(HOST::Host& host, const std::string& path, TInterfacePtr<IO::IDataProvider>& out) {
    out.Reset();
    auto uri = Make<IO::IURI>(host, CLSID::URI);
    auto registry = Make<IO::IURIRegistry>(host, CLSID::URIRegistry);
    if (!uri || !registry)
        return kNoInterface;
    if (const Status set = uri->SetText(CoreString::FromUTF8(AbsolutePath(path))); set != kOK)
        return set;
    TInterfacePtr<IO::IURIFile> file;
    if (const Status found = registry->GetURIFile(*uri, file); found != kOK || !file)
        return found != kOK ? found : kNoInterface;
    TInterfacePtr<IO::IDataProviderStream> stream;
    if (const Status opened = file->OpenReadOnlyStream(stream); opened != kOK || !stream)
        return opened != kOK ? opened : kNoInterface;
    out.Reset(stream->GetDataProvider());
    return out ? kOK : kNoInterface;
}

std::string OpenErrorText(Status status) {
    switch (status) {
    case FILE_SYS::IFile::kNotFound:
        return "file not found";
    case HOST::kFileTooLarge:
        return "file too large (2 GiB or more)";
    default:
        return "cannot open file (status " + std::to_string(status) + ")";
    }
}

} // namespace BRASK::EPSIMPORT
