#include "ui/QN_Start.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "host/BW_log.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "platform/QtPrinterPlatform.h"
#include "ui/AppTitle.h"
#include "ui/CharMapTab.h"
#include "ui/Controls.h"
#include "ui/ErrorBox.h"
#include "ui/FilesTab.h"
#include "ui/PrintTab.h"
#include "ui/PrinterTab.h"
#include "ui/QN_About.h"
#include "ui/QtPrinterSetupDialog.h"
#include "ui/RawTab.h"
#include "ui/SequencesTab.h"
#include "ui/SettingBinder.h"
#include "ui/SettingsTab.h"
#include "ui/WindowDialogs.h"

namespace quernel {

// The history box: every history line is appended and the newest one is scrolled into view.
class TqnMain::MemoHistory final : public IHistoryView {
  public:
    explicit MemoHistory(QPlainTextEdit& memo) : memo_(memo) {}
    void AppendLine(const std::string& line) override {
        memo_.appendPlainText(QString::fromStdString(line));
        memo_.verticalScrollBar()->setValue(memo_.verticalScrollBar()->maximum());
    }

  private:
    QPlainTextEdit& memo_;
};

TqnMain::TqnMain(TQuernelCore& core, TMainWindowHooks hooks, QWidget* parent)
    : QWidget(parent), core_(core), hooks_(std::move(hooks)) {
    setObjectName("qnMain");
    setWindowTitle(Q(kAppTitle));
    setWindowIcon(QuernelIcon());
    // One size, no maximising: the size follows from the controls (below).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    if (hooks_.printerSetup == nullptr) {
        if (auto* qtPrinter = dynamic_cast<QtPrinterPlatform*>(&core_.Services().printer)) {
            ownSetup_ = std::make_unique<QtPrinterSetupDialog>(*qtPrinter, this);
            hooks_.printerSetup = ownSetup_.get();
        }
    }
    if (hooks_.errorBox != nullptr) hooks_.errorBox->SetParentWindow(this);
    if (hooks_.close == nullptr) {
        ownClose_ = std::make_unique<TCloseControl>(TCloseActions{
            .ask = [this] { return hooks_.askClose ? hooks_.askClose() : TCloseAnswer::kClose; },
            .hide = [this] { Minimise(); },
            .save = [this] { core_.SaveSettings(); },
            .quit =
                [this] {
                    if (hooks_.onClosed) {
                        hooks_.onClosed();
                    } else {
                        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                                  &QCoreApplication::quit, Qt::QueuedConnection);
                    }
                },
        });
        hooks_.close = ownClose_.get();
    }

    PageControl_ = new QTabWidget(this);
    PageControl_->setObjectName("PageControl");
    binder_ = std::make_unique<TSettingBinder>(core_);
    const auto dialogs = [this]() -> IWindowDialogs& { return Dialogs(); };
    printTab_ = new TPrintTab(*binder_, {.printFile = [this] { PrintFile(); },
                                         .help = [this] { ShowHelp(); },
                                         .setMonitoring = [this](bool on) { SetMonitoring(on); }});
    PageControl_->addTab(printTab_, Q("&Wydruk"));
    filesTab_ = new TFilesTab(*binder_, dialogs);
    PageControl_->addTab(filesTab_, Q("&Pliki"));
    printerTab_ = new TPrinterTab(*binder_, hooks_.printerSetup);
    PageControl_->addTab(printerTab_, Q("&Drukarka"));
    charMapTab_ = new TCharMapTab(core_);
    PageControl_->addTab(charMapTab_, Q("Z&naki"));
    sequencesTab_ =
        new TSequencesTab(core_, [this](const std::string& text) { Dialogs().ShowMessage(text); });
    PageControl_->addTab(sequencesTab_, Q("&Kody"));
    PageControl_->addTab(new TSettingsTab(*binder_, dialogs), Q("&Ustawienia"));
    PageControl_->addTab(new TRawTab(*binder_), Q("&RAW"));
    connect(PageControl_, &QTabWidget::currentChanged, this, [this] { core_.SaveSettings(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl_);
    // The window is exactly as large as its laid-out controls need with the desktop's font,
    // and cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    help_ = new TfrmHelp(hooks_.vendorSite, this);
    BuildTray();

    history_ = std::make_unique<MemoHistory>(printTab_->History());
    core_.Services().history.Attach(history_.get());
    core_.Printers().onChanged = [this] { printerTab_->RefreshPrinters(); };
    // The settings load and the monitoring switch reach the controls also while the window
    // is hidden (a start with "/hide"), and the tray menu with them.
    core_.onStateChanged = [this](TQuernelCore::TChange change) {
        if (change == TQuernelCore::TChange::kSettingsLoaded) {
            Refresh();
        } else {
            ShowActive();
        }
    };
    Refresh();
}

TqnMain::~TqnMain() {
    core_.Services().history.Attach(nullptr);
    core_.Printers().onChanged = nullptr;
    core_.onStateChanged = nullptr;
    if (hooks_.errorBox != nullptr) hooks_.errorBox->SetParentWindow(nullptr);
}

// --- showing the core ---

void TqnMain::Refresh() {
    binder_->Refresh();
    filesTab_->RefreshFiles();
    printerTab_->RefreshPrinters();
    charMapTab_->Refresh();
    sequencesTab_->Refresh();
    ShowActive();
}

void TqnMain::ShowActive() {
    const bool active = core_.Monitoring().Active();
    printTab_->ShowActive(active);
    miActive_->setChecked(active);
}

// --- commands ---

IWindowDialogs& TqnMain::Dialogs() {
    if (hooks_.dialogs != nullptr) return *hooks_.dialogs;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<TQtWindowDialogs>(this);
    return *ownDialogs_;
}

void TqnMain::PrintFile() {
    core_.Monitoring().PrintFile(Dialogs());
}

void TqnMain::ShowHelp() {
    help_->ShowHelp();
}

void TqnMain::SetMonitoring(bool on) {
    core_.Monitoring().SetActive(on);
    // The check box and the tray item show what the core made of it.
    ShowActive();
}

// --- tray and window ---

void TqnMain::BuildTray() {
    pmTray_ = new QMenu(this);
    pmTray_->setObjectName("pmTray");
    const auto item = [this](const char* name, const char* caption) {
        QAction* action = pmTray_->addAction(Q(caption));
        action->setObjectName(name);
        return action;
    };
    connect(item("miOpen", "Otwórz"), &QAction::triggered, this, [this] { Restore(); });
    miActive_ = item("miActive", "Aktywny");
    miActive_->setCheckable(true);
    connect(miActive_, &QAction::triggered, this, [this](bool on) { SetMonitoring(on); });
    connect(item("miPrintFile", "&Drukuj plik"), &QAction::triggered, this,
            [this] { PrintFile(); });
    connect(item("Pomoc1", "&Pomoc"), &QAction::triggered, this, [this] { ShowHelp(); });
    pmTray_->addSeparator()->setObjectName("N1");
    connect(item("miClose", "&Zamknij"), &QAction::triggered, this, [this] { close(); });

    tray_ = new QSystemTrayIcon(QuernelIcon(), this);
    tray_->setObjectName("TrayIcon");
    tray_->setToolTip(Q(kAppTitle));
    tray_->setContextMenu(pmTray_);
    // A double click restores, as does the single activation of desktops that send no
    // double click.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) Restore();
    });
    // A tray that appears later (the panel restarted, or started after the program) gets the
    // icon; a tray that goes away gives the window back to the taskbar.
    trayTimer_ = new QTimer(this);
    trayTimer_->setInterval(2000);
    connect(trayTimer_, &QTimer::timeout, this, [this] { UpdateTray(); });
    trayTimer_->start();
    UpdateTray();
}

