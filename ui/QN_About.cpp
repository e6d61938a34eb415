#include "ui/QN_About.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

#include "host/BrowserCommand.h"
#include "host/VersionInfo.h"
#include "platform/CommandLine.h"
#include "ui/AppTitle.h"

namespace quernel {

TfrmHelp::TfrmHelp(std::string vendorSite, QWidget* parent, StartProcess start)
    : QDialog(parent), vendorSite_(std::move(vendorSite)), start_(std::move(start)) {
    if (!start_) start_ = StartProgram;
    setObjectName("frmHelp");
    setWindowTitle(QString::fromUtf8("Brackwood Quernel - Pomoc"));
    setWindowIcon(QuernelIcon());
    setModal(false);

    auto* icon = new QLabel(this);
    icon->setObjectName("imgIcon");
    icon->setPixmap(QuernelIcon().pixmap(32, 32));

    auto* memo = new QPlainTextEdit(this);
    memo->setObjectName("memHelp");
    memo->setReadOnly(true);
    memo->setFrameShape(QFrame::NoFrame);
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    memo->setBackgroundRole(QPalette::Window);
    memo->setPlainText(HelpText());

    auto* versionCaption = new QLabel(QString::fromUtf8("Wersja"), this);
    auto* version = new QLabel(Version(), this);
    version->setObjectName("labVersion");
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* ok = new QPushButton(QString::fromUtf8("&Ok"), this);
    ok->setObjectName("btOk");
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::close);
    auto* vendor = new QPushButton(QString::fromStdString(VendorSiteCaption(vendorSite_)), this);
    vendor->setObjectName("btVendor");
    vendor->setAutoDefault(false);
    vendor->setVisible(!vendorSite_.empty());
    connect(vendor, &QPushButton::clicked, this, [this] { OpenVendorPage(); });

    auto* side = new QVBoxLayout;
    side->addWidget(icon, 0, Qt::AlignHCenter);
    side->addSpacing(fontMetrics().height());
    side->addWidget(versionCaption, 0, Qt::AlignHCenter);
    side->addWidget(version, 0, Qt::AlignHCenter);
    side->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(side);
    top->addWidget(memo, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(vendor);
    buttons->addStretch();
    buttons->addWidget(ok);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(buttons);

    // 427 x 338 with the window's own font, larger only when the desktop's font needs it.
    const QSize wanted(427, 338);
    setFixedSize(wanted.expandedTo(layout->minimumSize()));
}

void TfrmHelp::ShowHelp() {
    if (!isVisible()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
}

void TfrmHelp::OpenVendorPage() {
    const std::string line =
        BrowserCommandLine(kBrowserCommand, VendorPageUrl(vendorSite_), kHelpWindowBrowser);
    if (line.empty()) return;
    start_(SplitCommandLine(line));
}

QString TfrmHelp::Version() {
    return QString::fromStdString(FileVersion());
}

QString TfrmHelp::HelpText() {
    return QString::fromUtf8(
        "Quernel pozwala programom DOS drukować w systemie Linux na drukarkach, które nie są "
        "podłączone do portu równoległego albo nie rozumieją kodów sterujących, jakich używają "
        "programy DOS: na przykład na drukarkach USB, sieciowych i takich, które drukują "
        "wyłącznie grafikę.\n\n"
        "Zakładka „Pliki” to lista plików i katalogów, do których programy DOS zapisują swoje "
        "wydruki. Quernel obserwuje je i drukuje każdy nowy wydruk.\n\n"
        "Na zakładce „Drukarka” wybierasz drukarkę i czcionkę, marginesy, orientację strony, "
        "liczbę kopii oraz liczbę znaków w linii i linii na stronie.\n\n"
        "Zakładka „Znaki” mówi, jak znaki strony kodowej DOS (na przykład polskie litery) "
        "zamieniają się w znaki czcionki drukarki.\n\n"
        "Zakładka „Kody” to tabela kodów sterujących, które program rozpoznaje w wydruku: "
        "pogrubienie, podkreślenie, zagęszczenie, nowa strona i inne.\n\n"
        "Quernel analizuje pliki wydruków, interpretuje napotkane w nich kody sterujące i na "
        "ich podstawie układa strony.\n\n"
        "Jak skierować wydruki programu DOS do Quernela (plik ~/QUERNEL/PRN2FILE.TXT):\n"
        "DOSBox-X: w sekcji [parallel] pliku konfiguracji wpisz\n"
        "  parallel1=file append:/home/NAZWA/QUERNEL/PRN2FILE.TXT timeout:2000\n"
        "DOSBox: zwykły DOSBox 0.74 nie zapisuje LPT1 do pliku; wersje z sekcją [parallel] "
        "przyjmują ten sam wiersz co DOSBox-X.\n"
        "dosemu2: w pliku ~/.dosemurc wpisz\n"
        "  $_lpt1 = \"sh -c 'cat >> $HOME/QUERNEL/PRN2FILE.TXT'\"\n\n"
        "Drukarka „Quernel PDF” zapisuje każdy wydruk jako plik PDF w folderze pokazanym na "
        "zakładce „Drukarka” (domyślnie ~/QUERNEL/PDF); przycisk „Otwórz folder” go otwiera.\n\n"
        "Wszystkie wydruki, także nieudane, są w oknie „Ostatnie wydruki” (przycisk na "
        "zakładce „Wydruk” i pozycja menu ikony): można je obejrzeć strona po stronie, "
        "wydrukować ponownie, zapisać jako PDF albo usunąć.\n\n"
        "Życzymy bezproblemowego drukowania!");
}

}  // namespace quernel
