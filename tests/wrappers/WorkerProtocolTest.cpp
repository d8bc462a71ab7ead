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

namespace {

// A job whose every field differs from its default (a job of one kind keeps the other kind's defaults).
JobMessage GoodJob(bool raster) {
    JobMessage message;
    message.timeLimitSeconds = 65;
    JobRequest& job = message.job;
    job.outputPath = "/out.pdf";
    job.jobOptions = "abc";
    job.byteCount = 1000;
    if (!raster) {
        job.page = JobPage{200, 100, -5, 7.5, false, false, false, 288};
        return message;
    }
    const std::vector<RasterPass> passes = {RasterPass::CmykOnFull, RasterPass::RgbOnBlack,
                                            RasterPass::CmykOnNone};
    job.raster = RasterRequest{true, 400, 200, 144, 96, passes, false, {}};
    return message;
}

template <class... T> std::string Join(const T&... values) {
    std::ostringstream out;
    ((out << values << '|'), ...);
    return out.str();
}

// Every field a message carries, as text to compare and print.
std::string Fields(const JobMessage& m) {
    const JobPage& p = m.job.page;
    const RasterRequest& r = m.job.raster;
    std::string passes;
    for (RasterPass pass : r.passes)
        passes += std::to_string(static_cast<int>(pass));
    return Join(m.timeLimitSeconds, m.job.outputPath, m.job.jobOptions, m.job.byteCount, p.width, p.height,
                p.left, p.bottom, p.setPageSize, p.moveOrigin, p.embedAllFonts, p.resolution, r.enabled,
                r.sendPixels, r.width, r.height, r.xResolution, r.yResolution, passes);
}
template <class M> std::string Fields(const M& m) {
    if constexpr (std::is_same_v<M, LogMessage>)
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

// Decodes a frame as its receiver does, as message `M` (pixels of a job of three passes): the decoded
// message's fields, or "refused: " and the error.
template <class M> std::string Received(const std::string& frame, MessageKind kind) {
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

// A good frame whose header, job fields or job were changed; what its receiver says.
template <class M = JobMessage>
std::string SpoiledHeader(std::string frame, const std::function<void(MessageHeader&)>& spoil) {
    MessageHeader header;
    std::memcpy(&header, frame.data(), sizeof header);
    const MessageKind kind = header.kind;
    spoil(header);
    std::memcpy(frame.data(), &header, sizeof header);
    return Received<M>(frame, kind);
}

std::string SpoiledFields(const std::function<void(JobFields&)>& spoil) {
    std::string frame = Encode(GoodJob(false));
    JobFields fields;
    std::memcpy(&fields, frame.data() + sizeof(MessageHeader), sizeof fields);
    spoil(fields);
    std::memcpy(frame.data() + sizeof(MessageHeader), &fields, sizeof fields);
    return Received<JobMessage>(frame, MessageKind::Job);
}

std::string SpoiledJob(bool raster, const std::function<void(JobMessage&)>& spoil) {
    JobMessage message = GoodJob(raster);
    spoil(message);
    return Received<JobMessage>(Encode(message), MessageKind::Job);
}

} // namespace

TEST(WorkerProtocolTest, EveryMessageComesBackWithEveryField) {
    const std::string longText(kMaxReplyText + 10, 'x'), cut = longText.substr(0, kMaxReplyText);
    const std::string pixels(kMaxRasterChunk, '\x7f');
    const struct {
        const char* what;
        std::string received, sent;
    } trips[] = {
        {"distiller job", Received<JobMessage>(Encode(GoodJob(false)), MessageKind::Job),
         Fields(GoodJob(false))},
        {"raster job", Received<JobMessage>(Encode(GoodJob(true)), MessageKind::Job), Fields(GoodJob(true))},
        {"data block", Received<DataBlock>(Encode(DataBlock{{"%!PS\0\xff", 6}}), MessageKind::DataBlock),
         std::string("%!PS\0\xff|", 7)},
        {"data end", Received<DataEnd>(Encode(DataEnd{}), MessageKind::DataEnd), ""},
        {"read error", Received<DataReadError>(Encode(DataReadError{}), MessageKind::DataReadError), ""},
        {"error message",
         Received<LogMessage>(Encode(LogMessage{LogLevel::Error, "Error"}), MessageKind::Log), "2|Error|"},
        {"message cut to its limit",
         Received<LogMessage>(Encode(LogMessage{LogLevel::Info, longText}), MessageKind::Log),
         "1|" + cut + "|"},
        {"result",
         Received<ResultMessage>(Encode(ResultMessage{JobStatus::OutputMissing, "no"}), MessageKind::Result),
         "5|no|"},
        {"empty result",
         Received<ResultMessage>(Encode(ResultMessage{JobStatus::Ok, ""}), MessageKind::Result), "0||"},
        {"pixels", Received<PixelsMessage>(Encode(PixelsMessage{2, pixels}), MessageKind::Pixels),
         "2|" + pixels + "|"},
        {"substitution",
         Received<FontSubstitution>(Encode(FontSubstitution{"Fu\nBold", "Nimbus"}),
                                    MessageKind::Substitution),
         "Fu\nBold|Nimbus|"},
        {"names cut to their limit",
         Received<FontSubstitution>(Encode(FontSubstitution{longText, longText}), MessageKind::Substitution),
         Join(longText.substr(0, kMaxReplyText / 2), longText.substr(0, kMaxReplyText / 2))},
    };
    for (const auto& trip : trips)
        EXPECT_EQ(trip.received, trip.sent) << trip.what;
}

TEST(WorkerProtocolTest, EveryBadValueIsRefusedWithItsReason) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const std::string good = Encode(GoodJob(false));
    std::string unnamed = Encode(FontSubstitution{"Futura", ""});
    unnamed[sizeof(MessageHeader)] = 7; // the requested name runs past the frame
    const struct {
        const char* what;
        std::string received;
        std::string error;
    } cases[] = {
        {"magic", SpoiledHeader(good, [](MessageHeader& h) { h.magic = 0x12345678; }),
         "a frame without the protocol's magic"},
        {"version", SpoiledHeader(good, [](MessageHeader& h) { h.version = 2; }),
         "a frame of protocol version 2, not 1"},
        {"kind", SpoiledHeader(good, [](MessageHeader& h) { h.kind = MessageKind{0}; }),
         "a frame of the unknown kind 0"},
        {"short job", SpoiledHeader(good, [](MessageHeader& h) { h.size = 50; }),
         "a job frame of 50 bytes, where its kind holds 104 to 1114216"},
        {"data end with data",
         SpoiledHeader<DataEnd>(Encode(DataEnd{}), [](MessageHeader& h) { h.size = 3; }),
         "a data end frame of 3 bytes, where its kind holds 0"},
        {"empty result",
         SpoiledHeader<ResultMessage>(Encode(ResultMessage{}), [](MessageHeader& h) { h.size = 0; }),
         "a result frame of 0 bytes, where its kind holds 1 to 65537"},
        {"oversized pixels",
         SpoiledHeader<PixelsMessage>(Encode(PixelsMessage{}),
                                      [](MessageHeader& h) { h.size = kMaxRasterChunk + 2; }),
         "a frame of 1048577 pixel bytes"},
        {"path length",
         SpoiledJob(false, [](JobMessage& m) { m.job.outputPath.resize(kMaxPathLength + 1, 'p'); }),
         "the output path is longer than 65536 bytes"},
        {"options length",
         SpoiledJob(false, [](JobMessage& m) { m.job.jobOptions.resize(kMaxOptionsLength + 1, 'o'); }),
         "the job options are longer than 1048576 bytes"},
        {"lengths", SpoiledFields([](JobFields& f) { f.pathLength = 7; }),
         "the job frame holds 115 bytes, not the 114 its lengths announce"},
        {"NUL in path", SpoiledJob(false, [](JobMessage& m) { m.job.outputPath[2] = '\0'; }),
         "the output path holds a NUL byte"},
        {"no path", SpoiledJob(false, [](JobMessage& m) { m.job.outputPath.clear(); }),
         "a distiller job needs an output path"},
        {"flag", SpoiledFields([](JobFields& f) { f.embedAllFonts = 2; }),
         "the job's embed-all-fonts flag is 2, not 0 or 1"},
        {"raster flag", SpoiledFields([](JobFields& f) { f.raster = 7; }),
         "the job's raster flag is 7, not 0 or 1"},
        {"byte count", SpoiledJob(false, [](JobMessage& m) { m.job.byteCount = ~0ull; }),
         "the byte count 18446744073709551615 is too large"},
        {"time limit", SpoiledJob(false, [](JobMessage& m) { m.timeLimitSeconds = 4000000000u; }),
         "the time limit 4000000000 s is too large"},
        {"NaN width", SpoiledJob(false, [nan](JobMessage& m) { m.job.page.width = nan; }),
         "the page width nan is out of range"},
        {"negative height", SpoiledJob(false, [](JobMessage& m) { m.job.page.height = -1; }),
         "the page height -1 is out of range"},
        {"infinite origin", SpoiledJob(false, [](JobMessage& m) { m.job.page.left = HUGE_VAL; }),
         "the page's left edge inf is out of range"},
        {"zero resolution", SpoiledJob(false, [](JobMessage& m) { m.job.page.resolution = 0; }),
         "the page resolution 0 is out of range"},
        {"no pass", SpoiledJob(true, [](JobMessage& m) { m.job.raster.passes.clear(); }),
         "a raster job needs 1 to 4 passes, not 0"},
        {"five passes", SpoiledJob(true, [](JobMessage& m) { m.job.raster.passes.resize(5); }),
         "a raster job needs 1 to 4 passes, not 5"},
        {"unknown pass", SpoiledJob(true, [](JobMessage& m) { m.job.raster.passes[1] = RasterPass{4}; }),
         "raster pass 1 has the unknown kind 4"},
        {"pixel width", SpoiledJob(true, [](JobMessage& m) { m.job.raster.width = 0; }),
         "the raster's pixel width 0 is out of range"},
        {"pixel height", SpoiledJob(true, [](JobMessage& m) { m.job.raster.height = kMaxRasterSide + 1; }),
         "the raster's pixel height 32768 is out of range"},
        {"raster resolution", SpoiledJob(true, [nan](JobMessage& m) { m.job.raster.yResolution = nan; }),
         "the raster's vertical resolution nan is out of range"},
        {"log level", Received<LogMessage>(Encode(LogMessage{LogLevel{3}, "?"}), MessageKind::Log),
         "a message of the unknown level 3"},
        {"result", Received<ResultMessage>(Encode(ResultMessage{JobStatus{200}, "?"}), MessageKind::Result),
         "the unknown result 200"},
        {"pixels pass", Received<PixelsMessage>(Encode(PixelsMessage{3, "abc"}), MessageKind::Pixels),
         "pixels of pass 3 for a job of 3 passes"},
        {"substitution", Received<FontSubstitution>(unnamed, MessageKind::Substitution),
         "a font substitution without the font used"},
    };
    EXPECT_EQ(Received<JobMessage>(good, MessageKind::Job), Fields(GoodJob(false)));
    for (const auto& c : cases)
        EXPECT_EQ(c.received, "refused: " + c.error) << c.what;
}
