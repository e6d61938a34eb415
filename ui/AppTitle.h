#pragma once

#include "host/VersionInfo.h"

class QIcon;

namespace quernel {

// The application title (host/VersionInfo.h) is the main window's caption, the tray icon's tip
// and the caption of the error boxes.
inline constexpr const char* kAppTitle = kApplicationTitle;

// The program's icon in all its sizes (16 to 256 pixels), from the resources.
QIcon QuernelIcon();

}  // namespace quernel
