#pragma once

namespace quernel {

class TProgramStart;

// Quernel without a window: loads the settings and the monitored list, switches monitoring
// on and prints whatever becomes ready, on the selected printer or on "Quernel PDF". History
// lines go to standard output, and errors too ("<time> ! <error>"); SIGINT and SIGTERM save the
// settings and end the program. One copy runs: a second start ends at once, and the running
// copy logs it. Answers the exit code.
int RunHeadless(TProgramStart& start);

}  // namespace quernel
