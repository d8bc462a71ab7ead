#include "PluginClassFactories.h"

#include "GraphicLog.h"
#include "PDFBasedCG.h"

#include "brask/ClassIds.h"
#include "brask/Logger.h"

namespace BRASK::COREREGISTRY {

Status PluginClassFactories::GetInterfaceIDs(TInterfacePtr<IGuidList>& list) {
    if (list) {
        list->Add(&CLSID::FirstOfferedIID);
        list->Add(&CLSID::SecondOfferedIID);
    }
    return kOK;
}

Status PluginClassFactories::GetClassIDs(const GUID& interfaceId, TInterfacePtr<IGuidList>& list) {
    const GUID* classId = nullptr;
    if (interfaceId == CLSID::FirstOfferedIID)
        classId = &CLSID::EPSCompositeGraphic;
    else if (interfaceId == CLSID::SecondOfferedIID)
        classId = &CLSID::SecondOfferedClass;
    if (classId == nullptr)
        return 1;
    if (list)
        list->Add(classId);
    return kOK;
}

IObject* CreateICompositeGraphic(IClassFactory* /*factory*/) {
    constexpr char kFunction[] =
        "class BRASK::IObject *__cdecl BRASK::COREREGISTRY::CreateICompositeGraphic(class "
        "BRASK::IClassFactory *)";
    auto* graphic = new PDFBasedCG;
    const Status status = graphic->CreateDictionaryWithFilterInfoKeys();
    if (status != kOK) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "CreateDictionaryWithFilterInfoKeys failed. Error = " << status);
        graphic->Release();
        return nullptr;
    }
    return graphic;
}

} // namespace BRASK::COREREGISTRY
