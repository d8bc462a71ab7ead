// The distiller and page-device parameters of one conversion and the job-options file written from them.
#pragma once

#include "brask/IClassFactory.h"

#include <map>
#include <mutex>
#include <string>

namespace BRASK::PLUGIN {

class JobDictionary {
public:
    using Parameters = std::map<std::string, std::string>; // keys in byte order, first value kept

    // The process-wide parameters. Filling them takes a lock that Clear releases, so two conversions on
    // different threads never mix their options.
    static JobDictionary& Instance();

    // Takes the lock for the calling thread (a second call on the same thread nests).
    void Begin();
    void AddDistillerParam(const std::string& key, const std::string& value);
    void AddPageDeviceParam(const std::string& key, const std::string& value);
    // The job-options text of the current parameters.
    std::string GetJobText() const;
    // Writes the job-options file in the temporary folder of `factory`'s host under a fresh GUID name and
    // returns its path in UTF-8 (also when it could not be written; the failure is logged).
    std::string GetJobFile(IClassFactory* factory) const;
    // Empties both maps and releases every lock the calling thread took with Begin.
    void Clear();

    const Parameters& DistillerParams() const { return mDistillerParams; }
    const Parameters& PageDeviceParams() const { return mPageDeviceParams; }

private:
    std::recursive_mutex mLock;
    Parameters mDistillerParams;
    Parameters mPageDeviceParams;
};

// Fills the parameters of one conversion (taking the lock): the resolution follows `processorFlag`.
void SetDistillerParams(bool processorFlag);

} // namespace BRASK::PLUGIN
