// The log records of one picture: with -v each goes to standard error; the last error explains a failure.
#pragma once

#include "brask/Logger.h"

#include <mutex>
#include <ostream>
#include <string>

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
                mLastError = record.MessageUTF8();
        });
    }
    ~LogCollector() { BLoggerLibInterface::GetInstance()->SetSink(mPrevious); }
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    // Forgets the errors of the previous picture.
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        mLastError.clear();
    }
    // The last error logged since Clear, or empty.
    std::string LastError() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mLastError;
    }

private:
    bool mVerbose;
    std::ostream& mErr;
    std::mutex mMutex;
    std::string mLastError;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::EPSIMPORT