bool TqnMain::TrayAvailable() const {
    return hooks_.trayAvailable ? hooks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TqnMain::UpdateTray() {
    const bool available = TrayAvailable();
    if (available && !trayWasAvailable_) {
        tray_->hide();
        tray_->show();
    }
    if (!available && trayWasAvailable_) {
        tray_->hide();
        if (inTray_) {
            inTray_ = false;
            showMinimized();
        }
    }
    trayWasAvailable_ = available;
}

void TqnMain::ShowAtStart() {
    Refresh();
    PageControl_->setCurrentIndex(0);
    if (!hooks_.startHidden) show();
}

void TqnMain::Restore() {
    Refresh();
    inTray_ = false;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TqnMain::Minimise() {
    if (TrayAvailable()) {
        inTray_ = true;
        hide();
    } else {
        inTray_ = false;
        showMinimized();
    }
}

void TqnMain::SetEnding() {
    // A close control given by start-up is told by start-up itself.
    if (ownClose_) ownClose_->SessionEnding();
}

IHistoryView& TqnMain::HistoryView() const {
    return *history_;
}

void TqnMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Minimising leaves only the tray icon, when there is a tray.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayAvailable()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) Minimise();
        });
    }
}

void TqnMain::closeEvent(QCloseEvent* event) {
    // The close control asks the question, hides, or saves and ends the program.
    if (!hooks_.close->CloseRequested()) {
        event->ignore();
        return;
    }
    tray_->hide();
    trayTimer_->stop();
    help_->close();
    event->accept();
}

}  // namespace quernel
