// Pictures placed from several threads at once give what they give one by one.
#include "../support/CorpusSkip.h"
#include "PluginHost.h"
#include "brask/FilterKeys.h"

#include <map>
#include <thread>

using namespace BRASK;
using BRASK::TEST::Placement;
using BRASK::TEST::Placing;
using BRASK::TEST::PluginHost;

namespace {

struct Job {
    std::string path;
    bool interpreter = false;
    bool svg = false;
};

// What a placement tells the host, in a form that compares whole.
struct Outcome {
    Status status = -1;
    std::vector<float> keys;
    std::vector<std::uint8_t> colorSpaces;
    std::uint32_t pdfBytes = 0;
    float pageWidth = 0, pageHeight = 0;

    bool operator==(const Outcome&) const = default;
};

Outcome PlaceJob(const Job& job) {
    Placement placement = PluginHost::Instance().Place(job.path, job.interpreter, job.svg);
    Outcome outcome;
    outcome.status = placement.status;
    for (std::int32_t key : {FILTERKEY::kWidth, FILTERKEY::kHeight, FILTERKEY::kLeft, FILTERKEY::kRight,
                             FILTERKEY::kBottom, FILTERKEY::kTop})
        outcome.keys.push_back(placement.Float(key));
    outcome.colorSpaces = placement.Bytes(FILTERKEY::kColorSpaces);
    if (placement.connectionSpace != nullptr) {
        outcome.pdfBytes = placement.connectionSpace->GetPDFSize() > 0 ? 1 : 0;
        const auto box = placement.connectionSpace->GetPageBox();
        outcome.pageWidth = box.right - box.left;
        outcome.pageHeight = box.top - box.bottom;
    }
    return outcome;
}

std::vector<Job> Jobs() {
    std::vector<Job> jobs;
    const std::string sample = std::string(BRASK_SOURCE_DIR) + "/samples/sample.eps";
    const std::string corpus = BRASK_CORPUS_DIR;
    for (const std::string& eps :
         {sample, corpus + "/eps-customcolor/aspose-imaging__Sample.eps",
          corpus + "/eps-plain/mei__mathematica.eps", corpus + "/eps-photoshop/magicknet__SwedenHeart.eps"}) {
        jobs.push_back({eps, false, false});
        jobs.push_back({eps, true, false});
    }
    for (const auto& svg : TEST::CorpusFiles({".svg"})) {
        jobs.push_back({svg.string(), false, true});
        if (jobs.size() >= 12)
            break;
    }
    return jobs;
}

} // namespace

TEST_F(Placing, ThreadsGiveTheSameResultsAsOneByOne) {
    BRASK_SKIP_WITHOUT_CORPUS();
    const std::vector<Job> jobs = Jobs();
    std::vector<Outcome> alone;
    for (const Job& job : jobs)
        alone.push_back(PlaceJob(job));

    std::vector<Outcome> together(jobs.size());
    std::vector<std::thread> threads;
    constexpr std::size_t kThreads = 4;
    for (std::size_t t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t i = t; i < jobs.size(); i += kThreads)
                together[i] = PlaceJob(jobs[i]);
        });
    for (auto& thread : threads)
        thread.join();

    for (std::size_t i = 0; i < jobs.size(); ++i) {
        SCOPED_TRACE(jobs[i].path + (jobs[i].interpreter ? " (interpreter)" : ""));
        if (!jobs[i].svg) { // some corpus SVG files are ones librsvg refuses; they must fail alike
            EXPECT_EQ(alone[i].status, kOK);
        }
        EXPECT_TRUE(together[i] == alone[i]);
    }
}
