#include "WrapperLibraries.h"

#include "../support/FaultyProvider.h"

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cmath>
#include <sstream>
#include <tuple>

namespace BRASK::TEST {

namespace {

int32_t ToFixed(double points) {
    return static_cast<int32_t>(std::lround(points * 65536.0));
}

template <class Table, class Bind> const Table* Load(const std::string& path, Bind&& bind) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    auto* table = new Table(); // lives as long as the process, like the plug-in's table
    if (module != nullptr && bind(module, *table))
        return table;
    delete table;
    return nullptr;
}

#define BRASK_BIND(ret, name, args)                                                                          \
    t.name = reinterpret_cast<PFN_##name>(dlsym(module, #name));                                             \
    all = all && t.name != nullptr;

std::string JawsTempFolder() {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/jaws" + std::to_string(getpid());
}

// Stops the interpreter started for the tests and removes its per-process folder.
class JawsCleanup : public ::testing::Environment {
public:
    void TearDown() override {
        if (const JawsTable* jaws = Jaws(); jaws != nullptr && jaws->BPDFJawsIntialised() == 1)
            jaws->postscript_dll_finish(nullptr);
        std::error_code ignored;
        std::filesystem::remove_all(JawsTempFolder(), ignored);
    }
};

[[maybe_unused]] ::testing::Environment* const gCleanup =
    ::testing::AddGlobalTestEnvironment(new JawsCleanup);

} // namespace

const JawsTable* Jaws() {
    static const JawsTable* table = Load<JawsTable>(JawsLibraryPath(), [](void* module, JawsTable& t) {
        bool all = true;
        JAWS_ENTRY_POINTS(BRASK_BIND)
        return all;
    });
    return table;
}

const CallasTable* Callas() {
    static const CallasTable* table =
        Load<CallasTable>(CallasLibraryPath(), [](void* module, CallasTable& t) {
            bool all = true;
            CALLAS_ENTRY_POINTS(BRASK_BIND)
            return all;
        });
    return table;
}

int32_t StartJaws() {
    static int32_t status = [] {
        if (Jaws() == nullptr)
            return int32_t(kJawsNotStarted);
        mkdir(JawsTempFolder().c_str(), 0700);
        return Jaws()->postscript_dll_startup(nullptr, "%lib%init.ps", JawsDevicePath().c_str());
    }();
    return status;
}

std::string JawsDevicePath() {
    const std::string temp = JawsTempFolder(), app = BRASK_APP_DIR;
    return "%os%=;%temp%=" + temp + ";%profiles%=" + app + "/Profiles;%default%+" + temp + ";%ram%!";
}

RipDistillParams MakeParams(double left, double bottom, double right, double top) {
    RipDistillParams params;
    std::memset(&params, 0, sizeof params);
    params.recordSize = kRipDistillParamsSize;
    params.left = ToFixed(left);
    params.bottom = ToFixed(bottom);
    params.width = std::abs(ToFixed(right) - ToFixed(left));
    params.height = std::abs(ToFixed(top) - ToFixed(bottom));
    params.xResolution = params.yResolution = 0x1200000;
    params.embedAllFonts = 1;
    params.flags = 3;
    return params;
}

int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width, double height,
                   double left, double bottom) {
    TInterfacePtr<FaultyProvider> provider = New<FaultyProvider>(postScript, INT_MAX);
    const RipDistillParams params = MakeParams(left, bottom, left + width, bottom + height);
    JawsLibraryMutex* mutex = nullptr;
    Jaws()->GetJawsLibraryMutex(&mutex);
    pthread_mutex_lock(mutex);
    const int32_t status = Jaws()->BPDFStartDistillUsingDataProvider(
        provider.Get(), static_cast<int32_t>(postScript.size()), pdfPath.c_str(), &params);
    pthread_mutex_unlock(mutex);
    return status;
}

int32_t RenderText(const std::string& text, double width, double height, double dpi, std::int16_t bits,
                   Render* render, RipColorCallback* callback) {
    std::optional<RipPixmap> pixmap;
    if (render != nullptr) {
        render->width = static_cast<std::int32_t>(width * dpi / 72);
        render->height = static_cast<std::int32_t>(height * dpi / 72);
        render->rowBytes = render->depth * render->width / 8;
        render->pixels.assign(static_cast<std::size_t>(render->rowBytes) * render->height, 0xAB);
        pixmap = RipPixmap{render->pixels.data(), render->rowBytes * render->height, render->depth,
                           render->rowBytes};
    }
    const int32_t opened =
        Jaws()->BPDFSetupRasterDevice(ToFixed(width), ToFixed(height), ToFixed(dpi), ToFixed(dpi), bits,
                                      pixmap ? &*pixmap : nullptr, 0, nullptr, callback);
    return opened != kJawsOK
               ? opened
               : Jaws()->BEPSDrawPageContents(3, text.data(), static_cast<int32_t>(text.size()), nullptr, 0);
}

int32_t SaveAsPdf(const std::string& source, const std::string& pdf, bool eps, const char* options) {
    return Callas()->SaveAsPDF(source.c_str(), options, nullptr, nullptr, nullptr, nullptr, 0, eps ? 1 : 0,
                               pdf.c_str());
}

PdfFacts InspectPdf(const std::string& path) {
    PdfFacts facts;
    try {
        QPDF pdf;
        pdf.setSuppressWarnings(true);
        pdf.processFile(path.c_str());
        facts.version = pdf.getPDFVersion();
        std::vector<QPDFPageObjectHelper> pages = QPDFPageDocumentHelper(pdf).getAllPages();
        facts.pages = static_cast<int>(pages.size());
        if (pages.empty() || !pages.front().getCropBox(false, false).isRectangle())
            throw std::runtime_error("no page with a box");
        const auto box = pages.front().getCropBox(false, false).getArrayAsRectangle();
        std::tie(facts.llx, facts.lly, facts.urx, facts.ury) = std::tie(box.llx, box.lly, box.urx, box.ury);
        for (QPDFObjectHandle& stream : pages.front().getPageContents()) {
            std::shared_ptr<Buffer> data = stream.getStreamData(qpdf_dl_generalized);
            facts.content.append(reinterpret_cast<const char*>(data->getBuffer()), data->getSize());
        }
        // poppler's list of the page's fonts, forms included: the name first and, from the end, whether it is
        // embedded, subset and mapped to Unicode and its object number; a Type 3 font is always embedded.
        std::istringstream list(Capture("pdffonts -l 1 " + ShellQuote(path) + " 2>/dev/null"));
        for (std::string line; std::getline(list, line);) {
            std::istringstream split(line);
            const std::vector<std::string> words{std::istream_iterator<std::string>(split), {}};
            if (words.size() < 7 || words[0] == "name" || words[0][0] == '-')
                continue;
            facts.fonts.push_back(words[0]);
            facts.AllFontsEmbedded &= words[words.size() - 5] == "yes" || line.find(" Type 3 ") != line.npos;
        }
        std::sort(facts.fonts.begin(), facts.fonts.end());
        facts.ok = true;
    } catch (const std::exception& e) {
        facts.error = e.what();
    }
    return facts;
}

} // namespace BRASK::TEST
