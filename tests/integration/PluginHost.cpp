#include "PluginHost.h"

#include "LibUtils.h"
#include "brask/FilterKeys.h"

#include <fstream>

namespace BRASK::TEST {

PluginHost& PluginHost::Instance() {
    static PluginHost* host = new PluginHost;
    return *host;
}

PluginHost::PluginHost() {
    HOST::HostOptions options;
    options.applicationDir = BRASK_APP_DIR;
    options.temporaryDir = mTemp.Path().string();
    mHost = HOST::Host::Create(options);
    mHost->PublishAsCoreRegistry();
    mPlugin = dlopen((std::string(BRASK_APP_DIR) + "/libEPSLoader.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (mPlugin == nullptr)
        throw std::runtime_error(dlerror());
    auto init = reinterpret_cast<PluginInitFn>(dlsym(mPlugin, "Init"));
    mGetClassObject = reinterpret_cast<PluginGetClassObjectFn>(dlsym(mPlugin, "GetClassObject"));
    if (init == nullptr || mGetClassObject == nullptr || init(nullptr, mHost.Get()) != kOK)
        throw std::runtime_error("the plug-in did not start");
}

Placement PluginHost::Place(const std::string& path, bool interpreter, bool svg) {
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

std::string PluginHost::SavePDF(const Placement& placement, const std::string& name) const {
    const std::string path = (mOutputs.Path() / name).string();
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(placement.connectionSpace->GetPDFData()),
              placement.connectionSpace->GetPDFSize());
    return path;
}

} // namespace BRASK::TEST
