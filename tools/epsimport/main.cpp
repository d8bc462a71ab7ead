// epsimport: places EPS pictures the way a host does and reports what it learns.
#include "CommandLine.h"
#include "InfoMode.h"

#include "brask_host/Host.h"
#include "memory/MemoryManager.h"

#include <exception>
#include <iostream>

int main(int argc, char** argv) {
    using namespace BRASK::EPSIMPORT;
    try {
        const CommandLine line = ParseCommandLine(argc, argv);
        if (!line.error.empty()) {
            std::cerr << "epsimport: " << line.error << '\n' << UsageText();
            return 2;
        }
        BRASK::MEMFIX::InitMemoryManager();
        auto host = BRASK::HOST::Host::Create();
        switch (line.mode) {
        case Mode::Info:
            return RunInfo(*host, line.files, std::cout);
        case Mode::None:
            break;
        }
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "epsimport: " << error.what() << '\n';
        return 1;
    }
}
