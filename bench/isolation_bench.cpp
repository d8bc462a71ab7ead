// The per-job cost of job isolation, timed from outside (e.g. /usr/bin/time): one process starts the
// interpreter wrapper of an application folder and distils a clean job N times through the warm worker.
// Timing N = 1 and N = 201 of the same build gives the per-job cost as (T201 - T1) / 200; the same program
// against the application folder of an older build gives that build's figure.
//   isolation_bench APP_DIR JOBS shapes|text|file:PATH
//     shapes  filled and stroked paths in three colour spaces
//     text    the same with Helvetica and Times text (fonts a job loads vanish at its restore)
//     file    any EPS file (its PostScript section must start at byte 0)
#include <jaws/JawsApi.h>

#include "BenchSupport.h"

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace {

constexpr const char* kShapes = "0.2 0.4 0.6 0.1 setcmykcolor 10 10 80 40 rectfill\n"
                                "1 0 0 setrgbcolor newpath 120 20 moveto 180 20 lineto 150 80 lineto fill\n"
                                "0.5 setgray 3 setlinewidth newpath 10 90 moveto 190 90 lineto stroke\n";
constexpr const char* kText = "/Helvetica findfont 14 scalefont setfont 10 60 moveto (Isolation bench) show\n"
                              "/Times-Roman findfont 10 scalefont setfont 10 75 moveto (per job) show\n";

template <class F> F Bind(void* module, const char* name) {
    return reinterpret_cast<F>(dlsym(module, name));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: isolation_bench APP_DIR JOBS shapes|text|file:PATH\n");
        return 2;
    }
    const std::string app = argv[1];
    const int jobs = std::atoi(argv[2]);
    const std::string kind = argv[3];
    std::string postScript;
    double left = 0, bottom = 0, width = 200, height = 100;
    if (kind == "shapes" || kind == "text") {
        postScript = std::string("%!PS-Adobe-3.0 EPSF-3.0\n%%BoundingBox: 0 0 200 100\n") + kShapes +
                     (kind == "text" ? kText : "");
    } else if (kind.rfind("file:", 0) == 0) {
        postScript = BRASK::BENCH::ReadBytes(kind.substr(5));
        double llx = 0, lly = 0, urx = 0, ury = 0;
        const std::size_t at = postScript.find("%%BoundingBox:");
        if (at == std::string::npos ||
            std::sscanf(postScript.c_str() + at, "%%%%BoundingBox: %lf %lf %lf %lf", &llx, &lly, &urx,
                        &ury) != 4) {
            std::fprintf(stderr, "no bounding box in %s\n", kind.c_str() + 5);
            return 2;
        }
        left = llx;
        bottom = lly;
        width = urx - llx;
        height = ury - lly;
    } else {
        std::fprintf(stderr, "unknown job kind %s\n", kind.c_str());
        return 2;
    }

    void* module = dlopen((app + "/libBraskPDF.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto startup = Bind<PFN_postscript_dll_startup>(module, "postscript_dll_startup");
    auto finish = Bind<PFN_postscript_dll_finish>(module, "postscript_dll_finish");
    auto distil = Bind<PFN_BPDFStartDistill>(module, "BPDFStartDistill");

    const BRASK::BENCH::TempDir folder;
    const std::string source = (folder.Path() / "job.ps").string();
    const std::string output = (folder.Path() / "job.pdf").string();
    std::ofstream(source, std::ios::binary) << postScript;
    const std::string devicePath =
        "%os%=;%temp%=" + folder.Path().string() + ";%profiles%=" + app + "/Profiles;";
    int status = startup(nullptr, "%lib%init.ps", devicePath.c_str());

    RipDistillParams params;
    std::memset(&params, 0, sizeof params);
    params.recordSize = kRipDistillParamsSize;
    params.left = static_cast<int32_t>(left * 65536);
    params.bottom = static_cast<int32_t>(bottom * 65536);
    params.width = static_cast<int32_t>(width * 65536);
    params.height = static_cast<int32_t>(height * 65536);
    params.xResolution = params.yResolution = 288 << 16;
    params.embedAllFonts = 1;
    params.flags = 3;
    for (int i = 0; i < jobs && status == kJawsOK; ++i) {
        unlink(output.c_str());
        status = distil(source.c_str(), output.c_str(), &params);
    }
    finish(nullptr);
    if (status != kJawsOK)
        std::fprintf(stderr, "a job failed with %d\n", status);
    return status == kJawsOK ? 0 : 1;
}
