// The one progress line of a batch on standard error, redrawn in place; shown only on a terminal and for more
// than one picture.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <ostream>
#include <string>

namespace BRASK::EPSIMPORT {

class Progress {
public:
    Progress(std::size_t total, std::ostream& err)
        : mTotal(total), mErr(err), mShown(total > 1 && isatty(STDERR_FILENO)) {}
    ~Progress() {
        if (mShown)
            mErr << '\n' << std::flush;
    }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // `count` of the total, with the file it concerns.
    void Show(std::size_t count, const std::string& file) {
        if (mShown)
            mErr << "\r[" << count << "/" << mTotal << "] " << file << "\x1b[K" << std::flush;
    }

private:
    std::size_t mTotal;
    std::ostream& mErr;
    bool mShown;
};

} // namespace BRASK::EPSIMPORT
