// epsimport: places EPS and SVG pictures through the plug-in the way a host does and reports what it learns.
#include "CommandLine.h"
#include "InfoMode.h"
#include "ParallelPlace.h"
#include "PlaceMode.h"
#include "PluginLoader.h"
#include "PreviewMode.h"

#include "MemoryManager.h"
#include "brask_host/Host.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace BRASK::EPSIMPORT;
    try {
        const CommandLine line = ParseCommandLine(argc, argv);
        if (line.mode == Mode::Help) {
            std::cout << UsageText();
            return 0;
        }
        if (!line.error.empty()) {
            std::cerr << "epsimport: " << line.error << '\n' << UsageText();
            return 2;
        }
        if (line.mode == Mode::Info) {
            BRASK::MEMFIX::InitMemoryManager();
            auto host = BRASK::HOST::Host::Create();
            return RunInfo(*host, line.files, std::cout);
        }

        if (line.mode == Mode::Preview) {
            BRASK::HOST::HostOptions options;
            options.applicationDir = DefaultApplicationFolder();
            auto host = BRASK::HOST::Host::Create(options);
            host->PublishAsCoreRegistry();
            BRASK::MEMFIX::InitMemoryManager();
            return RunPreview(*host, line, std::cout, std::cerr);
        }
        // A batch goes to worker processes, forked before anything of the plug-in exists in this one.
        const int jobs = line.jobs != 0 ? line.jobs : ProcessorCount();
        if (jobs > 1 && line.files.size() > 1)
            return RunParallelPlace(line, jobs, std::cout, std::cerr);
        PlacingSession session;
        if (!session.Start()) {
            std::cerr << "epsimport: " << session.Error() << '\n';
            return 1;
        }
        return RunPlace(session.Host(), session.Plugin(), line, std::cout, std::cerr);
    } catch (const std::exception& error) {
        std::cerr << "epsimport: " << error.what() << '\n';
        return 1;
    }
}
