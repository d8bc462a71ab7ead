// The messages between a wrapper and its interpreter process: each comes back from its decoder with every
// field, and every value a decoder cannot take is refused with its own reason.
#include "WorkerProtocol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

using namespace BRASK::WRAPPERS;
using K = MessageKind;
using J = JobMessage;

namespace {

// A job whose every field differs from its default (a job of one kind keeps the other kind's defaults),
// changed by `spoil`.
JobMessage GoodJob(
    bool raster, const std::function<void(J&)>& spoil = [](J&) {}) {
    JobMessage message;
    message.timeLimitSeconds = 65;
    JobRequest& job = message.job;
    job.outputPath = "/out.pdf";
    job.jobOptions = "abc";
    job.byteCount = 1000;
    if (raster)
        job.raster = RasterRequest{
            true,  400, 200,
            144,   96,  {RasterPass::CmykOnFull, RasterPass::RgbOnBlack, RasterPass::CmykOnNone},
            false, {}};
    else
        job.page = JobPage{200, 100, -5, 7.5, false, false, false, 288};
    spoil(message);
    return message;
}

template <class... T> std::string Join(const T&... values) {
    std::ostringstream out;
    ((out << values << '|'), ...);
    return out.str();
}

// Every field a message carries, as text to compare and print.
template <class M> std::string Fields(const M& m) {
    if constexpr (std::is_same_v<M, JobMessage>) {
        const JobPage& p = m.job.page;
        const RasterRequest& r = m.job.raster;
        std::string passes;
        for (RasterPass pass : r.passes)
            passes += std::to_string(static_cast<int>(pass));
        return Join(m.timeLimitSeconds, m.job.outputPath, m.job.jobOptions, m.job.byteCount, p.width,
                    p.height, p.left, p.bottom, p.setPageSize, p.moveOrigin, p.embedAllFonts, p.resolution,
                    r.enabled, r.sendPixels, r.width, r.height, r.xResolution, r.yResolution, passes);
    } else if constexpr (std::is_same_v<M, LogMessage>)
        return Join(int(m.level), m.text);
    else if constexpr (std::is_same_v<M, ResultMessage>)
        return Join(int(m.status), m.reason);
    else if constexpr (std::is_same_v<M, PixelsMessage>)
        return Join(int(m.pass), m.bytes);
    else if constexpr (std::is_same_v<M, FontSubstitution>)
        return Join(m.requested, m.used);
    else if constexpr (std::is_same_v<M, DataBlock>)
        return Join(m.bytes);
    return {}; // a data end or read error carries nothing
}

// Decodes `frame` as its receiver does, as message `M` of kind `kind` (pixels of a job of three passes): the
// decoded message's fields, or "refused: " and the error.
template <class M> std::string Received(const std::string& frame, K kind) {
    MessageHeader header;
    std::memcpy(&header, frame.data(), sizeof header);
    const std::string_view payload = std::string_view(frame).substr(sizeof header);
    std::string error;
    M message{};
    if (!DecodeHeader(header, error))
        return "refused: " + error;
    EXPECT_EQ(header.kind, kind);
    EXPECT_EQ(header.size, payload.size());
    if constexpr (std::is_same_v<M, DataBlock>)
        message.bytes = payload;
    else if constexpr (std::is_same_v<M, PixelsMessage>)
        Decode(payload, 3, message, error);
    else if constexpr (!std::is_empty_v<M>)
        Decode(payload, message, error);
    return error.empty() ? Fields(message) : "refused: " + error;
}

// A good frame with the record `R` at `offset` (its header, or a job's fixed fields) changed by `spoil`.
template <class R, class M = JobMessage>
std::string Spoiled(const std::function<void(R&)>& spoil, K kind = K::Job,
                    const M& message = GoodJob(false)) {
    std::string frame = Encode(message);
    const std::size_t offset = std::is_same_v<R, MessageHeader> ? 0 : sizeof(MessageHeader);
    R record;
    std::memcpy(&record, frame.data() + offset, sizeof record);
    spoil(record);
    std::memcpy(frame.data() + offset, &record, sizeof record);
    return Received<M>(frame, kind);
}
using H = MessageHeader;
using F = JobFields;

std::string Job(bool raster, const std::function<void(J&)>& spoil) {
    return Received<J>(Encode(GoodJob(raster, spoil)), K::Job);
}

} // namespace

TEST(WorkerProtocolTest, EveryMessageComesBackWithEveryField) {
    const std::string longText(kMaxReplyText + 10, 'x'), cut = longText.substr(0, kMaxReplyText);
    const std::string pixels(kMaxRasterChunk, '\x7f'), half = longText.substr(0, kMaxReplyText / 2);
    const struct {
        std::string received, sent;
    } trips[] = {
        {Received<J>(Encode(GoodJob(false)), K::Job), Fields(GoodJob(false))},
        {Received<J>(Encode(GoodJob(true)), K::Job), Fields(GoodJob(true))},
        {Received<DataBlock>(Encode(DataBlock{{"%!PS\0\xff", 6}}), K::DataBlock),
         std::string("%!PS\0\xff|", 7)},
        {Received<DataEnd>(Encode(DataEnd{}), K::DataEnd), ""},
        {Received<DataReadError>(Encode(DataReadError{}), K::DataReadError), ""},
        {Received<LogMessage>(Encode(LogMessage{LogLevel::Error, "Error"}), K::Log), "2|Error|"},
        // Texts are cut to their limit.
        {Received<LogMessage>(Encode(LogMessage{LogLevel::Info, longText}), K::Log), "1|" + cut + "|"},
        {Received<ResultMessage>(Encode(ResultMessage{JobStatus::OutputMissing, "no"}), K::Result), "5|no|"},
        {Received<ResultMessage>(Encode(ResultMessage{JobStatus::Ok, ""}), K::Result), "0||"},
        {Received<PixelsMessage>(Encode(PixelsMessage{2, pixels}), K::Pixels), "2|" + pixels + "|"},
        {Received<FontSubstitution>(Encode(FontSubstitution{"Fu\nBold", "Nimbus"}), K::Substitution),
         "Fu\nBold|Nimbus|"},
        {Received<FontSubstitution>(Encode(FontSubstitution{longText, longText}), K::Substitution),
         Join(half, half)},
    };
    for (const auto& trip : trips)
        EXPECT_EQ(trip.received, trip.sent);
}

