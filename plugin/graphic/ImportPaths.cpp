// The EPS and SVG conversion paths. They need the graphic processors and the RIP binding; until those are
// linked in, Init fails here with a logged reason instead of pretending to have imported anything.
#include "PDFBasedCG.h"

#include "GraphicLog.h"

#include "brask/Logger.h"

namespace BRASK::COREREGISTRY {

Status PDFBasedCG::ProcessEPSToConnectionSpace(IClassFactory& /*factory*/, IO::IDataProvider& /*source*/,
                                               const IDictionary* /*options*/, bool /*useCallas*/,
                                               bool /*processorFlag*/, IDictionary* /*filterDictionary*/,
                                               CoreString& /*pdfPath*/) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::ProcessEPSToConnectionSpace(class "
        "BRASK::IClassFactory &,class BRASK::IO::IDataProvider &,const class "
        "BRASK::IDictionary *,bool,bool,class BRASK::IDictionary *,class "
        "BRASK::STRING::CoreString &)";
    BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                    "EPS conversion is not available in this build of the plug-in.");
    return kImportUnavailable;
}

Status PDFBasedCG::ProcessSVGToConnectionSpace(IClassFactory& /*factory*/, IO::IDataProvider& /*source*/,
                                               IO::IURI* /*uri*/, const IDictionary* /*options*/,
                                               bool /*processorFlag*/, IDictionary* /*filterDictionary*/,
                                               CoreString& /*pdfPath*/) {
    constexpr char kFunction[] =
        "long __cdecl BRASK::COREREGISTRY::PDFBasedCG::ProcessSVGToConnectionSpace(class "
        "BRASK::IClassFactory &,class BRASK::IO::IDataProvider &,class BRASK::IO::IURI "
        "*,const class BRASK::IDictionary *,bool,class BRASK::IDictionary *,class "
        "BRASK::STRING::CoreString &)";
    BRASK_LOG_ERROR(kPDFBasedCGSource, kFunction,
                    "SVG conversion is not available in this build of the plug-in.");
    return kImportUnavailable;
}

} // namespace BRASK::COREREGISTRY
