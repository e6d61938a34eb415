#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace quernel {

// Command line of quernel-render.
struct RenderOptions {
    bool explain = false;
    std::string seq = "EPSON+HP";  // table name or .seq file
    std::string cmap = "LatinII";  // map name or .cmap file
    bool ignorePcl = false;
    std::string file;
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

}  // namespace quernel
