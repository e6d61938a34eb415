#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/AppSettings.h"
#include "host/CloseControl.h"
#include "monitor/Notifier.h"
#include "ui/MainWindow.h"

class QAction;
class QMenu;
class QSystemTrayIcon;
class QTabWidget;
class QTimer;

namespace quernel {

class IHistoryView;
class IPrinterSetupDialog;
class IRecentPrintoutsDialogs;
class IWindowDialogs;
class TCharMapTab;
class TFilesTab;
class TPrintTab;
class TPrinterTab;
class TSettingBinder;
class TErrorBox;
class TQtWindowDialogs;
class TQuernelCore;
class TSequencesTab;
class TfrmRecentPrintouts;
class TfrmHelp;

// What the main window is given besides the core. Every member may stay empty.
struct TMainWindowHooks {
    // The dialogs of the commands; empty: the real Qt dialogs.
    IWindowDialogs* dialogs = nullptr;
    // The printer set-up dialog of "&Ustawienia"; empty: Qt's print dialog when the core prints
    // through the Qt printing platform, otherwise the button is disabled.
    IPrinterSetupDialog* printerSetup = nullptr;
    // Decides what a close request does: the close question, hiding, saving the settings,
    // ending the program. Empty: the window's own, which asks askClose and, on close, saves the
    // settings and calls onClosed.
    TCloseControl* close = nullptr;
    // Without `close`: asked when the window is closed (not while the session ends); empty:
    // close.
    std::function<TCloseAnswer()> askClose;
    // Without `close`: called once the window closes; empty: the application quits.
    std::function<void()> onClosed;
    // The error report, which gets the window as the parent of its boxes.
    TErrorBox* errorBox = nullptr;
    // The vendor's site for the help window's button ("https://host"); empty hides the button.
    std::string vendorSite;
    // The window is not shown at the start (the first tick of the file timer hides it).
    bool startHidden = false;
    // Whether the desktop has a tray; empty: QSystemTrayIcon::isSystemTrayAvailable.
    std::function<bool()> trayAvailable;
    // The questions of "Ostatnie wydruki"; empty: the real dialogs.
    IRecentPrintoutsDialogs* recentDialogs = nullptr;
    // Shows a notification; empty: the tray's message (desktop notifications where present).
    // Only called while there is a tray.
    std::function<void(TNoticeKind, const std::string&, const std::string&)> showNotice;
};

// The main window "qnMain": seven tabs bound to the application core, and the tray icon.
// Every control shows a setting of the core and changes it at once; print jobs read the core.
// The window runs no timers of the monitoring: start-up owns them.
//
// Start-up creates it after the core and before the set-up, so that the history box sees the
// first lines:
//     TqnMain window(core, hooks);              // attaches the history box to core's log
//     history.Add("Ustawienia domyślne");
//     core.Printers().FillPrinterList(); core.LoadSettings(); core.Monitoring().SetActive(true);
//     window.ShowAtStart();                     // shows what was loaded
// The core and everything in the hooks must outlive the window.
class TqnMain final : public QWidget, public IMainWindow, private INotifier {
  public:
    explicit TqnMain(TQuernelCore& core, TMainWindowHooks hooks = {}, QWidget* parent = nullptr);
    ~TqnMain() override;

    // IMainWindow
    void ShowAtStart() override;
    void Restore() override;
    void Minimise() override;
    void SetEnding() override;

    // Shows the core's state in every control.
    void Refresh();
    // "&Drukuj plik" and "&Pomoc", on the first tab and in the tray menu.
    void PrintFile();
    void ShowHelp();
    // "Ostatnie wydruki", with the printout selected (the newest when empty).
    void ShowRecentPrintouts(const std::string& id = {});
    // The window "Ostatnie wydruki"; nothing until it was first shown.
    TfrmRecentPrintouts* RecentPrintouts() const { return recent_; }

    TfrmHelp& HelpWindow() const { return *help_; }
    QSystemTrayIcon& TrayIcon() const { return *tray_; }
    // The window is hidden into the tray.
    bool InTray() const { return inTray_; }
    // The history box, attached to the core's history log.
    IHistoryView& HistoryView() const;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    class MemoHistory;

    void BuildTray();

    // The monitoring switch in the check box and the tray menu.
    void ShowActive();
    void SetMonitoring(bool on);
    void UpdateTray();
    void UpdateTrayTip();
    bool TrayAvailable() const;
    // INotifier
    void Notify(TNoticeKind kind, const std::string& title, const std::string& text) override;
    // Printouts waiting for a decision since the last run are offered again.
    void OfferWaitingPrintouts();
    IWindowDialogs& Dialogs();

    TQuernelCore& core_;
    TMainWindowHooks hooks_;
    std::unique_ptr<TQtWindowDialogs> ownDialogs_;
    std::unique_ptr<IPrinterSetupDialog> ownSetup_;
    std::unique_ptr<MemoHistory> history_;
    std::unique_ptr<TSettingBinder> binder_;
    std::unique_ptr<TCloseControl> ownClose_;
    bool inTray_ = false;
    bool trayWasAvailable_ = false;

    QTabWidget* PageControl_ = nullptr;
    TPrintTab* printTab_ = nullptr;
    TFilesTab* filesTab_ = nullptr;
    TPrinterTab* printerTab_ = nullptr;
    TCharMapTab* charMapTab_ = nullptr;
    TSequencesTab* sequencesTab_ = nullptr;
    TfrmHelp* help_ = nullptr;
    QSystemTrayIcon* tray_ = nullptr;
    QMenu* pmTray_ = nullptr;
    QAction* miActive_ = nullptr;
    TfrmRecentPrintouts* recent_ = nullptr;
    QTimer* trayTimer_ = nullptr;
};

}  // namespace quernel
