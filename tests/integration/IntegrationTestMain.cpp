#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>
#include <clocale>
#include <ctime>

#include "support/TempDir.h"

// Qt draws offscreen; HOME and the PDF folder point into a private temporary folder. The
// private CUPS scheduler of each suite sets CUPS_SERVER before anything talks to CUPS.
int main(int argc, char** argv) {
    quernel::test::TempDir root;
    std::filesystem::create_directories(root / "home");
    ::setenv("HOME", (root / "home").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root.path().c_str(), 1);
    ::setenv("QUERNEL_PDF_DIR", (root / "pdf").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::setlocale(LC_ALL, "C.UTF-8");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
