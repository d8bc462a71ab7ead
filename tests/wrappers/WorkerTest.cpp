// The messages between a wrapper and its interpreter process, and the worker client that sends them, against
// a stand-in worker that misbehaves (FakeWorker.cpp) and against the real one. Each message comes back from
// its decoder with every field, and every value a decoder cannot take is refused with its own reason.
#include "GsWorkerClient.h"
#include "WorkerProtocol.h"

#include "../support/Fixture.h"

#include <cmath>
#include <csignal>
#include <cstring>
#include <functional>
#include <limits>
#include <sstream>
#include <type_traits>
#include <unistd.h>

using namespace BRASK::WRAPPERS;
using K = MessageKind;
using J = JobMessage;
using P = RasterPass;

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
        job.raster = {true, 400, 200, 144, 96, {P::CmykOnFull, P::RgbOnBlack, P::CmykOnNone}, false, {}};
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
// decoded message's fields (each ends with '|'), or the error.
template <class M> std::string Received(const std::string& frame, K kind) {
    MessageHeader header;
    std::memcpy(&header, frame.data(), sizeof header);
    const std::string_view payload = std::string_view(frame).substr(sizeof header);
    std::string error;
    M message{};
    if (!DecodeHeader(header, error))
        return error;
    EXPECT_EQ(header.kind, kind);
    EXPECT_EQ(header.size, payload.size());
    if constexpr (std::is_same_v<M, DataBlock>)
        message.bytes = payload;
    else if constexpr (std::is_same_v<M, PixelsMessage>)
        Decode(payload, 3, message, error);
    else if constexpr (!std::is_empty_v<M>)
        Decode(payload, message, error);
    return error.empty() ? Fields(message) : error;
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

// The worker folders (gsworker-*) inside `folder`.
std::vector<std::string> WorkerFolders(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().filename().string().rfind("gsworker-", 0) == 0)
            names.push_back(entry.path().string());
    }
    return names;
}

class WorkerClientTest : public BRASK::TEST::Fixture {
protected:
    WorkerClientTest() { mClient = MakeClient(BRASK_FAKE_WORKER); }
    std::unique_ptr<GsWorkerClient> MakeClient(const std::string& worker) {
        EngineConfig config;
        config.tempFolder = mTemp.Path().string();
        config.workerPath = worker;
        return std::make_unique<GsWorkerClient>(
            config, [this](int, std::string_view message) { mMessages.emplace_back(message); });
    }
    // A distiller job of `text` to `name` in the private folder, whose name tells the stand-in what to do;
    // `rewinds` counts the times it was put back to its start, when it may be.
    JobRequest Job(const std::string& name, const std::string& text = "test", int* rewinds = nullptr) {
        JobRequest job;
        job.outputPath = (mTemp.Path() / name).string();
        job.page.width = job.page.height = 100;
        job.byteCount = text.size();
        job.read = [text](char* buffer, std::size_t capacity) { // the client reads byteCount bytes
            const std::size_t length = std::min(capacity, text.size());
            std::copy_n(text.data(), length, buffer);
            return static_cast<std::int64_t>(length);
        };
        if (rewinds != nullptr)
            job.rewind = [rewinds] { return ++*rewinds > 0; };
        return job;
    }
    JobResult Run(const std::string& mode, int* rewinds = nullptr) {
        return mClient->Run(Job(mode, "test", rewinds));
    }
    // The private folder of the process that runs the next job, which the stand-in gets as its TMPDIR and
    // --temp (its process id comes first).
    std::string ActiveFolder() {
        std::string pid, tmpdir = "?", temp;
        if (Run("environment").status == JobStatus::Ok && !mMessages.empty())
            std::istringstream(mMessages.back()) >> pid >> tmpdir >> temp;
        EXPECT_EQ(tmpdir, temp);
        return tmpdir;
    }
    std::vector<std::string> mMessages;
    std::unique_ptr<GsWorkerClient> mClient;
};

} // namespace

