#pragma once

#include <cstdint>
#include <string>

#include "host/Bytes.h"
#include "monitor/MonitorServices.h"

namespace quernel {

// Keeps the bytes of a printout that did not print in the services' folder of failed printouts
// as "<title>_<date>_<time>.prn", completes `printout.kept`, tells the services' outcomes, and
// answers what the error adds about it: "\nWydruk zachowano w pliku <file>", or why it could
// not be kept. Nothing is kept without a folder.
std::string KeepFailedPrintout(TMonitorServices& services, TFailedPrintout& printout,
                               ByteView bytes);

// The bytes of the file from `from` up to `end`; fewer when it is shorter, none when it cannot
// be read.
Bytes ReadFilePart(IFileSystem& files, const std::string& path, std::int64_t from,
                   std::int64_t end);

// A printout the print system lost after it went to the printer (kept among the printouts as
// `keptId`, when not empty): its bytes are kept like a failed printout's, the kept printout
// turns failed, and the user learns it with the printer's name and `why`.
void KeepLostPrintout(TMonitorServices& services, const TPrintoutFacts& facts,
                      const std::string& why, ByteView bytes, const std::string& keptId);

}  // namespace quernel
