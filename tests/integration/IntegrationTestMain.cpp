#include <gtest/gtest.h>

#include <QGuiApplication>

#include "tests/support/QtTestEnvironment.h"

// A private home and PDF folder. The private CUPS scheduler of each suite sets CUPS_SERVER
// before anything talks to CUPS.
int main(int argc, char** argv) {
    quernel::test::TempDir root;
    quernel::test::UsePrivateQtEnvironment(root);
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
