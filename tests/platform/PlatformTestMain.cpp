#include <gtest/gtest.h>
#include <stdlib.h>

#include <QGuiApplication>

#include "tests/support/QtTestEnvironment.h"

// A private home and PDF folder, and a CUPS server address where no scheduler listens, so no
// test touches the real home or talks to the machine's scheduler.
int main(int argc, char** argv) {
    quernel::test::TempDir root;
    quernel::test::UsePrivateQtEnvironment(root);
    ::setenv("CUPS_SERVER", (root / "no-cups.sock").c_str(), 1);
    ::unsetenv("PRINTER");
    ::unsetenv("LPDEST");
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
