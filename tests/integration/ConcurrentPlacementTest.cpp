// Pictures placed from several threads at once give what they give one by one.
#include "../support/CorpusSkip.h"
#include "PluginHost.h"
#include "brask/FilterKeys.h"

#include <iomanip>
#include <sstream>
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

// What a placement tells the host, as text that compares whole: the status, the size and box keys, the colour
// spaces, whether there is a PDF and its page's size.
std::string PlaceJob(const Job& job) {
    Placement placement = PluginHost::Instance().Place(job.path, job.interpreter, job.svg);
    std::ostringstream out;
    out << std::setprecision(9) << placement.status;
    for (std::int32_t key : {FILTERKEY::kWidth, FILTERKEY::kHeight, FILTERKEY::kLeft, FILTERKEY::kRight,
                             FILTERKEY::kBottom, FILTERKEY::kTop})
        out << ' ' << placement.Float(key);
    for (const std::uint8_t space : placement.Bytes(FILTERKEY::kColorSpaces))
        out << " space " << int(space);
    if (placement.connectionSpace != nullptr) {
        const auto box = placement.connectionSpace->GetPageBox();
        out << " pdf " << (placement.connectionSpace->GetPDFSize() > 0) << ' ' << box.right - box.left << ' '
            << box.top - box.bottom;
    }
    return out.str();
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
    std::vector<std::string> alone;
    for (const Job& job : jobs)
        alone.push_back(PlaceJob(job));

    std::vector<std::string> together(jobs.size());
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
        // Some corpus SVG files are ones librsvg refuses; they must fail alike.
        EXPECT_TRUE(jobs[i].svg || alone[i].rfind(std::to_string(kOK) + " ", 0) == 0) << alone[i];
        EXPECT_EQ(together[i], alone[i]);
    }
}
