// The worker client against a stand-in worker that misbehaves (FakeWorker.cpp) and against the real one.
#include "GsWorkerClient.h"

#include "../support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <string>
#include <unistd.h>
#include <vector>

using namespace BRASK::WRAPPERS;
using BRASK::TEST::TempDir;

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

class WorkerClientTest : public ::testing::Test {
protected:
    WorkerClientTest() { MakeClient(300); }
    void MakeClient(int recycleAfterJobs) {
        EngineConfig config;
        config.tempFolder = mDir.Path().string();
        config.workerPath = BRASK_FAKE_WORKER;
        config.recycleAfterJobs = recycleAfterJobs;
        mClient = std::make_unique<GsWorkerClient>(
            config, [this](int, std::string_view message) { mMessages.emplace_back(message); });
    }
    // A distiller job of a few bytes whose output path tells the stand-in what to do; `rewinds` counts the
    // times it was put back to its start, when it may be.
    JobResult Run(const std::string& mode, int* rewinds = nullptr) {
        JobRequest job;
        job.outputPath = (mDir.Path() / mode).string();
        job.byteCount = 4;
        job.read = [](char* buffer, std::size_t) {
            std::copy_n("test", 4, buffer);
            return std::int64_t(4);
        };
        if (rewinds != nullptr)
            job.rewind = [rewinds] { return ++*rewinds > 0; };
        return mClient->Run(job);
    }
    // The private folder of the process that runs the next job.
    std::string ActiveFolder() {
        if (Run("environment").status != JobStatus::Ok || mMessages.empty())
            return "?";
        const std::string& line = mMessages.back();
        return line.substr(7, line.find(' ') - 7);
    }
    TempDir mDir;
    std::vector<std::string> mMessages;
    std::unique_ptr<GsWorkerClient> mClient;
};

} // namespace

TEST_F(WorkerClientTest, AMisbehavingWorkerFailsItsJobCleanlyAndASpareTakesOver) {
    struct Case {
        const char* mode;
        const char* reason;
    };
    const Case cases[] = {
        {"crash", "the interpreter process ended during the job"},
        {"oversized", "the interpreter process sent a text of 65537 bytes; it is restarted"},
        {"pixels", "the interpreter process sent pixels for a job that asked for none; it is restarted"},
        {"unknown-kind", "the interpreter process sent a frame of the unknown kind 9; it is restarted"},
        {"bad-result", "the interpreter process sent the unknown result 200; it is restarted"},
    };
    ASSERT_EQ(Run("ok").status, JobStatus::Ok);
    EXPECT_FALSE(mClient->HasSpare()) << "a clean run started a spare";
    for (const Case& c : cases) {
        const std::string ended = ActiveFolder();
        const int processes = mClient->ProcessesStarted();
        const JobResult failed = Run(c.mode);
        EXPECT_EQ(failed.status, JobStatus::Failed) << c.mode;
        EXPECT_EQ(failed.reason, c.reason);
        EXPECT_FALSE(std::filesystem::exists(ended)) << c.mode << ": the ended worker's folder stayed";
        // The spare is started before the next job asks for it, and that job runs in it.
        ASSERT_TRUE(mClient->HasSpare()) << c.mode;
        EXPECT_EQ(mClient->ProcessesStarted(), processes + 1) << c.mode;
        const std::vector<std::string> waiting = WorkerFolders(mDir.Path());
        ASSERT_EQ(waiting.size(), 1u) << c.mode;
        EXPECT_EQ(ActiveFolder(), waiting.front()) << c.mode;
        EXPECT_FALSE(mClient->HasSpare()) << c.mode;
        EXPECT_EQ(mClient->ProcessesStarted(), processes + 1) << c.mode;
    }
    mClient->Stop();
    EXPECT_TRUE(WorkerFolders(mDir.Path()).empty());
}

