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
    quernel::TQueuePpdSpec spec = quernel::DefaultQueuePpdSpec(argv[1]);
    spec.filter = argv[2];
    std::ofstream out(argv[3], std::ios::binary | std::ios::trunc);
    out << quernel::MakeQueuePpd(spec);
    out.close();
    if (!out) {
        std::cerr << "quernel-make-ppd: cannot write " << argv[3] << "\n";
        return 1;
    }
    return 0;
}
