#include "TemporaryFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>
#include <vector>

namespace BRASK::HOST {

std::shared_ptr<TemporaryFolder> TemporaryFolder::Given(std::string path) {
    return std::shared_ptr<TemporaryFolder>(new TemporaryFolder(std::move(path), false));
}

std::shared_ptr<TemporaryFolder> TemporaryFolder::Private(std::string parent) {
    return std::shared_ptr<TemporaryFolder>(new TemporaryFolder(std::move(parent), true));
}

TemporaryFolder::TemporaryFolder(std::string path, bool makePrivate)
    : mPrivate(makePrivate), mParent(makePrivate ? std::move(path) : std::string()),
      mPath(makePrivate ? std::string() : std::move(path)) {}

TemporaryFolder::~TemporaryFolder() {
    if (!mPrivate || mPath.empty())
        return;
    // remove_all never follows a symbolic link out of the folder.
    std::error_code ignored;
    std::filesystem::remove_all(mPath, ignored);
}

const std::string& TemporaryFolder::Path() const {
    if (mPrivate) {
        std::call_once(mMade, [this] {
            std::string pattern = mParent;
            if (pattern.empty() || pattern.back() != '/')
                pattern += '/';
            pattern += "brask-XXXXXX";
            std::vector<char> buffer(pattern.begin(), pattern.end());
            buffer.push_back('\0');
            if (::mkdtemp(buffer.data()) != nullptr) // mode 0700: only this user can enter it
                mPath = buffer.data();
        });
    }
    return mPath;
}

} // namespace BRASK::HOST