TEST(WorkerProtocolTest, EveryMessageComesBackWithEveryFieldAndEveryBadValueIsRefusedWithItsReason) {
    const std::string longText(kMaxReplyText + 10, 'x'), cut = longText.substr(0, kMaxReplyText);
    const std::string pixels(kMaxRasterChunk, '\x7f'), half = longText.substr(0, kMaxReplyText / 2);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::string unnamed = Encode(FontSubstitution{"Futura", ""});
    unnamed[sizeof(MessageHeader)] = 7; // the requested name runs past the frame
    const struct {
        std::string received, expected;
    } cases[] = {
        {Received<J>(Encode(GoodJob(false)), K::Job), Fields(GoodJob(false))},
        {Received<J>(Encode(GoodJob(true)), K::Job), Fields(GoodJob(true))},
        {Received<DataBlock>(Encode(DataBlock{{"%!PS\0\xff", 6}}), K::DataBlock),
         std::string("%!PS\0\xff|", 7)},
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
        // Refusals.
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
        EXPECT_EQ(c.received, c.expected);
}

TEST_F(WorkerClientTest, AMisbehavingWorkerFailsItsJobCleanlyAndASpareTakesOver) {
    const struct {
        const char* mode;
        const char* reason;
    } cases[] = {
        {"crash", "the interpreter process ended during the job"},
        {"oversized", "the interpreter process sent a text of 65537 bytes; it is restarted"},
        {"pixels", "the interpreter process sent pixels for a job that asked for none; it is restarted"},
        {"bad-result", "the interpreter process sent the unknown result 200; it is restarted"},
    };
    ASSERT_EQ(Run("ok").status, JobStatus::Ok);
    EXPECT_FALSE(mClient->HasSpare()) << "a clean run started a spare";
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        const std::string ended = ActiveFolder();
        const int processes = mClient->ProcessesStarted();
        const JobResult failed = Run(c.mode);
        EXPECT_EQ(std::tie(failed.status, failed.reason), std::tuple(JobStatus::Failed, c.reason));
        EXPECT_FALSE(std::filesystem::exists(ended)) << "the ended worker's folder stayed";
        // The spare is started before the next job asks for it, and that job runs in it.
        EXPECT_EQ(std::pair(mClient->HasSpare(), mClient->ProcessesStarted()),
                  std::pair(true, processes + 1));
        const std::vector<std::string> waiting = WorkerFolders(mTemp.Path());
        ASSERT_EQ(waiting.size(), 1u);
        EXPECT_EQ(ActiveFolder(), waiting.front());
        EXPECT_EQ(std::pair(mClient->HasSpare(), mClient->ProcessesStarted()),
                  std::pair(false, processes + 1));
    }
    mClient->Stop();
    EXPECT_TRUE(WorkerFolders(mTemp.Path()).empty());
}

TEST_F(WorkerClientTest, AJobThatEndsAUsedWorkerRunsOnceMoreInAFreshOne) {
    // What earlier jobs left inside a worker may end it during the next job: that job runs again in a fresh
    // process when it can be read again, and only once. A job that ends a fresh worker is not run again.
    const struct {
        const char* mode;
        bool rewindable;
        JobStatus status;
        int rewinds;
    } cases[] = {
        {"crash-if-used", true, JobStatus::Ok, 1},
        {"crash-if-used", false, JobStatus::Failed, 0},
        {"crash", true, JobStatus::Failed, 1},
    };
    for (const auto& c : cases) {
        mClient = MakeClient(BRASK_FAKE_WORKER);
        ASSERT_EQ(Run("ok").status, JobStatus::Ok);
        int rewinds = 0;
        mMessages.clear();
        const JobResult result = Run(c.mode, c.rewindable ? &rewinds : nullptr);
        const bool reported = std::find(mMessages.begin(), mMessages.end(),
                                        "the interpreter process ended during the job") != mMessages.end();
        EXPECT_EQ(std::tuple(result.status, rewinds, reported),
                  std::tuple(c.status, c.rewinds, c.status != JobStatus::Ok))
            << c.mode << (c.rewindable ? " rewindable" : "");
        EXPECT_EQ(Run("ok").status, JobStatus::Ok) << c.mode;
        mClient->Stop();
        EXPECT_TRUE(WorkerFolders(mTemp.Path()).empty()) << c.mode;
    }
}

TEST_F(WorkerClientTest, TheRealWorkerRefusesABadJobAndOutlivesAPostScriptError) {
    // The real worker refuses a job it cannot take with the reason, which is logged, and serves on; a
    // PostScript error stops its interpreter, not the process.
    const std::unique_ptr<GsWorkerClient> client = MakeClient(std::string(BRASK_APP_DIR) + "/brask-gsworker");
    const JobRequest job = Job("failed.pdf", "%!PS\nnosuchoperator\n");
    JobRequest refused = job;
    refused.page.resolution = 0;
    const JobResult refusal = client->Run(refused);
    EXPECT_EQ(refusal.status, JobStatus::BadParameter);
    EXPECT_EQ(refusal.reason, "the page resolution 0 is out of range");
    EXPECT_NE(std::find(mMessages.begin(), mMessages.end(), refusal.reason), mMessages.end());
    ASSERT_EQ(client->Run(job).status, JobStatus::Failed);
    EXPECT_EQ(client->ProcessesStarted(), 1);
    client->Stop();
    EXPECT_TRUE(WorkerFolders(mTemp.Path()).empty());
}

TEST_F(WorkerClientTest, AWorkerEndedBetweenJobsIsReplacedAndAbortSparesAnIdleOne) {
    const std::string first = ActiveFolder();
    mClient->Abort();
    ASSERT_EQ(ActiveFolder(), first);
    EXPECT_EQ(mClient->ProcessesStarted(), 1) << "an abort without a job ended the worker";
    ASSERT_EQ(kill(std::stoi(mMessages.back()), SIGKILL), 0);
    usleep(100 * 1000);
    EXPECT_EQ(Run("ok").status, JobStatus::Ok);
    EXPECT_EQ(mClient->ProcessesStarted(), 2);
    EXPECT_FALSE(std::filesystem::exists(first)) << "the ended worker's folder stayed";
}
