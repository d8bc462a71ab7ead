#include "PluginClassFactories.h"

#include "GraphicLog.h"
#include "HostBoundary.h"
#include "PDFBasedCG.h"

#include "ClassFactorySlot.h"

#include "brask/ClassIds.h"
#include "brask/Logger.h"

namespace BRASK::COREREGISTRY {

Status PluginClassFactories::GetInterfaceIDs(TInterfacePtr<IGuidList>& list) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::COREREGISTRY::PluginClassFactories::GetInterfaceIDs(class "
        "BRASK::TInterfacePtr<class BRASK::IGuidList> &)";
    return GuardHostCall(
        kPDFBasedCGSource, kFunction,
        [&]() -> Status {
            if (list) {
                list->Add(&CLSID::FirstOfferedIID);
                list->Add(&CLSID::SecondOfferedIID);
            }
            return kOK;
        },
        kInternalError);
}

Status PluginClassFactories::GetClassIDs(const GUID& interfaceId, TInterfacePtr<IGuidList>& list) {
    constexpr char kFunction[] = "long __cdecl BRASK::COREREGISTRY::PluginClassFactories::GetClassIDs(const "
                                 "struct _GUID &,class BRASK::TInterfacePtr<class BRASK::IGuidList> &)";
    return GuardHostCall(
        kPDFBasedCGSource, kFunction,
        [&]() -> Status {
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
        },
        kInternalError);
}

IObject* CreateICompositeGraphic(IClassFactory* /*factory*/) {
    constexpr char kFunction[] =
        "class BRASK::IObject *__cdecl BRASK::COREREGISTRY::CreateICompositeGraphic(class "
        "BRASK::IClassFactory *)";
    // Released on every way out but success, a throw from the host included.
    TInterfacePtr<PDFBasedCG> graphic;
    graphic.Adopt(new PDFBasedCG);
    // GetClassObject is given no class factory: the one Init stored in the process-wide slot serves.
    const Status status = graphic->CreateDictionaryWithFilterInfoKeys(ClassFactorySlot::Get());
    if (status != kOK) {
        BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                        "CreateDictionaryWithFilterInfoKeys failed. Error = " << status);
        return nullptr;
    }
    return graphic.Detach();
}

} // namespace BRASK::COREREGISTRY
