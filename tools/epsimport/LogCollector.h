// The log records of one picture: with -v each goes to standard error; the errors explain a failure.
#pragma once

#include "FailureCause.h"

#include "brask/Logger.h"

#include <mutex>
#include <ostream>
#include <string>
#include <vector>

namespace BRASK::EPSIMPORT {

class LogCollector {
public:
    LogCollector(bool verbose, std::ostream& err) : mVerbose(verbose), mErr(err) {
        mPrevious = BLoggerLibInterface::GetInstance()->SetSink([this](const LogRecord& record) {
            std::lock_guard<std::mutex> lock(mMutex);
            if (mVerbose)
                mErr << (record.type == kLogTypeError ? "error: " : "info: ") << record.MessageUTF8() << " ["
                     << record.file << "]\n";
            if (record.type == kLogTypeError)
                mErrors.push_back({record.file, record.function, record.MessageUTF8()});
        });
    }
    ~LogCollector() { BLoggerLibInterface::GetInstance()->SetSink(mPrevious); }
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    // Forgets the errors of the previous picture.
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        mErrors.clear();
    }
    // The errors logged since Clear, in order.
    std::vector<LoggedError> Errors() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mErrors;
    }

private:
    bool mVerbose;
    std::ostream& mErr;
    std::mutex mMutex;
    std::vector<LoggedError> mErrors;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::EPSIMPORT
