#pragma once

#include <string>
#include <vector>

namespace quernel {

// Quernel without a window: loads the settings and the monitored list, switches monitoring
// on and prints whatever becomes ready, on the selected printer or on "Quernel PDF". History
// lines go to standard output, and errors too ("<time> ! <error>"); SIGINT and SIGTERM save the
// settings and end the program. Answers the exit code.
int RunHeadless(int argc, char** argv);

}  // namespace quernel
