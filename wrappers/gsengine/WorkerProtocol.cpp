#include "WorkerProtocol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <optional>
#include <utility>

namespace BRASK::WRAPPERS {

namespace {

constexpr double kMaxPagePoints = 1e6;   // the page side, in points
constexpr double kMaxOriginPoints = 1e7; // the box's corner, in points
constexpr double kMinResolution = 1;
constexpr double kMaxResolution = 100000;
constexpr std::uint64_t kMaxByteCount = std::uint64_t(1) << 53; // exact as a PostScript number
constexpr std::uint32_t kMaxTimeLimitSeconds = 1000000;
constexpr std::uint32_t kJobFieldsSize = sizeof(JobFields);

// The payload sizes a kind allows, and the bytes before its variable part (its text, pixels or path).
struct PayloadSize {
    std::uint32_t low, high, prefix;
};

std::optional<PayloadSize> Allowed(MessageKind kind) {
    switch (kind) {
    case MessageKind::Job:
        return PayloadSize{kJobFieldsSize, kJobFieldsSize + kMaxPathLength + kMaxOptionsLength,
                           kJobFieldsSize};
    case MessageKind::DataBlock:
        return PayloadSize{1, kMaxBlock, 0};
    case MessageKind::DataEnd:
    case MessageKind::DataReadError:
        return PayloadSize{0, 0, 0};
    case MessageKind::Log:
    case MessageKind::Result:
        return PayloadSize{1, 1 + kMaxReplyText, 1};
    case MessageKind::Pixels:
        return PayloadSize{1, 1 + kMaxRasterChunk, 1};
    case MessageKind::Substitution:
        return PayloadSize{4, 4 + kMaxReplyText, 4};
    }
    return std::nullopt;
}

// Why a payload size does not suit its kind; an oversized text or piece of pixels is named as such.
std::string BadSize(const MessageHeader& header, const PayloadSize& allowed) {
    const std::string variable = std::to_string(header.size - allowed.prefix);
    if (header.size > allowed.high && header.kind == MessageKind::Pixels)
        return "a frame of " + variable + " pixel bytes";
    if (header.size > allowed.high &&
        (header.kind == MessageKind::Log || header.kind == MessageKind::Result ||
         header.kind == MessageKind::Substitution))
        return "a text of " + variable + " bytes";
    return "a " + KindName(header.kind) + " frame of " + std::to_string(header.size) +
           " bytes, where its kind holds " + std::to_string(allowed.low) +
           (allowed.low == allowed.high ? "" : " to " + std::to_string(allowed.high));
}

std::string Frame(MessageKind kind, std::string_view prefix, std::string_view rest = {}) {
    MessageHeader header;
    header.kind = kind;
    header.size = static_cast<std::uint32_t>(prefix.size() + rest.size());
    std::string frame(reinterpret_cast<const char*>(&header), sizeof header);
    frame.reserve(sizeof header + header.size);
    frame.append(prefix).append(rest);
    return frame;
}

// A text cut to what its frame may carry.
std::string_view Cut(std::string_view text, std::size_t limit) {
    return text.substr(0, std::min(text.size(), limit));
}

std::string Byte(std::uint8_t value) {
    return std::string(1, static_cast<char>(value));
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

// A value of the job that must lie in [low, high] (finite).
struct Range {
    const char* name;
    double value, low, high;
};

bool CheckRanges(std::initializer_list<Range> ranges, std::string& error) {
    for (const Range& r : ranges) {
        if (!std::isfinite(r.value) || r.value < r.low || r.value > r.high) {
            error = "the " + std::string(r.name) + " " + Number(r.value) + " is out of range";
            return false;
        }
    }
    return true;
}

bool CheckFlags(const JobFields& fields, std::string& error) {
    const std::pair<const char*, std::uint8_t> flags[] = {
        {"raster", fields.raster},          {"set-page-size", fields.setPageSize},
        {"move-origin", fields.moveOrigin}, {"embed-all-fonts", fields.embedAllFonts},
        {"send-pixels", fields.sendPixels},
    };
    for (const auto& [name, value] : flags) {
        if (value > 1) {
            error = "the job's " + std::string(name) + " flag is " + std::to_string(value) + ", not 0 or 1";
            return false;
        }
    }
    return true;
}

bool CheckTexts(const JobFields& fields, std::size_t payloadSize, std::string& error) {
    if (fields.pathLength > kMaxPathLength)
        error = "the output path is longer than " + std::to_string(kMaxPathLength) + " bytes";
    else if (fields.optionsLength > kMaxOptionsLength)
        error = "the job options are longer than " + std::to_string(kMaxOptionsLength) + " bytes";
    else if (std::uint64_t(kJobFieldsSize) + fields.pathLength + fields.optionsLength != payloadSize)
        error = "the job frame holds " + std::to_string(payloadSize) + " bytes, not the " +
                std::to_string(std::uint64_t(kJobFieldsSize) + fields.pathLength + fields.optionsLength) +
                " its lengths announce";
    else
        return true;
    return false;
}

bool DecodePage(const JobFields& fields, JobPage& page, std::string& error) {
    if (!CheckRanges({{"page width", fields.width, 0, kMaxPagePoints},
                      {"page height", fields.height, 0, kMaxPagePoints},
                      {"page's left edge", fields.left, -kMaxOriginPoints, kMaxOriginPoints},
                      {"page's bottom edge", fields.bottom, -kMaxOriginPoints, kMaxOriginPoints},
                      {"page resolution", fields.resolution, kMinResolution, kMaxResolution}},
                     error))
        return false;
    page.width = fields.width;
    page.height = fields.height;
    page.left = fields.left;
    page.bottom = fields.bottom;
    page.resolution = fields.resolution;
    page.setPageSize = fields.setPageSize != 0;
    page.moveOrigin = fields.moveOrigin != 0;
    page.embedAllFonts = fields.embedAllFonts != 0;
    return true;
}

bool DecodeRaster(const JobFields& fields, RasterRequest& raster, std::string& error) {
    if (fields.passCount < 1 || fields.passCount > kMaxRasterPasses) {
        error = "a raster job needs 1 to " + std::to_string(kMaxRasterPasses) + " passes, not " +
                std::to_string(fields.passCount);
        return false;
    }
    for (std::uint8_t i = 0; i < fields.passCount; ++i) {
        if (fields.passes[i] > static_cast<std::uint8_t>(RasterPass::CmykOnFull)) {
            error = "raster pass " + std::to_string(i) + " has the unknown kind " +
                    std::to_string(fields.passes[i]);
            return false;
        }
        raster.passes.push_back(static_cast<RasterPass>(fields.passes[i]));
    }
    if (!CheckRanges({{"raster's pixel width", double(fields.pixelWidth), 1, kMaxRasterSide},
                      {"raster's pixel height", double(fields.pixelHeight), 1, kMaxRasterSide},
                      {"raster's horizontal resolution", fields.xResolution, kMinResolution, kMaxResolution},
                      {"raster's vertical resolution", fields.yResolution, kMinResolution, kMaxResolution}},
                     error))
        return false;
    raster.enabled = true;
    raster.width = fields.pixelWidth;
    raster.height = fields.pixelHeight;
    raster.xResolution = fields.xResolution;
    raster.yResolution = fields.yResolution;
    raster.sendPixels = fields.sendPixels != 0;
    return true;
}

// The byte that leads a log, result or pixels payload, and what follows it.
bool SplitLeadingByte(std::string_view payload, const char* kind, std::uint8_t& byte, std::string_view& rest,
                      std::string& error) {
    if (payload.empty()) {
        error = std::string("an empty ") + kind + " frame";
        return false;
    }
    byte = static_cast<std::uint8_t>(payload[0]);
    rest = payload.substr(1);
    return true;
}

} // namespace

std::string KindName(MessageKind kind) {
    static constexpr const char* kNames[] = {"job", "data block", "data end", "read error",
                                             "log", "result",     "pixels",   "font substitution"};
    static_assert(std::size(kNames) == static_cast<std::size_t>(MessageKind::Substitution));
    const auto index = static_cast<std::size_t>(kind) - 1;
    return index < std::size(kNames) ? kNames[index]
                                     : "unknown kind " + std::to_string(static_cast<unsigned>(kind));
}

std::string Encode(const JobMessage& message) {
    const JobRequest& job = message.job;
    JobFields fields;
    fields.pathLength = static_cast<std::uint32_t>(job.outputPath.size());
    fields.optionsLength = static_cast<std::uint32_t>(job.jobOptions.size());
    fields.timeLimitSeconds = message.timeLimitSeconds;
    fields.byteCount = job.byteCount;
    fields.width = job.page.width;
    fields.height = job.page.height;
    fields.left = job.page.left;
    fields.bottom = job.page.bottom;
    fields.resolution = job.page.resolution;
    fields.setPageSize = job.page.setPageSize;
    fields.moveOrigin = job.page.moveOrigin;
    fields.embedAllFonts = job.page.embedAllFonts;
    fields.raster = job.raster.enabled;
    fields.sendPixels = job.raster.sendPixels;
    // More passes than the record holds go as their count alone, which the worker refuses.
    fields.passCount = static_cast<std::uint8_t>(std::min<std::size_t>(job.raster.passes.size(), 255));
    for (std::size_t i = 0; i < job.raster.passes.size() && i < kMaxRasterPasses; ++i)
        fields.passes[i] = static_cast<std::uint8_t>(job.raster.passes[i]);
    fields.pixelWidth = job.raster.width;
    fields.pixelHeight = job.raster.height;
    fields.xResolution = job.raster.xResolution;
    fields.yResolution = job.raster.yResolution;
    return Frame(MessageKind::Job, std::string_view(reinterpret_cast<const char*>(&fields), sizeof fields),
                 job.outputPath + job.jobOptions);
}

std::string Encode(const DataBlock& message) {
    return Frame(MessageKind::DataBlock, message.bytes);
}

std::string Encode(const DataEnd&) {
    return Frame(MessageKind::DataEnd, {});
}

std::string Encode(const DataReadError&) {
    return Frame(MessageKind::DataReadError, {});
}

std::string Encode(const LogMessage& message) {
    return Frame(MessageKind::Log, Byte(static_cast<std::uint8_t>(message.level)),
                 Cut(message.text, kMaxReplyText));
}

std::string Encode(const ResultMessage& message) {
    return Frame(MessageKind::Result, Byte(static_cast<std::uint8_t>(message.status)),
                 Cut(message.reason, kMaxReplyText));
}

std::string Encode(const PixelsMessage& message) {
    return Frame(MessageKind::Pixels, Byte(message.pass), message.bytes);
}

std::string Encode(const FontSubstitution& message) {
    const std::string_view requested = Cut(message.requested, kMaxReplyText / 2);
    const auto length = static_cast<std::uint32_t>(requested.size());
    return Frame(MessageKind::Substitution,
                 std::string(reinterpret_cast<const char*>(&length), sizeof length).append(requested),
                 Cut(message.used, kMaxReplyText / 2));
}

bool DecodeHeader(const MessageHeader& header, std::string& error) {
    const std::optional<PayloadSize> allowed = Allowed(header.kind);
    if (header.magic != kProtocolMagic)
        error = "a frame without the protocol's magic";
    else if (header.version != kProtocolVersion)
        error = "a frame of protocol version " + std::to_string(header.version) + ", not " +
                std::to_string(kProtocolVersion);
    else if (!allowed)
        error = "a frame of the unknown kind " + std::to_string(static_cast<unsigned>(header.kind));
    else if (header.size < allowed->low || header.size > allowed->high)
        error = BadSize(header, *allowed);
    else
        return true;
    return false;
}

bool Decode(std::string_view payload, JobMessage& message, std::string& error) {
    message = JobMessage{};
    JobFields fields;
    if (payload.size() < sizeof fields) {
        error = "a job frame of " + std::to_string(payload.size()) + " bytes";
        return false;
    }
    std::memcpy(&fields, payload.data(), sizeof fields);
    if (!CheckTexts(fields, payload.size(), error) || !CheckFlags(fields, error))
        return false;
    JobRequest& job = message.job;
    job.outputPath = payload.substr(sizeof fields, fields.pathLength);
    if (job.outputPath.find('\0') != std::string::npos)
        error = "the output path holds a NUL byte";
    else if (fields.byteCount > kMaxByteCount)
        error = "the byte count " + std::to_string(fields.byteCount) + " is too large";
    else if (fields.timeLimitSeconds > kMaxTimeLimitSeconds)
        error = "the time limit " + std::to_string(fields.timeLimitSeconds) + " s is too large";
    else if (fields.raster == 0 && job.outputPath.empty())
        error = "a distiller job needs an output path";
    if (error.empty() && (fields.raster == 0 ? DecodePage(fields, job.page, error)
                                             : DecodeRaster(fields, job.raster, error))) {
        job.jobOptions = payload.substr(sizeof fields + fields.pathLength);
        job.byteCount = fields.byteCount;
        message.timeLimitSeconds = fields.timeLimitSeconds;
        return true;
    }
    message = JobMessage{};
    return false;
}

bool Decode(std::string_view payload, LogMessage& message, std::string& error) {
    std::uint8_t level = 0;
    std::string_view text;
    if (!SplitLeadingByte(payload, "log", level, text, error))
        return false;
    if (level != static_cast<std::uint8_t>(LogLevel::Info) &&
        level != static_cast<std::uint8_t>(LogLevel::Error)) {
        error = "a message of the unknown level " + std::to_string(level);
        return false;
    }
    message.level = static_cast<LogLevel>(level);
    message.text = text;
    return true;
}

bool Decode(std::string_view payload, ResultMessage& message, std::string& error) {
    std::uint8_t status = 0;
    std::string_view reason;
    if (!SplitLeadingByte(payload, "result", status, reason, error))
        return false;
    if (status > static_cast<std::uint8_t>(JobStatus::OutputMissing)) {
        error = "the unknown result " + std::to_string(status);
        return false;
    }
    message.status = static_cast<JobStatus>(status);
    message.reason = reason;
    return true;
}

bool Decode(std::string_view payload, std::size_t passCount, PixelsMessage& message, std::string& error) {
    std::uint8_t pass = 0;
    if (!SplitLeadingByte(payload, "pixels", pass, message.bytes, error))
        return false;
    if (pass >= passCount) {
        error = "pixels of pass " + std::to_string(pass) + " for a job of " + std::to_string(passCount) +
                " passes";
        return false;
    }
    message.pass = pass;
    return true;
}

bool Decode(std::string_view payload, FontSubstitution& message, std::string& error) {
    std::uint32_t length = 0;
    if (payload.size() >= sizeof length)
        std::memcpy(&length, payload.data(), sizeof length);
    if (payload.size() < sizeof length || length > payload.size() - sizeof length) {
        error = "a font substitution without the font used";
        return false;
    }
    message.requested = payload.substr(sizeof length, length);
    message.used = payload.substr(sizeof length + length);
    return true;
}

} // namespace BRASK::WRAPPERS
