#pragma once

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

}  // namespace quernel