TEST(WorkerProtocolTest, EveryBadValueIsRefusedWithItsReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::string unnamed = Encode(FontSubstitution{"Futura", ""});
    unnamed[sizeof(MessageHeader)] = 7; // the requested name runs past the frame
    const struct {
        std::string received, error;
    } cases[] = {
        {Spoiled<H>([](H& h) { h.magic = 0x12345678; }), "a frame without the protocol's magic"},
        {Spoiled<H>([](H& h) { h.version = 2; }), "a frame of protocol version 2, not 1"},
        {Spoiled<H>([](H& h) { h.kind = K{0}; }), "a frame of the unknown kind 0"},
        {Spoiled<H>([](H& h) { h.size = 50; }),
         "a job frame of 50 bytes, where its kind holds 104 to 1114216"},
        {Spoiled<H>([](H& h) { h.size = 3; }, K::DataEnd, DataEnd{}),
         "a data end frame of 3 bytes, where its kind holds 0"},
        {Spoiled<H>([](H& h) { h.size = 0; }, K::Result, ResultMessage{}),
         "a result frame of 0 bytes, where its kind holds 1 to 65537"},
        {Spoiled<H>([](H& h) { h.size = kMaxRasterChunk + 2; }, K::Pixels, PixelsMessage{}),
         "a frame of 1048577 pixel bytes"},
        {Job(false, [](J& m) { m.job.outputPath.resize(kMaxPathLength + 1, 'p'); }),
         "the output path is longer than 65536 bytes"},
        {Job(false, [](J& m) { m.job.jobOptions.resize(kMaxOptionsLength + 1, 'o'); }),
         "the job options are longer than 1048576 bytes"},
        {Spoiled<F>([](F& f) { f.pathLength = 7; }),
         "the job frame holds 115 bytes, not the 114 its lengths announce"},
        {Job(false, [](J& m) { m.job.outputPath[2] = '\0'; }), "the output path holds a NUL byte"},
        {Job(false, [](J& m) { m.job.outputPath.clear(); }), "a distiller job needs an output path"},
        {Spoiled<F>([](F& f) { f.embedAllFonts = 2; }), "the job's embed-all-fonts flag is 2, not 0 or 1"},
        {Spoiled<F>([](F& f) { f.raster = 7; }), "the job's raster flag is 7, not 0 or 1"},
        {Job(false, [](J& m) { m.job.byteCount = ~0ull; }),
         "the byte count 18446744073709551615 is too large"},
        {Job(false, [](J& m) { m.timeLimitSeconds = 4000000000u; }),
         "the time limit 4000000000 s is too large"},
        {Job(false, [nan](J& m) { m.job.page.width = nan; }), "the page width nan is out of range"},
        {Job(false, [](J& m) { m.job.page.height = -1; }), "the page height -1 is out of range"},
        {Job(false, [](J& m) { m.job.page.left = HUGE_VAL; }), "the page's left edge inf is out of range"},
        {Job(false, [](J& m) { m.job.page.resolution = 0; }), "the page resolution 0 is out of range"},
        {Job(true, [](J& m) { m.job.raster.passes.clear(); }), "a raster job needs 1 to 4 passes, not 0"},
        {Job(true, [](J& m) { m.job.raster.passes.resize(5); }), "a raster job needs 1 to 4 passes, not 5"},
        {Job(true, [](J& m) { m.job.raster.passes[1] = RasterPass{4}; }),
         "raster pass 1 has the unknown kind 4"},
        {Job(true, [](J& m) { m.job.raster.width = 0; }), "the raster's pixel width 0 is out of range"},
        {Job(true, [](J& m) { m.job.raster.height = kMaxRasterSide + 1; }),
         "the raster's pixel height 32768 is out of range"},
        {Job(true, [nan](J& m) { m.job.raster.yResolution = nan; }),
         "the raster's vertical resolution nan is out of range"},
        {Received<LogMessage>(Encode(LogMessage{LogLevel{3}, "?"}), K::Log),
         "a message of the unknown level 3"},
        {Received<ResultMessage>(Encode(ResultMessage{JobStatus{200}, "?"}), K::Result),
         "the unknown result 200"},
        {Received<PixelsMessage>(Encode(PixelsMessage{3, "abc"}), K::Pixels),
         "pixels of pass 3 for a job of 3 passes"},
        {Received<FontSubstitution>(unnamed, K::Substitution), "a font substitution without the font used"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.received, "refused: " + c.error);
}
