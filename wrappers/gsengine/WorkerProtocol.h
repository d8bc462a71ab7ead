// The byte protocol between a wrapper (GsWorkerClient) and its interpreter process (GsWorkerMain) over one
// Unix stream socket. Both ends run on the same machine, so records travel in host byte order.
//   wrapper -> worker: JobHeader, output path, job options, then the job's bytes as blocks, each a uint32
//                      length and its bytes; a length of kEndOfData ends them, kReadError reports a read
//                      error.
//   worker -> wrapper: frames (ReplyHeader + text): messages while it works, the pixels of a raster job
//                      (code = pass, in pieces of at most kMaxRasterChunk bytes), the job's font
//                      substitutions ("requested\nused", one frame each) before its result, one result per
//                      job, and one result (the start-up status) right after it starts.
#pragma once

#include <cstddef>
#include <cstdint>

namespace BRASK::WRAPPERS {

inline constexpr std::uint32_t kJobMagic = 0x424A4F42; // "BOJB"
inline constexpr std::uint32_t kEndOfData = 0;
inline constexpr std::uint32_t kReadError = 0xFFFFFFFFu;
inline constexpr std::uint32_t kMaxBlock = 65535;
inline constexpr std::uint32_t kMaxPathLength = 64 * 1024;
inline constexpr std::uint32_t kMaxOptionsLength = 1024 * 1024;
inline constexpr std::uint32_t kMaxReplyText = 64 * 1024;
inline constexpr std::uint32_t kMaxRasterChunk = 1024 * 1024;

struct JobHeader {
    std::uint32_t magic = kJobMagic;
    std::uint32_t pathLength = 0;
    std::uint32_t optionsLength = 0;
    std::uint32_t timeLimitSeconds = 0; // the worker ends itself this long after the wrapper's limit
    std::uint64_t byteCount = 0;
    double width = 0, height = 0, left = 0, bottom = 0, resolution = 720;
    std::uint8_t setPageSize = 1, moveOrigin = 1, embedAllFonts = 1, reserved2[5] = {};
    // Raster jobs (raster = 1) only.
    std::uint8_t raster = 0, sendPixels = 1, passCount = 0, reserved3 = 0;
    std::uint8_t passes[4] = {};
    std::int32_t pixelWidth = 0, pixelHeight = 0;
    double xResolution = 72, yResolution = 72;
};

enum ReplyType : std::uint8_t {
    kReplyMessage = 1,
    kReplyResult = 2,
    kReplyPixels = 3,
    kReplySubstitution = 4
};

struct ReplyHeader {
    std::uint8_t type = kReplyMessage;
    std::uint8_t code = 0;    // message: kind (1 info, 2 error); result: JobStatus
    std::uint16_t flags = 0;  // result: kResult... bits
    std::uint32_t length = 0; // text bytes that follow
};

// Blocking whole-buffer transfers; false when the other end is gone.
bool SendAll(int fd, const void* data, std::size_t length);
bool ReceiveAll(int fd, void* data, std::size_t length);

} // namespace BRASK::WRAPPERS
