// Captures every logger record for the lifetime of the object.
#pragma once

#include "brask/Logger.h"

#include <mutex>
#include <string>
#include <vector>

namespace BRASK::TEST {

class LogCapture {
public:
    LogCapture() {
        mPrevious = BLoggerLibInterface::GetInstance()->SetSink([this](const LogRecord& record) {
            std::lock_guard<std::mutex> lock(mMutex);
            mRecords.push_back(record);
        });
    }
    ~LogCapture() { BLoggerLibInterface::GetInstance()->SetSink(mPrevious); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogRecord> Records() const {
        std::lock_guard<std::mutex> lock(mMutex);
        return mRecords;
    }
    // The messages of every record, in order.
    std::vector<std::string> Messages() const {
        std::vector<std::string> messages;
        for (const LogRecord& record : Records())
            messages.push_back(record.MessageUTF8());
        return messages;
    }
    // The records whose message equals `message`.
    std::vector<LogRecord> WithMessage(const std::string& message) const {
        std::vector<LogRecord> found = Records();
        std::erase_if(found, [&](const LogRecord& r) { return r.MessageUTF8() != message; });
        return found;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(mMutex);
        mRecords.clear();
    }

private:
    mutable std::mutex mMutex;
    std::vector<LogRecord> mRecords;
    BLoggerLibInterface::Sink mPrevious;
};

} // namespace BRASK::TEST
