// quernel-make-ppd: writes the PPD of a DOS printer queue as installed (used by the build and
// by "cmake --install"): quernel-make-ppd SHIPPED_DATA_DIR FILTER OUTPUT
#include <fstream>
#include <iostream>

#include "engine/QueuePpd.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "Usage: quernel-make-ppd SHIPPED_DATA_DIR FILTER OUTPUT\n";
        return 2;
    }
    quernel::TQueuePpdSettings ppdSettings = quernel::DefaultQueuePpdSettings(argv[1]);
    ppdSettings.filter = argv[2];
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out << quernel::MakeQueuePpd(ppdSettings);
    out.close();
    if (!out) {
        std::cerr << "quernel-make-ppd: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
