// quernel-render: shows how Quernel understands a printout.
#include <iostream>
#include <string>
#include <vector>

#include "engine/RenderCommand.h"
#include "host/ProgramDir.h"

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const quernel::RenderArgs parsed = quernel::ParseRenderArgs(args);
    if (parsed.help) {
        std::cout << quernel::RenderUsage();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "quernel-render: " << parsed.error << "\n" << quernel::RenderUsage();
        return 2;
    }
    const auto programDir = quernel::ResolveProgramDir(quernel::ProgramDirInputsFromEnvironment());
    return quernel::RunExplain(parsed.options, programDir, std::cout, std::cerr);
}
