// The plug-in loaded from the build's application folder exactly as a host loads it, with the reference host
// and its real wrappers. One per test process: the interpreter inside stays started until the process ends.
#pragma once

#include "../support/Fixture.h"

#include "brask/ClassIds.h"
#include "brask/Graphics.h"
#include "brask/Plugin.h"
#include "brask_host/Host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace BRASK::TEST {

struct Placement {
    Status status = -1;
    TInterfacePtr<GRAPHICS::ICompositeGraphic> graphic;
    IDictionary* dictionary = nullptr; // the filter information (borrowed from the graphic)
    GRAPHICS::IConnectionSpace* connectionSpace = nullptr; // from AdaptTile into an output tile (borrowed)
    TInterfacePtr<GRAPHICS::ITile> tile;

    float Float(std::int32_t key) const {
        float value = -1;
        if (dictionary != nullptr)
            dictionary->GetFloat(key, value);
        return value;
    }
    std::vector<std::uint8_t> Bytes(std::int32_t key) const {
        const std::uint8_t* data = nullptr;
        std::uint32_t length = 0;
        if (dictionary == nullptr || dictionary->GetBytes(key, &data, &length) != kOK)
            return {};
        return {data, data + length};
    }
};

class PluginHost {
public:
    static PluginHost& Instance();

    // Places the file through the plug-in; `interpreter` sets option 2009, `svg` the file type.
    Placement Place(const std::string& path, bool interpreter, bool svg = false);

    // Writes the placement's PDF (from its connection space) into the output folder.
    std::string SavePDF(const Placement& placement, const std::string& name) const;

    const std::filesystem::path& TemporaryFolder() const { return mTemp.Path(); }
    // Where tests write what they take out of a placement.
    const std::filesystem::path& OutputFolder() const { return mOutputs.Path(); }

private:
    PluginHost();

    TempDir mTemp;
    TempDir mOutputs;
    TInterfacePtr<HOST::Host> mHost;
    void* mPlugin = nullptr;
    PluginGetClassObjectFn mGetClassObject = nullptr;
};

// The fixture of the placements: the one plug-in host exists before the first test counts live objects.
class Placing : public Fixture {
protected:
    static void SetUpTestSuite() { PluginHost::Instance(); }
};

} // namespace BRASK::TEST
