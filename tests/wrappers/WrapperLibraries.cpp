#include "WrapperLibraries.h"

#include "EpsSection.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <sstream>

namespace BRASK::TEST {

namespace {

int32_t ToFixed(double points) {
    return static_cast<int32_t>(std::lround(points * 65536.0));
}

template <class Table, class Bind> const Table* Load(const std::string& path, Bind&& bind) {
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr)
        return nullptr;
    auto* table = new Table(); // lives as long as the process, like the plug-in's table
    if (!bind(module, *table)) {
        delete table;
        return nullptr;
    }
    return table;
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

std::string JawsLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/libBraskPDF.so";
}
std::string CallasLibraryPath() {
    return std::string(BRASK_APP_DIR) + "/PDFToolBox/libCallasWrapper.so";
}

const JawsTable* Jaws() {
    static const JawsTable* table = Load<JawsTable>(JawsLibraryPath(), [](void* module, JawsTable& t) {
        bool all = true;
#define JAWS_BIND(ret, name, args)                                                                           \
    t.name = reinterpret_cast<PFN_##name>(dlsym(module, #name));                                             \
    all = all && t.name != nullptr;
        JAWS_ENTRY_POINTS(JAWS_BIND)
#undef JAWS_BIND
        return all;
    });
    return table;
}

const CallasTable* Callas() {
    static const CallasTable* table =
        Load<CallasTable>(CallasLibraryPath(), [](void* module, CallasTable& t) {
            bool all = true;
#define CALLAS_BIND(ret, name, args)                                                                         \
    t.name = reinterpret_cast<PFN_##name>(dlsym(module, #name));                                             \
    all = all && t.name != nullptr;
            CALLAS_ENTRY_POINTS(CALLAS_BIND)
#undef CALLAS_BIND
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
        const JawsTable* jaws = Jaws();
        if (jaws == nullptr)
            return int32_t(kJawsNotStarted);
        mkdir(JawsTempFolder().c_str(), 0700);
        const std::string path = MakeDevicePath(BRASK_APP_DIR, JawsTempFolder());
        return jaws->postscript_dll_startup(nullptr, "%lib%init.ps", path.c_str());
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
    params.xResolution = 0x1200000;
    params.yResolution = 0x1200000;
    params.embedAllFonts = 1;
    params.flags = 3;
    return params;
}

std::int32_t FileDataProvider::GetSize() {
    const auto position = mIn.tellg();
    mIn.seekg(0, std::ios::end);
    const auto size = mIn.tellg();
    mIn.seekg(position);
    return static_cast<std::int32_t>(size);
}

std::int32_t FileDataProvider::GetPosition() {
    return static_cast<std::int32_t>(mIn.tellg());
}

Status FileDataProvider::SetPosition(std::int32_t offset, std::int32_t origin) {
    mIn.clear();
    mIn.seekg(offset, origin == kFromStart ? std::ios::beg
                      : origin == kFromEnd ? std::ios::end
                                           : std::ios::cur);
    return mIn ? kOK : kBadPosition;
}

Status FileDataProvider::Read(void* buffer, std::uint32_t& count) {
    mIn.read(static_cast<char*>(buffer), count);
    count = static_cast<std::uint32_t>(mIn.gcount());
    if (mIn.bad())
        return kIOError;
    mIn.clear();
    return kOK;
}

int32_t DistilEps(const std::string& epsPath, const std::string& pdfPath, double left, double bottom,
                  double right, double top) {
    std::string error;
    std::optional<WRAPPERS::EpsSection> section = WRAPPERS::ReadEpsSection(epsPath, error);
    if (!section && FileExists(epsPath) && ReadFile(epsPath).empty())
        section = WRAPPERS::EpsSection{}; // an empty job: handed over with a byte count of 0
    if (!section)
        return kJawsBadParameter;
    auto* provider = new FileDataProvider(epsPath);
    provider->SetPosition(static_cast<std::int32_t>(section->offset), IO::IDataProvider::kFromStart);
    const RipDistillParams params = MakeParams(left, bottom, right, top);
    JawsLibraryMutex* mutex = nullptr;
    Jaws()->GetJawsLibraryMutex(&mutex);
    pthread_mutex_lock(mutex);
    const int32_t status = Jaws()->BPDFStartDistillUsingDataProvider(
        provider, static_cast<int32_t>(section->length), pdfPath.c_str(), &params);
    pthread_mutex_unlock(mutex);
    provider->Release();
    return status;
}

int32_t DistilText(const std::string& postScript, const std::string& pdfPath, double width, double height) {
    const std::string source = pdfPath + ".ps";
    WriteFile(source, postScript);
    const int32_t status = DistilEps(source, pdfPath, 0, 0, width, height);
    unlink(source.c_str());
    return status;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

bool FileExists(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0;
}

} // namespace BRASK::TEST
