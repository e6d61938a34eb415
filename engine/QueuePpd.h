#pragma once

#include <string>
#include <vector>

#include "engine/QueueOptions.h"

namespace quernel {

// What a queue's PPD offers and which choices are its defaults.
struct TQueuePpdSettings {
    TQueueJob defaults;
    bool backgroundOn = false;      // the background picture prints by default
    std::string backgroundPicture;  // "FILE" or "FILE,L,T,R,B"; empty: the queue has none
    // Names offered as choices besides the defaults; names a PPD cannot hold as a choice
    // (blanks, slashes, letters beyond ASCII) are left to "Custom.NAME".
    std::vector<std::string> charMaps;
    std::vector<std::string> sequences;
    std::vector<std::string> fonts;
    // The program CUPS runs: a name in CUPS's filter folder, or an absolute path.
    std::string filter = "quernel-filter";
    std::string version = "1.0";
};

// A queue's PPD as shipped: the program's defaults, and as choices the tables and maps of the
// shipped data and of the queue's own folder (when it names one), and the usual fonts.
TQueuePpdSettings DefaultQueuePpdSettings(const std::filesystem::path& shippedData,
                                          const std::filesystem::path& tablesFolder = {});

// A PPD for a CUPS queue whose jobs, DOS printouts as text/plain, application/octet-stream,
// application/vnd.hp-PCL or what CUPS types as raw, are rendered to PDF by the filter. The
// filter rules are the queue's own (*cupsFilter2), so other queues convert as before.
std::string MakeQueuePpd(const TQueuePpdSettings& ppdSettings);

}  // namespace quernel
