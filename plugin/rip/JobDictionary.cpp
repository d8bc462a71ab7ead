#include "JobDictionary.h"

#include "LibUtils.h"
#include "PathJoin.h"

#include "Platform.h"
#include "brask/IClassFactory.h"
#include "brask/Logger.h"

namespace BRASK::PLUGIN {

namespace {
constexpr char kCallasUtilsSource[] = "SDK/Headers/Common/Callas/CallasWrapper/CallasUtils";
thread_local int tLocksHeld = 0;

CoreString TemporaryFolder(IClassFactory* factory) {
    TInterfacePtr<FILE_SYS::ISystemDirContainer> container;
    container.Adopt(FILE_SYS::CreateSystemDirContainer(factory));
    TInterfacePtr<FILE_SYS::IDir> dir;
    if (container && container->GetSpecialDir(FILE_SYS::kTemporaryDir, dir) == kOK && dir)
        return dir->GetPath(true);
    return CoreString();
}

void AppendBlock(std::string& text, const JobDictionary::Parameters& parameters) {
    text += "<<";
    for (const auto& [key, value] : parameters)
        text += "\n/" + key + " " + value;
    text += "\n";
}
} // namespace

JobDictionary& JobDictionary::Instance() {
    static JobDictionary dictionary;
    return dictionary;
}

void JobDictionary::Begin() {
    mLock.lock();
    ++tLocksHeld;
}

void JobDictionary::AddDistillerParam(const std::string& key, const std::string& value) {
    mDistillerParams.emplace(key, value);
}

void JobDictionary::AddPageDeviceParam(const std::string& key, const std::string& value) {
    mPageDeviceParams.emplace(key, value);
}

std::string JobDictionary::GetJobText() const {
    std::string text;
    AppendBlock(text, mDistillerParams);
    text += ">> setdistillerparams\n";
    if (!mPageDeviceParams.empty()) {
        AppendBlock(text, mPageDeviceParams);
        text += ">> setpagedevice\n";
    }
    return text;
}

std::string JobDictionary::GetJobFile(IClassFactory* factory) const {
    constexpr char kFunction[] =
        "class std::basic_string<char,struct std::char_traits<char>,class "
        "std::allocator<char> > __cdecl BRASK::CALLAS::JobDictionary::GetJobFile(void)";
    const CoreString name = CoreString::FromUTF8(PLATFORM::NewGuid().ToString() + "bxp.joboptions");
    const CoreString path = JoinPath(TemporaryFolder(factory), name);

    TInterfacePtr<FILE_SYS::IFile> file;
    FILE_SYS::CreateSystemFile(factory, file, path);
    if (!file || file->Create() == FILE_SYS::IFile::kCreateFailed) {
        BRASK_LOG_ERROR(kCallasUtilsSource, kFunction, "Failed to create bxp.joboptions file.");
        return path.GetUTF8String();
    }
    TInterfacePtr<IO::IURI> uri;
    TInterfacePtr<IO::IDataProvider> provider;
    if (IO::CreateURI(factory, uri, path) == kOK)
        IO::CreateUriDataProvider(factory, provider, *uri, IO::kReadWriteMode, nullptr);
    const std::string text = GetJobText();
    if (!provider || provider->Write(text.data(), static_cast<std::uint32_t>(text.size())) != kOK)
        BRASK_LOG_ERROR(kCallasUtilsSource, kFunction, "Failed to write bxp.joboptions file.");
    return path.GetUTF8String();
}

void JobDictionary::Clear() {
    mDistillerParams.clear();
    mPageDeviceParams.clear();
    for (; tLocksHeld > 0; --tLocksHeld)
        mLock.unlock();
}

void SetDistillerParams(bool processorFlag) {
    JobDictionary& job = JobDictionary::Instance();
    job.Begin();
    job.AddDistillerParam("CompatibilityLevel", "1.4");
    job.AddDistillerParam("AllowTransparency", "true");
    job.AddPageDeviceParam("HWResolution", processorFlag ? "[2400.00 2400.00]" : "[288.00 288.00]");
    job.AddDistillerParam("ColorConversionStrategy ", "/LeaveColorUnchanged");
    job.AddDistillerParam("AutoPositionEPSFiles", "true");
}

} // namespace BRASK::PLUGIN
