#pragma once

#include <QDialog>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "host/BrowserCommand.h"
#include "update/QtUpdateServer.h"
#include "update/UpdateCheck.h"
#include "update/UpdatePacer.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTimer;

namespace quernel {

class IClock;
class IKeyStore;
class TUpdateThread;

// Everything the new-version window works with.
struct UpdateSetup {
    IKeyStore& store;
    const IClock& clock;
    UpdateIdentity identity;
    std::string serverAddress;  // empty: there is no server and no request is sent
    std::shared_ptr<const IOnlineState> online;
    std::string browserCommand = kBrowserCommand;
    std::function<void(const std::string&)> startCommand;  // starts a command line
    // How long one exchange with the server may take in all.
    std::chrono::milliseconds exchangeLimit = QtUpdateServer::kDefaultLimit;
};

// The new-version window "Nowa wersja" with the timer that paces the checks. Start-up creates
// it right after the main window, with or without a parent window, and keeps it until the
// program ends:
//
//     TfrmBWUpdate update(keyStore, clock);
//
// It stays hidden and only shows when a check finds that the server names another version
// (unless "Nie pokazuj więcej tego powiadomienia" was ticked). Its first timer tick comes after
// 10 s and only ends the wait; a later one starts a check on a worker thread when the computer
// is online and waits 5 days, or waits an hour when it is offline. A check asks the server at
// most once in 14 days. The values it keeps live in the machine-wide update key.
class TfrmBWUpdate final : public QDialog {
    Q_OBJECT

  public:
    // This program's name and version, the server named by QUERNEL_UPDATE_URL, the network
    // watcher, and the desktop's browser.
    TfrmBWUpdate(IKeyStore& store, const IClock& clock, QWidget* parent = nullptr);
    explicit TfrmBWUpdate(UpdateSetup setup, QWidget* parent = nullptr);
    ~TfrmBWUpdate() override;

    // The pacing timer's handler; tests call it instead of waiting for the timer.
    void UpdateTimerTimer();
    // Shows a check's result on the user-interface thread; the dialog stays hidden when the
    // user asked not to be told again.
    void ShowResult(const UpdateResult& result);

    QTimer& UpdateTimer() { return *updateTimer_; }
    bool CheckRunning() const;

  signals:
    // A check's worker thread has ended (its result, if any, is already shown).
    void CheckFinished();

  private:
    void BuildControls();
    void StartCheck();
    void bBrackwoodClick();
    void bOKClick();
    void cbNoMoreClick(bool checked);

    UpdateSetup setup_;
    UpdateValues values_;
    UpdatePacer pacer_;
    std::unique_ptr<TUpdateThread> thread_;

    QLabel* lbVersionCur_ = nullptr;
    QLabel* lbVersionNew_ = nullptr;
    QPlainTextEdit* memVersionDesc_ = nullptr;
    QPushButton* bBrackwood_ = nullptr;
    QPushButton* bOK_ = nullptr;
    QCheckBox* cbNoMore_ = nullptr;
    QTimer* updateTimer_ = nullptr;
};

}  // namespace quernel
