#include "InfoMode.h"

#include "EPSInfoJson.h"
#include "HostFiles.h"

namespace BRASK::EPSIMPORT {

int RunInfo(HOST::Host& host, const std::vector<std::string>& files, std::ostream& out) {
    int exitStatus = 0;
    for (const std::string& file : files) {
        TInterfacePtr<IO::IDataProvider> provider;
        const Status opened = OpenReadOnly(host, file, provider);
        if (opened != kOK) {
            nlohmann::ordered_json failure;
            failure["file"] = file;
            failure["status"] = 1;
            failure["error"] = OpenErrorText(opened);
            out << failure.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
            exitStatus = 1;
            continue;
        }
        PLUGIN::EPSVectorFileReader reader;
        const PLUGIN::DSCError status = reader.Init(provider.Get());
        out << DescribeEPS(file, status, reader)
                   .dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)
            << '\n';
        if (status != PLUGIN::DSCNoError)
            exitStatus = 1;
    }
    out.flush();
    return exitStatus;
}

} // namespace BRASK::EPSIMPORT
