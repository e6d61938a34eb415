#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>

#include <clocale>
#include <ctime>
#include <filesystem>

#include "tests/support/TempDir.h"

// Qt draws offscreen; HOME, the PDF folder and the CUPS server address point into a private
// temporary folder, so no test touches the real home or talks to the machine's scheduler.
int main(int argc, char** argv) {
    quernel::test::TempDir root;
    const auto home = root / "home";
    std::filesystem::create_directories(home);
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", root.path().c_str(), 1);
    ::setenv("QUERNEL_PDF_DIR", (root / "pdf").c_str(), 1);
    ::setenv("CUPS_SERVER", (root / "no-cups.sock").c_str(), 1);
    ::unsetenv("PRINTER");
    ::unsetenv("LPDEST");
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    std::setlocale(LC_ALL, "C.UTF-8");

    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
