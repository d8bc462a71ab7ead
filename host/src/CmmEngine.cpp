#include "CmmEngine.h"

#include <lcms2.h>
#include <sys/stat.h>

namespace BRASK::HOST {

CmmEngine& CmmEngine::Instance() {
    static CmmEngine engine;
    return engine;
}

CmmEngine::Handle CmmEngine::Profile(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return nullptr;
    const std::int64_t modified =
        static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    std::lock_guard<std::mutex> lock(mLock);
    auto found = mProfiles.find(path);
    if (found != mProfiles.end() && found->second.size == info.st_size && found->second.modified == modified)
        return found->second.profile;
    cmsHPROFILE opened = cmsOpenProfileFromFile(path.c_str(), "r");
    if (opened == nullptr)
        return nullptr;
    Handle profile(opened, [](void* p) { cmsCloseProfile(p); });
    if (mProfiles.size() >= kMaxProfiles && found == mProfiles.end())
        mProfiles.clear();
    mProfiles[path] = CachedProfile{info.st_size, modified, profile};
    return profile;
}

CmmEngine::Handle CmmEngine::Transform(const Handle& source, std::uint32_t inFormat,
                                       const Handle& destination, std::uint32_t outFormat,
                                       std::uint32_t intent, std::uint32_t flags) {
    if (!source || !destination)
        return nullptr;
    const TransformKey key{source.get(), inFormat, destination.get(), outFormat, intent, flags};
    std::lock_guard<std::mutex> lock(mLock);
    auto found = mTransforms.find(key);
    if (found != mTransforms.end())
        return found->second.transform;
    cmsHTRANSFORM made =
        cmsCreateTransform(source.get(), inFormat, destination.get(), outFormat, intent, flags);
    if (made == nullptr)
        return nullptr;
    Handle transform(made, [](void* t) { cmsDeleteTransform(t); });
    if (mTransforms.size() >= kMaxTransforms)
        mTransforms.clear();
    mTransforms.emplace(key, CachedTransform{source, destination, transform});
    return transform;
}

} // namespace BRASK::HOST
