#include "ui/QN_Wait.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

namespace quernel {

TWaitPrinterForm::TWaitPrinterForm() {
    setObjectName("WaitPrinterForm");
    setWindowTitle("Szukanie drukarki ...");
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(this);
    auto* wait = new QLabel("Proszę czekać ...", this);
    wait->setObjectName("lbWait");
    auto* search = new QLabel("Trwa szukanie drukarki ....", this);
    search->setObjectName("lbSearch");
    auto* stop = new QPushButton("Przerwij uruchamianie Quernela", this);
    stop->setObjectName("btStop");
    layout->addWidget(wait);
    layout->addWidget(search);
    layout->addWidget(stop);
    connect(stop, &QPushButton::clicked, this, [this] { stopRequested_ = true; });
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().topLeft());
    }
    show();
}

void TWaitPrinterForm::Refresh() {
    repaint();
    QCoreApplication::processEvents();
}

}  // namespace quernel
