#pragma once

#include "ui/WindowedApp.h"

namespace quernel {

// The windows of the windowed program: the error boxes, the main window with its tray icon,
// help window and dialogs, and the new-version window.
TWindowFactories QuernelWindowFactories();

}  // namespace quernel
