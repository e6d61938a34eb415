// quernel: watches the files DOS programs print into and prints every new printout.
#include <unistd.h>

#include <cstring>
#include <iostream>

#include "host/ProgramDir.h"
#include "platform/HeadlessApp.h"

int main(int argc, char** argv) {
    // "quernel --explain FILE" is quernel-render's explanation of a printout.
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--explain") != 0) continue;
        const std::string render = (quernel::ExecutablePath().parent_path() / "quernel-render");
        ::execv(render.c_str(), argv);
        std::cerr << "quernel: cannot start " << render << "\n";
        return 1;
    }
    // Without a window (there is none yet) Quernel runs headless; "--headless" asks for that
    // explicitly and is accepted as such.
    return quernel::RunHeadless(argc, argv);
}
