#include "brask/Logger.h"

#include "brask/CoreString.h"

#include <cstdio>
#include <mutex>

namespace BRASK {

namespace {
std::mutex& SinkMutex() {
    static std::mutex mutex;
    return mutex;
}
BLoggerLibInterface::Sink& CurrentSink() {
    static BLoggerLibInterface::Sink sink = &BLoggerLibInterface::StandardErrorSink;
    return sink;
}

std::string WideToUTF8(const std::wstring& text) {
    std::u16string units;
    for (wchar_t c : text) {
        const auto cp = static_cast<char32_t>(c);
        if (cp >= 0x10000 && cp <= 0x10FFFF) {
            units += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(cp > 0x10FFFF ? 0xFFFD : cp);
        }
    }
    return STRING::UTF16ToUTF8(units);
}
} // namespace

std::string LogRecord::MessageUTF8() const {
    return WideToUTF8(message);
}

BLoggerLibInterface::BLoggerLibInterface() = default;

BLoggerLibInterface* BLoggerLibInterface::GetInstance() {
    static BLoggerLibInterface instance;
    return &instance;
}

void BLoggerLibInterface::BLogMessage(int type, const char* file, const char* function, long line,
                                      std::wostringstream& stream, int level) {
    LogRecord record;
    record.type = type;
    record.file = file != nullptr ? file : "";
    record.function = function != nullptr ? function : "";
    record.line = line;
    record.message = stream.str();
    record.level = level;
    std::lock_guard<std::mutex> lock(SinkMutex());
    if (CurrentSink())
        CurrentSink()(record);
}

BLoggerLibInterface::Sink BLoggerLibInterface::SetSink(Sink sink) {
    std::lock_guard<std::mutex> lock(SinkMutex());
    Sink previous = std::move(CurrentSink());
    CurrentSink() = std::move(sink);
    return previous;
}

void BLoggerLibInterface::StandardErrorSink(const LogRecord& record) {
    if (record.type != kLogTypeError)
        return;
    std::fprintf(stderr, "error: %s (%s:%ld)\n", record.MessageUTF8().c_str(), record.file.c_str(),
                 record.line);
}

} // namespace BRASK
