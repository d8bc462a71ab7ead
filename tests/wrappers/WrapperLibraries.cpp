#include "WrapperLibraries.h"

#include "../support/FaultyProvider.h"
#include "EpsSection.h"

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

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

std::string JawsLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/libBraskPDF.so";
}
std::string CallasLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/PDFToolBox/libCallasWrapper.so";
}

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

std::string JawsTempFolder() {
    const char* base = std::getenv("TMPDIR");
    return std::string(base != nullptr && *base != '\0' ? base : "/tmp") + "/jaws" + std::to_string(getpid());
}

std::string MakeDevicePath(const std::string& appFolder, const std::string& tempFolder) {
    return "%os%=;%temp%=" + tempFolder + ";%profiles%=" + appFolder + "/Profiles;%default%+" + tempFolder +
           ";%ram%!";
}

int32_t StartJaws() {
    static int32_t status = [] {
        if (Jaws() == nullptr)
            return int32_t(kJawsNotStarted);
        mkdir(JawsTempFolder().c_str(), 0700);
        const std::string path = MakeDevicePath(BRASK_APP_DIR, JawsTempFolder());
        return Jaws()->postscript_dll_startup(nullptr, "%lib%init.ps", path.c_str());
    }();
    return status;
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

int32_t DistilEps(const std::string& epsPath, const std::string& pdfPath, double left, double bottom,
                  double right, double top) {
    std::string error;
    std::optional<WRAPPERS::EpsSection> section = WRAPPERS::ReadEpsSection(epsPath, error);
    const std::string bytes = ReadFile(epsPath);
    if (!section && FileExists(epsPath) && bytes.empty())
        section = WRAPPERS::EpsSection{}; // an empty job: handed over with a byte count of 0
    if (!section)
        return kJawsBadParameter;
    TInterfacePtr<FaultyProvider> provider = New<FaultyProvider>(bytes, INT_MAX);
    provider->SetPosition(static_cast<std::int32_t>(section->offset), IO::IDataProvider::kFromStart);
    const RipDistillParams params = MakeParams(left, bottom, right, top);
    JawsLibraryMutex* mutex = nullptr;
    Jaws()->GetJawsLibraryMutex(&mutex);
    pthread_mutex_lock(mutex);
    const int32_t status = Jaws()->BPDFStartDistillUsingDataProvider(
        provider.Get(), static_cast<int32_t>(section->length), pdfPath.c_str(), &params);
    pthread_mutex_unlock(mutex);
    return status;
}

int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width, double height) {
    const std::string source = pdfPath + ".ps";
    WriteBytes(source, postScript);
    const int32_t status = DistilEps(source, pdfPath, 0, 0, width, height);
    unlink(source.c_str());
    return status;
}

int32_t SaveAsPdf(const std::string& source, const std::string& pdf, bool eps, const char* options) {
    return Callas()->SaveAsPDF(source.c_str(), options, nullptr, nullptr, nullptr, nullptr, 0, eps ? 1 : 0,
                               pdf.c_str());
}

MessageCapture::MessageCapture(Setter setter) : mSetter(setter != nullptr ? setter : Jaws()->BSetLogger) {
    mSetter(this, &MessageCapture::Receive);
}

void MessageCapture::Receive(void* context, int kind, char* message, int length) {
    auto* self = static_cast<MessageCapture*>(context);
    EXPECT_EQ(std::strlen(message), static_cast<std::size_t>(length));
    std::lock_guard<std::mutex> guard(self->mLock);
    self->mMessages.emplace_back(kind, std::string(message, static_cast<std::size_t>(length)));
}

std::vector<std::string> MessageCapture::Texts(int kind) const {
    std::lock_guard<std::mutex> guard(mLock);
    std::vector<std::string> texts;
    for (const auto& [k, text] : mMessages)
        if (kind < 0 || k == kind)
            texts.push_back(text);
    return texts;
}

bool MessageCapture::Contains(const std::string& text) const {
    const std::vector<std::string> texts = Texts();
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& m) { return m.find(text) != m.npos; });
}

std::string MessageCapture::First(const std::string& prefix) const {
    const std::vector<std::string> texts = Texts();
    const auto found = std::find_if(texts.begin(), texts.end(),
                                    [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    return found != texts.end() ? *found : std::string();
}

std::string MessageCapture::All() const {
    std::string all;
    for (const std::string& message : Texts())
        all += message + "\n";
    return all;
}

void MessageCapture::Clear() {
    std::lock_guard<std::mutex> guard(mLock);
    mMessages.clear();
}

} // namespace BRASK::TEST
