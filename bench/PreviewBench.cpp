// The preview of "Ostatnie wydruki" on a long printout: the time until its first page shows,
// at the fit-to-width size of a window (about 100 dpi) and at 200 %, the time of the page
// count that follows it, and of the last page. Each is measured RUNS times; the medians and
// the largest are printed:
//   preview_bench PRINTOUT [RUNS]
// The printout is set up as a fresh installation prints it (the shipped table and map,
// Liberation Mono, 80 x 67 on A4 at 600 dpi).
#include <QGuiApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "engine/DataFiles.h"
#include "host/BW_log.h"
#include "host/FileUtil.h"
#include "host/ProgramDir.h"
#include "platform/PagePreview.h"
#include "platform/QtEnvironment.h"

namespace {

using namespace quernel;

template <typename F>
std::vector<double> Times(int runs, F run) {
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        times.push_back(took.count());
    }
    std::sort(times.begin(), times.end());
    return times;
}

void Report(const char* what, const std::vector<double>& times) {
    std::printf("%-36s median %.3f s, largest %.3f s\n", what, times[times.size() / 2],
                times.back());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: preview_bench PRINTOUT [RUNS]\n";
        return 2;
    }
    const int runs = argc == 3 ? std::stoi(argv[2]) : 9;
    PrepareQtEnvironment(true);
    QGuiApplication app(argc, argv);
    const Bytes data = ReadWholeFile(argv[1]);
    const auto programDir = ResolveProgramDir(ProgramDirInputsFromEnvironment());
    const SystemClock clock;
    TbwLog history(clock);
    TPrintJobSetup setup;
    setup.font = "Liberation Mono";
    LoadCharMapByName(programDir, "LatinII", setup.charMap, history);
    LoadSequencesByName(programDir, "EPSON+HP", setup.sequences, history);
    setup.caps = TPagePreview::DefaultCaps();

    int pages = 0;
    Report("first page at 100 dpi:", Times(runs, [&] {
               if (TPagePreview::DrawPage(setup, data, 1, 100).image.isNull()) std::abort();
           }));
    Report("first page at 200 % (192 dpi):",
           Times(runs, [&] { TPagePreview::DrawPage(setup, data, 1, 192); }));
    Report("page count:", Times(runs, [&] { pages = TPagePreview::CountPages(setup, data); }));
    Report("last page at 100 dpi:", Times(runs, [&] {
               if (TPagePreview::DrawPage(setup, data, pages, 100).image.isNull()) std::abort();
           }));
    std::printf("%d pages, %zu bytes\n", pages, data.size());
    return 0;
}
