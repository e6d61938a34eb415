// quernel-update-screenshot OUT.png: draws the new-version window as a user sees it when the
// server names another version, into a PNG file. Nothing is read from or written to the real
// settings, and no request is sent.
#include <QApplication>
#include <QPixmap>
#include <iostream>

#include "host/VersionInfo.h"
#include "tests/fakes/FakeClock.h"
#include "tests/fakes/FakeKeyStore.h"
#include "update/BWUpdate.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: quernel-update-screenshot OUT.png\n";
        return 2;
    }
    QApplication app(argc, argv);
    quernel::test::FakeKeyStore keys;
    quernel::test::FakeClock clock;
    quernel::TfrmBWUpdate dialog(quernel::UpdateSetup{
        keys, clock, quernel::UpdateIdentity{"QUERNEL", quernel::FileVersion(), "", 0}, "", nullptr,
        quernel::kBrowserCommand, nullptr});
    dialog.ShowResult(quernel::UpdateResult{
        quernel::FileVersion(), "2.0.0.0",
        "Nowa wersja drukuje szybciej i obsługuje więcej drukarek.\n"
        "Zmiany: poprawione polskie znaki (ąćęłńóśźż ĄĆĘŁŃÓŚŹŻ) w trybie bezpośrednim."});
    app.processEvents();
    if (!dialog.grab().save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::cerr << "quernel-update-screenshot: cannot write " << argv[1] << "\n";
        return 1;
    }
    return 0;
}
