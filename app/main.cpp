// quernel: watches the files DOS programs print into and prints every new printout.
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "engine/QueueAdmin.h"
#include "host/BW_RunParams.h"
#include "host/ProgramDir.h"
#include "platform/CupsQueueAdmin.h"
#include "platform/HeadlessApp.h"
#include "platform/ProgramStart.h"
#include "platform/StopSignals.h"
#include "ui/MainWindowFactories.h"
#include "ui/WindowedApp.h"

int main(int argc, char** argv) {
    // Before anything else, so that a stop asked for during the start is not lost.
    quernel::InstallStopSignals();
    // "quernel --explain FILE" is quernel-render's explanation of a printout.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--explain") != 0) continue;
        const std::string render = (quernel::ExecutablePath().parent_path() / "quernel-render");
        ::execv(render.c_str(), argv);
        std::cerr << "quernel: cannot start " << render << "\n";
        return 1;
    }
    // "quernel --add-queue NAME --printer TARGET" and "--remove-queue NAME" manage DOS printer
    // queues in CUPS and start nothing.
    if (const std::vector<std::string> args(argv + 1, argv + argc); quernel::IsQueueCommand(args)) {
        return quernel::RunQueueCommandLine(args);
    }
    // The logs first, at every start, also one that only ends the other copies.
    quernel::TProgramStart start(argc, argv);
    if (start.params.ParamSwitch(quernel::kSwitchClose)) {
        start.CloseOtherCopies();
        return 0;
    }
    if (start.Headless()) return quernel::RunHeadless(start);
    return quernel::RunWindowed(start, quernel::QuernelWindowFactories());
}
