#pragma once

namespace quernel {

// Prepares the environment before the Qt application object exists: Qt's offscreen platform
// for programs that never show a window, and a private runtime folder when the session has
// none (Qt would otherwise make one itself and warn about it on every start).
void PrepareQtEnvironment(bool offscreen);

}  // namespace quernel
