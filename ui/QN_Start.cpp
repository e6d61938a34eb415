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

#include "engine/PrinterState.h"
#include "host/BW_log.h"
#include "monitor/KeptPrintouts.h"
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
#include "ui/QueueSettingsDialog.h"
#include "ui/RawTab.h"
#include "ui/RecentPrintouts.h"
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
            TPrinterSettings::TActions actions;
            actions.choosePdfFolder = [this] { printerTab_->ChoosePdfFolder(); };
            actions.showMessage = [this](const std::string& text) { Dialogs().ShowMessage(text); };
            ownSetup_ = std::make_unique<TPrinterSettings>(*qtPrinter, std::move(actions), this);
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
                                         .setMonitoring = [this](bool on) { SetMonitoring(on); },
                                         .recentPrintouts = [this] { ShowRecentPrintouts(); }});
    PageControl_->addTab(printTab_, Q("&Wydruk"));
    filesTab_ = new TFilesTab(*binder_, dialogs);
    PageControl_->addTab(filesTab_, Q("&Pliki"));
    printerTab_ = new TPrinterTab(*binder_, hooks_.printerSetup, dialogs);
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
    core_.Printers().onChanged = [this] {
        core_.PrinterWatch().ReadSoon();
        printerTab_->RefreshPrinters();
        UpdateTrayTip();
    };
    core_.PrinterWatch().onChanged = [this] {
        printerTab_->RefreshPrinterState();
        UpdateTrayTip();
    };
    // A printout waiting for a decision opens in "Ostatnie wydruki".
    core_.Printouts().SetPreviewAvailable(true);
    core_.Printouts().onWaiting = [this](const std::string& id) { ShowRecentPrintouts(id); };
    core_.SetNotifier(this);
    // The settings load and the monitoring switch reach the controls also while the window
    // is hidden (a start with "/hide"), and the tray menu with them.
    core_.onStateChanged = [this](TQuernelCore::TChange change) {
        if (change == TQuernelCore::TChange::kSettingsLoaded) {
            Refresh();
            OfferWaitingPrintouts();
        } else {
            ShowActive();
        }
    };
    Refresh();
}

TqnMain::~TqnMain() {
    core_.Services().history.Attach(nullptr);
    core_.Printers().onChanged = nullptr;
    core_.PrinterWatch().onChanged = nullptr;
    core_.onStateChanged = nullptr;
    core_.Printouts().SetPreviewAvailable(false);
    core_.Printouts().onWaiting = nullptr;
    core_.SetNotifier(nullptr);
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
    if (!ownDialogs_) {
        // The file dialogs start in the folder of the monitored file selected on "&Pliki".
        ownDialogs_ = std::make_unique<TQtWindowDialogs>(
            this, [this] { return filesTab_->SelectedFolder(); });
    }
    return *ownDialogs_;
}

void TqnMain::ShowRecentPrintouts(const std::string& id) {
    if (recent_ == nullptr) recent_ = new TfrmRecentPrintouts(core_, hooks_.recentDialogs, this);
    recent_->ShowPrintout(id);
}

void TqnMain::OfferWaitingPrintouts() {
    const auto waiting = core_.Printouts().Store().Waiting();
    if (waiting.empty()) return;
    core_.Services().history.Add("Wydruki czekające na decyzję: " + std::to_string(waiting.size()) +
                                 " (Ostatnie wydruki)");
    // After the start-up, so the window shows over the main window.
    QTimer::singleShot(0, this, [this, id = waiting.front()] { ShowRecentPrintouts(id); });
}

void TqnMain::Notify(TNoticeKind kind, const std::string& title, const std::string& text) {
    // Without a tray there is nobody to show it to: the history has it anyway.
    if (!TrayAvailable()) return;
    if (hooks_.showNotice) {
        hooks_.showNotice(kind, title, text);
        return;
    }
    const QSystemTrayIcon::MessageIcon icon =
        kind == TNoticeKind::kError     ? QSystemTrayIcon::Critical
        : kind == TNoticeKind::kWarning ? QSystemTrayIcon::Warning
                                        : QSystemTrayIcon::Information;
    tray_->showMessage(QString::fromStdString(title), QString::fromStdString(text), icon,
                       kind == TNoticeKind::kInformation ? 5000 : 15000);
}

void TqnMain::UpdateTrayTip() {
    const QString state = printerTab_->StateText();
    tray_->setToolTip(state.isEmpty() ? Q(kAppTitle) : Q(kAppTitle) + "\n" + state);
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
    connect(item("miRecentPrintouts", "&Ostatnie wydruki"), &QAction::triggered, this,
            [this] { ShowRecentPrintouts(); });
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
    if (recent_ != nullptr) recent_->close();
    event->accept();
}

}  // namespace quernel
