#include "CallasLibrary.h"

#include "EpsSection.h"
#include "SvgToPdf.h"

#include <fontmap/StubFontMap.h>
#include <jaws/CallasApi.h>
#include <jaws/FontSubstitutionText.h>
#include <jaws/JawsApi.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace BRASK::WRAPPERS {

namespace {

constexpr std::size_t kMaxJobOptionsBytes = 1024 * 1024;

bool ReadJobOptions(const char* path, std::string& text) {
    text.clear();
    if (path == nullptr || *path == '\0')
        return true;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    text.resize(kMaxJobOptionsBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text.size() <= kMaxJobOptionsBytes;
}

} // namespace

CallasLibrary& CallasLibrary::Instance() {
    static CallasLibrary library;
    return library;
}

CallasLibrary::~CallasLibrary() {
    mEngine.reset();
    if (!mTempFolder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(mTempFolder, ignored);
    }
}

void CallasLibrary::Report(std::string_view message) {
    std::fprintf(stderr, "CallasWrapper: %.*s\n", static_cast<int>(message.size()), message.data());
}

int32_t CallasLibrary::Init() {
    std::lock_guard<std::mutex> guard(mLock);
    if (mEngine)
        return kCallasOK;
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/brask-callas-" +
                          std::to_string(getpid()) + "-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) {
        Report("cannot create a private temporary folder");
        return kCallasFailed;
    }
    mTempFolder = pattern;
    EngineConfig config;
    config.tempFolder = mTempFolder;
    // The stub tree the host announced, as the interpreter wrapper maps it, so that a picture gets the same
    // fonts on both paths; without one the installed fonts by their PostScript names.
    FONTMAP::StubFontMap fonts = FONTMAP::ReadStubFontMap(mDevicePath);
    if (fonts.fonts.empty() && fonts.cidFonts.empty())
        fonts = FONTMAP::ReadInstalledFontMap();
    const FONTMAP::GhostscriptFontFiles files = FONTMAP::WriteGhostscriptFontFiles(
        fonts, mTempFolder + "/fontmap", FONTMAP::InstalledGhostscriptResources().systemCidfmap);
    if (files.ok)
        config.extraArguments = files.arguments;
    else
        Report("the font map of the installed fonts cannot be written");
    // The engine starts with the first EPS; SVG conversions never need it.
    mEngine = std::make_unique<GsWorkerClient>(config, [](int kind, std::string_view message) {
        if (kind == 2)
            Report(message);
    });
    return kCallasOK;
}

int32_t CallasLibrary::SetFontPaths(const char* devicePath) {
    std::lock_guard<std::mutex> guard(mLock);
    if (mEngine)
        return kCallasFailed; // the engine's font map is made once, by the first InitCallas
    mDevicePath = devicePath != nullptr ? devicePath : "";
    return kCallasOK;
}

void CallasLibrary::SetLogger(void* context, CallasLogCallback logger) {
    std::lock_guard<std::mutex> guard(mLoggerLock);
    mLoggerContext = context;
    mLogger = logger;
}

void CallasLibrary::Warn(const std::string& message) {
    std::lock_guard<std::mutex> guard(mLoggerLock);
    std::string text = message;
    if (mLogger != nullptr)
        mLogger(mLoggerContext, kJawsLogWarning, text.data(), static_cast<int>(text.size()));
    else
        Report(text);
}

bool CallasLibrary::Initialised() const {
    std::lock_guard<std::mutex> guard(mLock);
    return mEngine != nullptr;
}

int32_t CallasLibrary::SaveEps(const std::string& source, const char* jobOptionsPath,
                               const std::string& output) {
    std::string error;
    std::optional<EpsSection> section = ReadEpsSection(source, error);
    if (!section) {
        Report(source + ": " + error);
        return kCallasFailed;
    }
    if (!section->box || section->box->Empty()) {
        Report(source + ": " + (section->box ? "the bounding box is empty" : "no %%BoundingBox"));
        return kCallasFailed;
    }
    JobRequest job;
    if (!ReadJobOptions(jobOptionsPath, job.jobOptions)) {
        Report(std::string("cannot read the job options ") + jobOptionsPath);
        return kCallasFailed;
    }
    auto in = std::make_shared<std::ifstream>(source, std::ios::binary);
    in->seekg(static_cast<std::streamoff>(section->offset));
    job.outputPath = output;
    job.byteCount = section->length;
    job.read = [in](char* buffer, std::size_t capacity) -> std::int64_t {
        in->read(buffer, static_cast<std::streamsize>(capacity));
        return in->bad() ? -1 : in->gcount();
    };
    job.rewind = [in, offset = section->offset] {
        in->clear();
        in->seekg(static_cast<std::streamoff>(offset));
        return static_cast<bool>(*in);
    };
    const EpsBox& box = *section->box;
    job.page.left = box.left;
    job.page.bottom = box.bottom;
    job.page.width = box.Width();
    job.page.height = box.Height();

    GsWorkerClient* engine = nullptr;
    {
        std::lock_guard<std::mutex> guard(mLock);
        engine = mEngine.get();
    }
    const JobResult result = engine->Run(job);
    for (const FontSubstitution& substitution : result.fontSubstitutions)
        Warn(JAWS::FontSubstitutionText(substitution.requested, substitution.used));
    if (result.status != JobStatus::Ok) {
        Report(source + ": " + result.reason);
        return kCallasFailed;
    }
    return kCallasOK;
}

int32_t CallasLibrary::SaveSvg(const std::string& source, const std::string& output) {
    std::string error;
    if (!ConvertSvgToPdf(source, output, error)) {
        Report(source + ": " + error);
        return kCallasFailed;
    }
    return kCallasOK;
}

} // namespace BRASK::WRAPPERS
