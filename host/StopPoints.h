#pragma once

namespace quernel {

// A test hook: with QUERNEL_KILL_AT=<name> in its environment, the program kills itself
// (SIGKILL, as a power cut or the kill of a session would stop it) when it reaches the stop
// point of that name; without it, a stop point does nothing. The points mark the steps of
// delivering a printout, so that a test can show that a stop after any of them neither loses
// nor repeats it.
void StopPoint(const char* name);

}  // namespace quernel