TEST_F(WorkerClientTest, AJobThatEndsAUsedWorkerRunsOnceMoreInAFreshOne) {
    // What earlier jobs left inside a worker may end it during the next job: that job runs again in a fresh
    // process when it can be read again, and only once. A job that ends a fresh worker is not run again.
    struct Case {
        const char* mode;
        bool rewindable;
        JobStatus status;
        int rewinds;
    };
    const Case cases[] = {
        {"crash-if-used", true, JobStatus::Ok, 1},
        {"crash-if-used", false, JobStatus::Failed, 0},
        {"crash", true, JobStatus::Failed, 1},
    };
    for (const Case& c : cases) {
        MakeClient(300);
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
        EXPECT_TRUE(WorkerFolders(mDir.Path()).empty()) << c.mode;
    }
}

TEST_F(WorkerClientTest, TheRealWorkerRefusesABadJobAndRestartsAStoppedInterpreterInPlace) {
    // The real worker refuses a job it cannot take with the reason, which is logged, and serves on. Its
    // interpreter a PostScript error stops: it starts a new one right after answering, which opens its
    // parking file, before any other job arrives.
    EngineConfig config;
    config.tempFolder = mDir.Path().string();
    config.workerPath = std::string(BRASK_APP_DIR) + "/brask-gsworker";
    GsWorkerClient client(config, [this](int, std::string_view message) { mMessages.emplace_back(message); });
    const std::string text = "%!PS\nnosuchoperator\n";
    JobRequest job;
    job.outputPath = (mDir.Path() / "failed.pdf").string();
    job.page.width = job.page.height = 100;
    job.byteCount = text.size();
    job.read = [&text, done = false](char* buffer, std::size_t capacity) mutable -> std::int64_t {
        if (done)
            return 0;
        done = true;
        std::copy_n(text.data(), std::min(capacity, text.size()), buffer);
        return static_cast<std::int64_t>(std::min(capacity, text.size()));
    };
    JobRequest refused = job;
    refused.page.resolution = 0;
    const JobResult refusal = client.Run(refused);
    EXPECT_EQ(refusal.status, JobStatus::BadParameter);
    EXPECT_EQ(refusal.reason, "the page resolution 0 is out of range");
    EXPECT_NE(std::find(mMessages.begin(), mMessages.end(), refusal.reason), mMessages.end());
    ASSERT_EQ(client.Run(job).status, JobStatus::Failed);
    const std::vector<std::string> folders = WorkerFolders(mDir.Path());
    ASSERT_EQ(folders.size(), 1u);
    const std::filesystem::path parking = std::filesystem::path(folders.front()) / "parking.pdf";
    bool restarted = false;
    for (int i = 0; i < 500 && !restarted; ++i) {
        restarted = std::filesystem::exists(parking);
        if (!restarted)
            usleep(20 * 1000);
    }
    EXPECT_TRUE(restarted) << "no interpreter waits in " << folders.front();
    EXPECT_EQ(client.ProcessesStarted(), 1);
    client.Stop();
    EXPECT_TRUE(WorkerFolders(mDir.Path()).empty());
}

TEST_F(WorkerClientTest, TheWorkerRunsWithItsPrivateFolderAsTmpdir) {
    ASSERT_EQ(Run("environment").status, JobStatus::Ok);
    const std::vector<std::string> folders = WorkerFolders(mDir.Path());
    ASSERT_EQ(folders.size(), 1u);
    ASSERT_FALSE(mMessages.empty());
    EXPECT_EQ(mMessages.back(), "TMPDIR=" + folders.front() + " temp=" + folders.front());
}

TEST_F(WorkerClientTest, AWorkerEndedBetweenJobsIsReplacedAndAbortSparesAnIdleOne) {
    ASSERT_EQ(Run("pid").status, JobStatus::Ok);
    mClient->Abort();
    ASSERT_EQ(Run("pid").status, JobStatus::Ok);
    EXPECT_EQ(mClient->ProcessesStarted(), 1) << "an abort without a job ended the worker";
    const std::vector<std::string> folders = WorkerFolders(mDir.Path());
    ASSERT_EQ(folders.size(), 1u);
    ASSERT_EQ(kill(std::stoi(mMessages.back()), SIGKILL), 0);
    usleep(100 * 1000);
    EXPECT_EQ(Run("ok").status, JobStatus::Ok);
    EXPECT_EQ(mClient->ProcessesStarted(), 2);
    EXPECT_FALSE(std::filesystem::exists(folders.front())) << "the ended worker's folder stayed";
}
