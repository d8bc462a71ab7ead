// LittleCMS profiles and transforms shared by every colour transform of the process: building a transform
// costs tens of milliseconds, while the plug-in asks for one per run of pixels.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>

namespace BRASK::HOST {

class CmmEngine {
public:
    using Handle = std::shared_ptr<void>;

    static CmmEngine& Instance();

    // The profile in the file at `path` (UTF-8), opened once while the file keeps its size and time; null
    // when the file cannot be read as a profile.
    Handle Profile(const std::string& path);
    // A transform from `source` pixels of LittleCMS format `inFormat` to `destination` pixels of `outFormat`;
    // null when LittleCMS refuses (a format that does not fit its profile).
    Handle Transform(const Handle& source, std::uint32_t inFormat, const Handle& destination,
                     std::uint32_t outFormat, std::uint32_t intent, std::uint32_t flags);

private:
    static constexpr std::size_t kMaxProfiles = 16;
    static constexpr std::size_t kMaxTransforms = 64;

    struct CachedProfile {
        std::int64_t size = 0;
        std::int64_t modified = 0;
        Handle profile;
    };
    using TransformKey = std::tuple<void*, std::uint32_t, void*, std::uint32_t, std::uint32_t, std::uint32_t>;
    struct CachedTransform {
        Handle source; // kept so that no other profile takes the address in the key
        Handle destination;
        Handle transform;
    };

    std::mutex mLock;
    std::map<std::string, CachedProfile> mProfiles;
    std::map<TransformKey, CachedTransform> mTransforms;
};

} // namespace BRASK::HOST
