// The host's temporary-files folder (special folder 4): either one the embedding program named, or a private
// folder made on first request with mkdtemp (mode 0700) under $TMPDIR (else /tmp) and removed with everything
// in it when its last holder lets it go.
#pragma once

#include <memory>
#include <mutex>
#include <string>

namespace BRASK::HOST {

class TemporaryFolder {
public:
    // A folder the embedding program chose; it is used as it is and never removed.
    static std::shared_ptr<TemporaryFolder> Given(std::string path);
    // A private folder under `parent`, made when first asked for.
    static std::shared_ptr<TemporaryFolder> Private(std::string parent);

    TemporaryFolder(const TemporaryFolder&) = delete;
    TemporaryFolder& operator=(const TemporaryFolder&) = delete;
    ~TemporaryFolder();

    // The folder's path; empty when the private folder could not be made.
    const std::string& Path() const;

private:
    TemporaryFolder(std::string path, bool makePrivate);

    const bool mPrivate;
    const std::string mParent;
    mutable std::once_flag mMade;
    mutable std::string mPath;
};

} // namespace BRASK::HOST
