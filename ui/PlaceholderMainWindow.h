#pragma once

// PLACEHOLDER until the real main window (TqnMain) is plugged into the start-up: a bare window
// with the history box, so that a start on a desktop shows something and the windowed start
// can be exercised. It has no tabs, no tray icon and no settings controls.

#include "ui/WindowedApp.h"

namespace quernel {

TWindowFactories PlaceholderWindowFactories();

}  // namespace quernel
