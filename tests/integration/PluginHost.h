// The plug-in loaded from the build's application folder exactly as a host loads it, with the reference host
// and its real wrappers. One per test process: the interpreter inside stays started until the process ends.
#pragma once

#include "../support/Fixture.h"

#include "LibUtils.h"
#include "brask/ClassIds.h"
#include "brask/FilterKeys.h"
#include "brask/Graphics.h"
#include "brask/Plugin.h"
#include "brask_host/Host.h"

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <fstream>
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
    static PluginHost& Instance() {
        static PluginHost* host = new PluginHost;
        return *host;
    }

    // Places the file through the plug-in; `interpreter` sets option 2009, `svg` the file type.
    Placement Place(const std::string& path, bool interpreter, bool svg = false) {
        TInterfacePtr<IO::IURI> uri;
        IO::CreateURI(mHost.Get(), uri, CoreString::FromUTF8(path));
        TInterfacePtr<IO::IDataProvider> source;
        IO::CreateUriDataProvider(mHost.Get(), source, *uri, IO::kReadOnlyMode, nullptr);
        Placement placement;
        if (!source)
            return placement;
        IObject* object = nullptr;
        mGetClassObject(&CLSID::EPSCompositeGraphic, nullptr, &object);
        TInterfacePtr<IObject> owned;
        owned.Adopt(object); // released here when it is not a composite graphic
        placement.graphic.Reset(dynamic_cast<GRAPHICS::ICompositeGraphic*>(object));
        if (!placement.graphic)
            return placement;
        TInterfacePtr<IDictionary> options;
        IO::CreatePersistentDictionary(mHost.Get(), options);
        if (interpreter)
            options->SetBool(OPTIONKEY::kUseInterpreter, true);
        if (svg)
            options->SetUInt32(OPTIONKEY::kFileType, GRAPHICS::kTypeSVG);
        placement.status = placement.graphic->Init(*mHost, *source, options.Get());
        placement.dictionary = FindAttached<IDictionary>(*placement.graphic, CLSID::FilterDictionaryKey);
        GRAPHICS::HELPER::CreateTile(mHost.Get(), {0, 0, 1, 1}, placement.tile);
        if (placement.tile && placement.graphic->AdaptTile(nullptr, placement.tile.Get()) == kOK)
            placement.connectionSpace =
                FindAttached<GRAPHICS::IConnectionSpace>(*placement.tile, CLSID::ConnectionSpaceKey);
        return placement;
    }

    // Writes the placement's PDF (from its connection space) into the output folder.
    std::string SavePDF(const Placement& placement, const std::string& name) const {
        const std::string path = (mOutputs.Path() / name).string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(placement.connectionSpace->GetPDFData()),
                   placement.connectionSpace->GetPDFSize());
        return path;
    }

    const std::filesystem::path& TemporaryFolder() const { return mTemp.Path(); }
    // Where tests write what they take out of a placement.
    const std::filesystem::path& OutputFolder() const { return mOutputs.Path(); }

private:
    PluginHost() {
        mHost = HOST::Host::Create(HOST::HostOptions{BRASK_APP_DIR, mTemp.Path().string()});
        mHost->PublishAsCoreRegistry();
        mPlugin = dlopen((std::string(BRASK_APP_DIR) + "/libEPSLoader.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (mPlugin == nullptr)
            throw std::runtime_error(dlerror());
        auto init = reinterpret_cast<PluginInitFn>(dlsym(mPlugin, "Init"));
        mGetClassObject = reinterpret_cast<PluginGetClassObjectFn>(dlsym(mPlugin, "GetClassObject"));
        if (init == nullptr || mGetClassObject == nullptr || init(nullptr, mHost.Get()) != kOK)
            throw std::runtime_error("the plug-in did not start");
    }

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
