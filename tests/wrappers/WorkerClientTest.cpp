// The worker client against a stand-in worker that misbehaves (FakeWorker.cpp) and against the real one.
#include "GsWorkerClient.h"

#include "../support/Fixture.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace BRASK::WRAPPERS;

namespace {

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
    // The private folder of the process that runs the next job, which the stand-in gets as its TMPDIR.
    std::string ActiveFolder() {
        if (Run("environment").status != JobStatus::Ok || mMessages.empty())
            return "?";
        const std::string& line = mMessages.back();
        EXPECT_EQ(line.substr(line.find(' ')), " temp=" + line.substr(7, line.find(' ') - 7)) << line;
        return line.substr(7, line.find(' ') - 7);
    }
    std::vector<std::string> mMessages;
    std::unique_ptr<GsWorkerClient> mClient;
};

} // namespace

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
        const std::string ended = ActiveFolder();
        const int processes = mClient->ProcessesStarted();
        const JobResult failed = Run(c.mode);
        EXPECT_EQ(failed.status, JobStatus::Failed) << c.mode;
        EXPECT_EQ(failed.reason, c.reason);
        EXPECT_FALSE(std::filesystem::exists(ended)) << c.mode << ": the ended worker's folder stayed";
        // The spare is started before the next job asks for it, and that job runs in it.
        ASSERT_TRUE(mClient->HasSpare()) << c.mode;
        EXPECT_EQ(mClient->ProcessesStarted(), processes + 1) << c.mode;
        const std::vector<std::string> waiting = WorkerFolders(mTemp.Path());
        ASSERT_EQ(waiting.size(), 1u) << c.mode;
        EXPECT_EQ(ActiveFolder(), waiting.front()) << c.mode;
        EXPECT_FALSE(mClient->HasSpare()) << c.mode;
        EXPECT_EQ(mClient->ProcessesStarted(), processes + 1) << c.mode;
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
        EXPECT_EQ(result.status, c.status) << c.mode << (c.rewindable ? " rewindable" : "");
        EXPECT_EQ(rewinds, c.rewinds) << c.mode;
        const bool reported = std::find(mMessages.begin(), mMessages.end(),
                                        "the interpreter process ended during the job") != mMessages.end();
        EXPECT_EQ(reported, c.status != JobStatus::Ok) << c.mode;
        EXPECT_EQ(Run("ok").status, JobStatus::Ok) << c.mode;
        mClient->Stop();
        EXPECT_TRUE(WorkerFolders(mTemp.Path()).empty()) << c.mode;
    }
}

TEST_F(WorkerClientTest, TheRealWorkerRefusesABadJobAndRestartsAStoppedInterpreterInPlace) {
    // The real worker refuses a job it cannot take with the reason, which is logged, and serves on. Its
    // interpreter a PostScript error stops: it starts a new one right after answering, which opens its
    // parking file, before any other job arrives.
    const std::unique_ptr<GsWorkerClient> client = MakeClient(std::string(BRASK_APP_DIR) + "/brask-gsworker");
    const JobRequest job = Job("failed.pdf", "%!PS\nnosuchoperator\n");
    JobRequest refused = job;
    refused.page.resolution = 0;
    const JobResult refusal = client->Run(refused);
    EXPECT_EQ(refusal.status, JobStatus::BadParameter);
    EXPECT_EQ(refusal.reason, "the page resolution 0 is out of range");
    EXPECT_NE(std::find(mMessages.begin(), mMessages.end(), refusal.reason), mMessages.end());
    ASSERT_EQ(client->Run(job).status, JobStatus::Failed);
    const std::vector<std::string> folders = WorkerFolders(mTemp.Path());
    ASSERT_EQ(folders.size(), 1u);
    const std::filesystem::path parking = std::filesystem::path(folders.front()) / "parking.pdf";
    bool restarted = false;
    for (int i = 0; i < 500 && !restarted; ++i) {
        restarted = std::filesystem::exists(parking);
        if (!restarted)
            usleep(20 * 1000);
    }
    EXPECT_TRUE(restarted) << "no interpreter waits in " << folders.front();
    EXPECT_EQ(client->ProcessesStarted(), 1);
    client->Stop();
    EXPECT_TRUE(WorkerFolders(mTemp.Path()).empty());
}

TEST_F(WorkerClientTest, AWorkerEndedBetweenJobsIsReplacedAndAbortSparesAnIdleOne) {
    ASSERT_EQ(Run("pid").status, JobStatus::Ok);
    mClient->Abort();
    ASSERT_EQ(Run("pid").status, JobStatus::Ok);
    EXPECT_EQ(mClient->ProcessesStarted(), 1) << "an abort without a job ended the worker";
    const std::vector<std::string> folders = WorkerFolders(mTemp.Path());
    ASSERT_EQ(folders.size(), 1u);
    ASSERT_EQ(kill(std::stoi(mMessages.back()), SIGKILL), 0);
    usleep(100 * 1000);
    EXPECT_EQ(Run("ok").status, JobStatus::Ok);
    EXPECT_EQ(mClient->ProcessesStarted(), 2);
    EXPECT_FALSE(std::filesystem::exists(folders.front())) << "the ended worker's folder stayed";
}
