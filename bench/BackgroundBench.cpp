// Prints a printout several times in one process, as the monitoring program does (one printer
// platform and one picture loader for all jobs), each job to its own PDF file, and prints the
// wall time of every job:
//   background_bench PRINTOUT JOBS OUTPUT_FOLDER [PICTURE]
// With a picture every job has it as its background.
#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "engine/RenderCommand.h"
#include "host/ProgramDir.h"
#include "platform/QtEnvironment.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"

int main(int argc, char** argv) {
    using namespace quernel;
    if (argc < 4 || argc > 5) {
        std::cerr << "usage: background_bench PRINTOUT JOBS OUTPUT_FOLDER [PICTURE]\n";
        return 2;
    }
    const int jobs = std::stoi(argv[2]);
    const std::string folder = argv[3];
    PrepareQtEnvironment(true);
    QGuiApplication app(argc, argv);
    const auto programDir = ResolveProgramDir(ProgramDirInputsFromEnvironment());
    QtPrinterPlatform printer;
    QtPictureLoader pictures;
    for (int job = 1; job <= jobs; ++job) {
        std::vector<std::string> args = {argv[1]};
        if (argc == 5) args.insert(args.end(), {"--background", argv[4]});
        const RenderArgs parsed = ParseRenderArgs(args);
        if (!parsed.error.empty()) {
            std::cerr << parsed.error << "\n";
            return 2;
        }
        printer.SetOutputFile(folder + "/job" + std::to_string(job) + ".pdf");
        const auto start = std::chrono::steady_clock::now();
        if (RunRender(parsed.options, printer, pictures, programDir, std::cerr) != 0) return 1;
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        std::printf("job %d: %.3f s\n", job, took.count());
    }
    return 0;
}
