// The byte protocol between a wrapper (GsWorkerClient) and its interpreter process (GsWorkerMain) over one
// Unix stream socket. Both ends are built from the same sources and run on the same machine, so records
// travel in host byte order; the version still lets a mismatched pair refuse each other cleanly.
//
// Every message is a MessageHeader (magic, version, kind, payload size) and its payload.
//   wrapper -> worker: a job, then the job's bytes as data blocks, ended by a data end or a read error.
//   worker -> wrapper: one result right after it starts (the start-up status); for each job, log messages
//                      while it works, the pixels of a raster job (in pieces of at most kMaxRasterChunk
//                      bytes), the job's font substitutions, and its result.
//
// Each message has one Encode (the whole frame, header included) and one Decode (of the payload, after
// DecodeHeader has checked the header and the payload was read; a data frame's header is all there is to
// check). A decoder refuses any value it cannot take, with a text that names it; nothing is masked or
// clamped. The encoders cut a text longer than its frame may carry (kMaxReplyText; half of it for each name
// of a font substitution).
#pragma once

#include "JobTypes.h"
#include "SocketTransfer.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace BRASK::WRAPPERS {

inline constexpr std::uint32_t kProtocolMagic = 0x424A4F42; // "BOJB"
inline constexpr std::uint16_t kProtocolVersion = 1;
inline constexpr std::uint32_t kMaxBlock = 65535;
inline constexpr std::uint32_t kMaxPathLength = 64 * 1024;
inline constexpr std::uint32_t kMaxOptionsLength = 1024 * 1024;
inline constexpr std::uint32_t kMaxReplyText = 64 * 1024;
inline constexpr std::uint32_t kMaxRasterChunk = 1024 * 1024;

enum class MessageKind : std::uint16_t {
    // wrapper -> worker
    Job = 1,
    DataBlock = 2,
    DataEnd = 3,
    DataReadError = 4,
    // worker -> wrapper
    Log = 5,
    Result = 6,
    Pixels = 7,
    Substitution = 8,
};

struct MessageHeader {
    std::uint32_t magic = kProtocolMagic;
    std::uint16_t version = kProtocolVersion;
    MessageKind kind = MessageKind::Job;
    std::uint32_t size = 0; // payload bytes that follow
};
static_assert(sizeof(MessageHeader) == 12);

// A job without its callbacks (read, rewind, pixels). A job of one kind (distiller or raster) keeps the
// other kind's defaults.
struct JobMessage {
    JobRequest job;
    std::uint32_t timeLimitSeconds = 0; // the worker ends itself this long after the wrapper's limit
};

// The fixed part of a job's payload as it travels; the output path and the job options follow it.
struct JobFields {
    std::uint32_t pathLength = 0;
    std::uint32_t optionsLength = 0;
    std::uint32_t timeLimitSeconds = 0;
    std::uint32_t reserved1 = 0;
    std::uint64_t byteCount = 0;
    double width = 0, height = 0, left = 0, bottom = 0, resolution = 720;
    std::uint8_t setPageSize = 1, moveOrigin = 1, embedAllFonts = 1, raster = 0, sendPixels = 1,
                 passCount = 0, reserved2[2] = {};
    std::uint8_t passes[kMaxRasterPasses] = {};
    std::int32_t pixelWidth = 0, pixelHeight = 0;
    std::uint32_t reserved3 = 0;
    double xResolution = 72, yResolution = 72;
};
static_assert(sizeof(JobFields) == 104);

struct DataBlock {
    std::string_view bytes; // 1 to kMaxBlock
};
struct DataEnd {};
struct DataReadError {};

enum class LogLevel : std::uint8_t { Info = 1, Error = 2 };

struct LogMessage {
    LogLevel level = LogLevel::Info;
    std::string text;
};

struct ResultMessage {
    JobStatus status = JobStatus::Failed;
    std::string reason;
};

struct PixelsMessage {
    std::uint8_t pass = 0;  // the index of the render among the job's passes
    std::string_view bytes; // up to kMaxRasterChunk
};

std::string Encode(const JobMessage& message);
std::string Encode(const DataBlock& message);
std::string Encode(const DataEnd& message);
std::string Encode(const DataReadError& message);
std::string Encode(const LogMessage& message);
std::string Encode(const ResultMessage& message);
std::string Encode(const PixelsMessage& message);
std::string Encode(const FontSubstitution& message);

// Checks magic, version, kind and the payload size the kind allows; false with `error`. After a refused
// header the rest of the stream cannot be found.
bool DecodeHeader(const MessageHeader& header, std::string& error);

// The payload of a header DecodeHeader accepted; false with `error` when a value is out of range. Views in
// the decoded message point into `payload`.
bool Decode(std::string_view payload, JobMessage& message, std::string& error);
bool Decode(std::string_view payload, LogMessage& message, std::string& error);
bool Decode(std::string_view payload, ResultMessage& message, std::string& error);
// `passCount`: the passes of the job the pixels belong to.
bool Decode(std::string_view payload, std::size_t passCount, PixelsMessage& message, std::string& error);
bool Decode(std::string_view payload, FontSubstitution& message, std::string& error);

// What a kind is called in error texts ("data block", "result", ...).
std::string KindName(MessageKind kind);

} // namespace BRASK::WRAPPERS
