#pragma once

class QIcon;

namespace quernel {

// The application title: the main window's caption, the tray icon's tip, the caption of the
// error boxes.
inline constexpr const char* kAppTitle = "Brackwood Quernel";

// The program's icon in all its sizes (16 to 256 pixels), from the resources.
QIcon QuernelIcon();

}  // namespace quernel
