// The reference host: its class factory, which makes every host object the plug-in asks for.
#pragma once

#include "brask/IClassFactory.h"
#include "brask/TObject.h"

#include <functional>
#include <map>
#include <memory>
#include <shared_mutex>
#include <string>

namespace BRASK::HOST {

class TemporaryFolder;

struct HostOptions {
    // Special folder 0. Empty: the folder of the running program.
    std::string applicationDir;
    // Special folder 4. Empty: a private folder (mode 0700) made on first request under $TMPDIR, or /tmp
    // when that is unset or empty, and removed with its contents when the host and every object that
    // named it are gone.
    std::string temporaryDir;
};

class Host : public TObject<IClassFactory> {
public:
    // Makes a new object with one reference for the caller.
    using Creator = std::function<IObject*()>;

    // A new host with one reference (paths are made absolute, UTF-8).
    static TInterfacePtr<Host> Create(const HostOptions& options = {});

    // Makes a fresh object for every class id of brask/ClassIds.h that the host serves; the graphics
    // environment is one per host, handed out with a new reference. Unknown ids leave `*out` null.
    Status CreateInstance(const GUID& classId, IObject** out) override;

    // Adds or replaces a class (later host pieces register theirs here).
    void RegisterClass(const GUID& classId, Creator creator);

    // Publishes this host as the process's core registry. No reference is taken: the caller keeps the host
    // alive while it is published; the destructor unpublishes it when it still is.
    void PublishAsCoreRegistry();
    // Clears the core registry when it is this host.
    void UnpublishCoreRegistry();

    const std::string& ApplicationDir() const { return mApplicationDir; }
    // Empty when the private folder could not be made.
    const std::string& TemporaryDir() const;

protected:
    explicit Host(const HostOptions& options);
    ~Host() override;

private:
    void RegisterBuiltInClasses();

    std::string mApplicationDir;
    std::shared_ptr<TemporaryFolder> mTemporaryDir;
    TInterfacePtr<IObject> mGraphicsEnvironment;
    mutable std::shared_mutex mClassesLock;
    std::map<GUID, Creator, GuidLess> mClasses;
};

} // namespace BRASK::HOST
