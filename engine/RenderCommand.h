#pragma once

#include <array>
#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

#include "engine/CommandSet.h"
#include "engine/PrinterPlatform.h"
#include "engine/QN_Print.h"
#include "host/AppSettings.h"

namespace quernel {

class IPictureLoader;

// Command line of quernel-render. The defaults are those of a fresh installation.
struct RenderOptions {
    bool explain = false;
    std::string file;
    std::string seq = "EPSON+HP";  // table name or .seq file
    std::string cmap = "LatinII";  // map name or .cmap file
    bool ignorePcl = false;
    TCommandSet commands = TCommandSet::kTable;  // --commands
    bool boxLines = true;                        // --box-lines

    std::string output;   // -o: a PDF file
    std::string printer;  // --printer: a printer by name
    std::string font = kDefaultFontName;
    std::array<int, 4> margins{5, 5, 5, 5};  // left, top, right, bottom, mm
    int charsPerLine = 80, linesPerPage = 67;
    int charsPerLineHor = 120, linesPerPageHor = 46;
    int orientation = 0;  // 0 the printer's own, 1 landscape, 2 portrait
    int copies = 1;
    std::string title;
    std::string background;                         // picture file
    std::array<int, 4> pictureMargins{5, 5, 5, 5};  // left, top, right, bottom, mm

    bool trace = false;
    TDeviceCaps device{4960, 7014, 600, 600, 100, 100};  // --device for --trace

    TRawSettings raw;  // raw.enabled by --raw
};

struct RenderArgs {
    RenderOptions options;
    bool help = false;
    std::string error;  // non-empty when the command line is wrong
};

RenderArgs ParseRenderArgs(const std::vector<std::string>& args);
std::string RenderUsage();

// A table or map given as a file path, or as a name in the program folder. Throws
// std::runtime_error with a message for the user when it does not exist.
std::filesystem::path ResolveSequenceArg(const std::string& arg,
                                         const std::filesystem::path& programDir);
std::filesystem::path ResolveCharMapArg(const std::string& arg,
                                        const std::filesystem::path& programDir);

// Prints how the printout is understood; returns the exit code.
int RunExplain(const RenderOptions& options, const std::filesystem::path& programDir,
               std::ostream& out, std::ostream& err);

// How the messages of a run begin: the command line's name, CUPS's "ERROR: " for a filter.
struct RenderMessages {
    std::string error = "quernel-render: ";
    std::string warning = "quernel-render: uwaga: ";
};

// Prints the printout on the printer platform as one print job set up from the options, on
// the printer named by --printer or the current one; returns the exit code. Every failure is
// a message on err and a non-zero code; a document begun is aborted on failure.
int RunRender(const RenderOptions& options, IPrinterPlatform& printer, IPictureLoader& pictures,
              const std::filesystem::path& programDir, std::ostream& err,
              const RenderMessages& prefixes = {});

}  // namespace quernel
