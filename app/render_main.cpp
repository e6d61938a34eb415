// quernel-render: prints a DOS printout as Quernel does, into a PDF, on a printer, or as a
// trace of the drawing; or shows how Quernel understands it.
#include <signal.h>
#include <unistd.h>

#include <QGuiApplication>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/RenderCommand.h"
#include "engine/TracePrinter.h"
#include "host/ProgramDir.h"
#include "platform/QtEnvironment.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "platform/QtQueueFilter.h"

namespace {

// The printout is mapped into memory; when it gets shorter while it is read (a DOS program
// overwriting it), the bytes past its new end fault. Said plainly instead of a bare bus error.
void OnBusError(int) {
    static constexpr char kMessage[] =
        "quernel-render: plik wydruku skrócił się w trakcie czytania; przerwano\n";
    [[maybe_unused]] const ssize_t n = ::write(STDERR_FILENO, kMessage, sizeof kMessage - 1);
    ::_exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    using namespace quernel;
    if (argc > 1 && std::string_view(argv[1]) == "--cups-filter") {
        // A DOS printer queue's job with a background picture, handed on by quernel-filter.
        argv[1] = argv[0];
        return RunQtQueueFilter(argc - 1, argv + 1);
    }
    struct sigaction busError {};
    busError.sa_handler = OnBusError;
    ::sigemptyset(&busError.sa_mask);
    ::sigaction(SIGBUS, &busError, nullptr);
    const std::vector<std::string> args(argv + 1, argv + argc);
    const RenderArgs parsed = ParseRenderArgs(args);
    if (parsed.help) {
        std::cout << RenderUsage();
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "quernel-render: " << parsed.error << "\n" << RenderUsage();
        return 2;
    }
    const RenderOptions& options = parsed.options;
    const auto programDir = ResolveProgramDir(ProgramDirInputsFromEnvironment());
    if (options.explain) return RunExplain(options, programDir, std::cout, std::cerr);

    // The tool never shows a window; fonts and pictures still need Qt's GUI library.
    PrepareQtEnvironment(std::getenv("QT_QPA_PLATFORM") == nullptr);
    QGuiApplication app(argc, argv);
    QtPictureLoader pictures;
    if (options.trace) {
        TracePrinter printer(std::cout, options.device);
        return RunRender(options, printer, pictures, programDir, std::cerr);
    }
    // A document for a file needs nothing of the print system.
    const bool toFile =
        !options.output.empty() || options.printer == QtPrinterPlatform::kPdfPrinterName;
    const auto printer = toFile
                             ? std::make_unique<QtPrinterPlatform>(QtPrinterPlatform::BuiltInOnly{})
                             : std::make_unique<QtPrinterPlatform>();
    if (!options.output.empty()) printer->SetOutputFile(options.output);
    const int rc = RunRender(options, *printer, pictures, programDir, std::cerr);
    if (rc == 0 && !printer->LastOutputPath().empty() && options.output != "-") {
        std::cerr << "quernel-render: zapisano " << printer->LastOutputPath().string() << "\n";
    }
    return rc;
}
