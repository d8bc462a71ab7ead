// The log records of one picture: with -v each goes to standard error; the errors explain a failure; the
// font-substitution warnings are collected.
#pragma once

#include "FailureCause.h"

#include "brask/Logger.h"
#include "jaws/FontSubstitutionText.h"

#include <algorithm>
#include <mutex>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace BRASK::EPSIMPORT {

class LogCollector {
public:
    LogCollector(bool verbose, std::ostream& err) : mVerbose(verbose), mErr(err) {
        mPrevious = BLoggerLibInterface::GetInstance()->SetSink([this](const LogRecord& record) {
            std::lock_guard<std::mutex> lock(mMutex);
            const bool warning = record.type == kLogTypeError && record.level != kLogLevelError;
            if (mVerbose)
                mErr << (warning                        ? "warning: "
                         : record.type == kLogTypeError ? "error: "
                                                        : "info: ")
                     << record.MessageUTF8() << " [" << record.file << "]\n";
            std::pair<std::string, std::string> names;
            if (warning && JAWS::ParseFontSubstitutionText(record.MessageUTF8(), names.first, names.second)) {
                if (std::find(mSubstitutions.begin(), mSubstitutions.end(), names) == mSubstitutions.end())
                    mSubstitutions.push_back(std::move(names));
            } else if (record.type == kLogTypeError && !warning) {
                mErrors.push_back({record.file, record.function, record.MessageUTF8()});
            }
        });
    }
    ~LogCollector() { BLoggerLibInterface::GetInstance()->SetSink(mPrevious); }
    LogCollector(const LogCollector&) = delete;
    LogCollector& operator=(const LogCollector&) = delete;

    // Forgets the errors and font substitutions of the previous picture.
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        mErrors.clear();
        mSubstitutions.clear();
    }
    // The fonts substituted since Clear (requested, used), as the plug-in's warnings name them.
    std::vector<std::pair<std::string, std::string>> FontSubstitutions() {
        std::lock_guard<std::mutex> lock(mMutex);
        return mSubstitutions;
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
    std::vector<std::pair<std::string, std::string>> mSubstitutions;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::EPSIMPORT
