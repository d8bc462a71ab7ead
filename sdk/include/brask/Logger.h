// The host logger: every record goes to one replaceable sink.
#pragma once

#include "brask/Export.h"

#include <functional>
#include <sstream>
#include <string>

namespace BRASK {

enum LogType : int { kLogTypeInfo = 1, kLogTypeError = 2 };
enum LogLevel : int { kLogLevelError = 1, kLogLevelInfo = 2 };

struct BRASK_SDK_API LogRecord {
    int type = 0;
    std::string file;
    std::string function;
    long line = 0;
    std::wstring message;
    int level = 0;

    std::string MessageUTF8() const;
};

class BRASK_SDK_API BLoggerLibInterface {
public:
    using Sink = std::function<void(const LogRecord&)>;

    static BLoggerLibInterface* GetInstance();

    void BLogMessage(int type, const char* file, const char* function, long line, std::wostringstream& stream,
                     int level);

    // Replaces the sink and returns the previous one; an empty sink discards records.
    Sink SetSink(Sink sink);
    // The sink a process starts with: error records to standard error.
    static void StandardErrorSink(const LogRecord& record);

private:
    BLoggerLibInterface();
};

} // namespace BRASK

// Logs `message` (anything a wide stream takes) with the caller's source path and function signature.
#define BRASK_LOG(type, level, source, function, message)                                                    \
    do {                                                                                                     \
        std::wostringstream brask_log_stream;                                                                \
        brask_log_stream << message;                                                                         \
        ::BRASK::BLoggerLibInterface::GetInstance()->BLogMessage(type, source, function, __LINE__,           \
                                                                 brask_log_stream, level);                   \
    } while (0)
#define BRASK_LOG_ERROR(source, function, message)                                                           \
    BRASK_LOG(::BRASK::kLogTypeError, ::BRASK::kLogLevelError, source, function, message)
#define BRASK_LOG_INFO(source, function, message)                                                            \
    BRASK_LOG(::BRASK::kLogTypeInfo, ::BRASK::kLogLevelInfo, source, function, message)
