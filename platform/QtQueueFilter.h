#pragma once

namespace quernel {

// The DOS printer queue's filter drawing with Qt, fonts and pictures: the jobs with a background
// picture, which quernel-filter hands on (`quernel-render --cups-filter ...`).
int RunQtQueueFilter(int argc, char** argv);

}  // namespace quernel
