#include "update/BWUpdate.h"

#include <sys/resource.h>
#include <unistd.h>

#include <QCheckBox>
#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <condition_variable>
#include <mutex>

#include "host/KeyStore.h"
#include "host/ProgramDir.h"
#include "host/Text.h"
#include "host/VersionInfo.h"
#include "platform/CommandLine.h"
#include "update/OnlineWatcher.h"
#include "update/QtUpdateServer.h"
#include "update/UpdateServer.h"

namespace quernel {

namespace {

QString FromUtf8(const std::string& text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

UpdateSetup DefaultSetup(IKeyStore& store, const IClock& clock) {
    const std::string server = UpdateServerAddress();
    // Without a server nothing is ever sent, so nothing needs to watch the network.
    std::shared_ptr<const IOnlineState> online;
    if (!server.empty()) online = std::make_shared<NetworkOnlineWatcher>();
    return UpdateSetup{store,
                       clock,
                       UpdateIdentity{ToUpperAscii(ExecutableName()), FileVersion(), "", 0},
                       server,
                       std::move(online),
                       kBrowserCommand,
                       &StartCommandLine};
}

}  // namespace

// One check on a thread of its own, below normal priority. A result goes to the dialog on the
// user-interface thread, and the thread waits until it is shown.
class TUpdateThread final : public QThread {
  public:
    TUpdateThread(UpdateCheck check, std::string serverAddress, std::chrono::milliseconds limit,
                  TfrmBWUpdate& dialog)
        : check_(std::move(check)),
          serverAddress_(std::move(serverAddress)),
          limit_(limit),
          dialog_(dialog) {
        setObjectName(QStringLiteral("BWUpdateThread"));
    }

    // Ends the check early: the request is dropped and a result is no longer waited for.
    void Cancel() {
        requestInterruption();
        quit();
        {
            std::lock_guard lock(handover_->mutex);
            handover_->cancelled = true;
        }
        handover_->changed.notify_all();
    }

  protected:
    void run() override {
        // Qt's thread priorities do not reach ordinary Linux threads; the nice value does.
        const pid_t self = ::gettid();
        if (::getpriority(PRIO_PROCESS, static_cast<id_t>(self)) < kNice) {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(self), kNice);
        }
        std::optional<UpdateResult> result;
        try {
            QtUpdateServer server(serverAddress_, limit_);
            result = check_.Run(server);
        } catch (...) {
            return;  // a failed check shows nothing; the next one tries again
        }
        if (!result || isInterruptionRequested()) return;

        QMetaObject::invokeMethod(
            &dialog_,
            [dialog = &dialog_, handover = handover_, shown = *result] {
                dialog->ShowResult(shown);
                {
                    std::lock_guard lock(handover->mutex);
                    handover->done = true;
                }
                handover->changed.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock lock(handover_->mutex);
        handover_->changed.wait(lock, [this] { return handover_->done || handover_->cancelled; });
    }

  private:
    static constexpr int kNice = 10;

    struct Handover {
        std::mutex mutex;
        std::condition_variable changed;
        bool done = false;
        bool cancelled = false;
    };

    UpdateCheck check_;
    std::string serverAddress_;
    std::chrono::milliseconds limit_;
    TfrmBWUpdate& dialog_;
    std::shared_ptr<Handover> handover_ = std::make_shared<Handover>();
};

TfrmBWUpdate::TfrmBWUpdate(IKeyStore& store, const IClock& clock, QWidget* parent)
    : TfrmBWUpdate(DefaultSetup(store, clock), parent) {}

TfrmBWUpdate::TfrmBWUpdate(UpdateSetup setup, QWidget* parent)
    : QDialog(parent), setup_(std::move(setup)), values_(setup_.store, setup_.identity.exe) {
    BuildControls();
    cbNoMore_->setChecked(values_.NoShow());
    connect(cbNoMore_, &QCheckBox::toggled, this, &TfrmBWUpdate::cbNoMoreClick);
    connect(bBrackwood_, &QPushButton::clicked, this, &TfrmBWUpdate::bBrackwoodClick);
    connect(bOK_, &QPushButton::clicked, this, &TfrmBWUpdate::bOKClick);

    updateTimer_ = new QTimer(this);
    updateTimer_->setObjectName(QStringLiteral("UpdateTimer"));
    updateTimer_->setInterval(static_cast<int>(UpdatePacer::kFirstInterval.count()));
    connect(updateTimer_, &QTimer::timeout, this, &TfrmBWUpdate::UpdateTimerTimer);
    updateTimer_->start();
}

TfrmBWUpdate::~TfrmBWUpdate() {
    if (thread_) {
        thread_->Cancel();
        thread_->wait();
    }
}

void TfrmBWUpdate::BuildControls() {
    setObjectName(QStringLiteral("frmBWUpdate"));
    setWindowTitle(QStringLiteral("Nowa wersja"));
    // Closing this window never ends the program, also while the main window is in the tray.
    setAttribute(Qt::WA_QuitOnClose, false);

    QFont bold = font();
    bold.setBold(true);
    lbVersionCur_ = new QLabel(QStringLiteral("Wersja 0.0.0.0"), this);
    lbVersionCur_->setObjectName(QStringLiteral("lbVersionCur"));
    lbVersionCur_->setFont(bold);
    lbVersionNew_ = new QLabel(QStringLiteral("Wersja 0.0.0.0"), this);
    lbVersionNew_->setObjectName(QStringLiteral("lbVersionNew"));
    lbVersionNew_->setFont(bold);
    lbVersionNew_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    // The new version comes from the server: shown as it is, never read as markup.
    lbVersionCur_->setTextFormat(Qt::PlainText);
    lbVersionNew_->setTextFormat(Qt::PlainText);

    // The description reads as part of the window: no frame, the window's own background.
    memVersionDesc_ = new QPlainTextEdit(this);
    memVersionDesc_->setObjectName(QStringLiteral("memVersionDesc"));
    memVersionDesc_->setReadOnly(true);
    memVersionDesc_->setFrameShape(QFrame::NoFrame);
    QPalette palette = memVersionDesc_->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    memVersionDesc_->setPalette(palette);

    cbNoMore_ = new QCheckBox(QStringLiteral("Nie pokazuj więcej tego powiadomienia"), this);
    cbNoMore_->setObjectName(QStringLiteral("cbNoMore"));
    bBrackwood_ = new QPushButton(QStringLiteral("Pobierz z Brackwood"), this);
    bBrackwood_->setObjectName(QStringLiteral("bBrackwood"));
    bBrackwood_->setDefault(true);
    bOK_ = new QPushButton(QStringLiteral("Innym razem"), this);
    bOK_->setObjectName(QStringLiteral("bOK"));

    auto* versions = new QHBoxLayout;
    versions->addWidget(lbVersionCur_);
    versions->addStretch();
    versions->addWidget(lbVersionNew_);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bBrackwood_);
    buttons->addWidget(bOK_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(versions);
    layout->addWidget(memVersionDesc_, 1);
    layout->addWidget(cbNoMore_);
    layout->addLayout(buttons);

    // 344 x 257, larger only when the desktop's font needs more room.
    resize(QSize(344, 257).expandedTo(minimumSizeHint()));
}

bool TfrmBWUpdate::CheckRunning() const {
    return thread_ && thread_->isRunning();
}

void TfrmBWUpdate::UpdateTimerTimer() {
    updateTimer_->stop();
    try {
        const UpdatePacer::Step step = pacer_.Tick(setup_.online && setup_.online->Online());
        updateTimer_->setInterval(static_cast<int>(step.next.count()));
        if (step.startCheck) StartCheck();
    } catch (...) {
        // A tick that fails leaves the pace as it was.
    }
    updateTimer_->start();
}

void TfrmBWUpdate::StartCheck() {
    if (setup_.serverAddress.empty()) return;
    if (thread_ && thread_->isRunning()) return;  // the running check serves
    if (thread_) thread_->wait();
    thread_ =
        std::make_unique<TUpdateThread>(UpdateCheck(setup_.store, setup_.clock, setup_.identity),
                                        setup_.serverAddress, setup_.exchangeLimit, *this);
    connect(thread_.get(), &QThread::finished, this, &TfrmBWUpdate::CheckFinished,
            Qt::QueuedConnection);
    thread_->start(QThread::LowPriority);
}

void TfrmBWUpdate::ShowResult(const UpdateResult& result) {
    lbVersionCur_->setText(QStringLiteral("Wersja obecna ") + FromUtf8(result.currentVersion));
    lbVersionNew_->setText(QStringLiteral("Wersja nowa ") + FromUtf8(result.newVersion));
    memVersionDesc_->setPlainText(FromUtf8(DescriptionText(result.description)));
    if (cbNoMore_->isChecked()) return;
    if (!isVisible()) {
        resize(size().expandedTo(minimumSizeHint()));
        if (const QScreen* screen = this->screen()) {
            move(screen->availableGeometry().center() - rect().center());
        }
    }
    show();
    raise();
    activateWindow();
}

void TfrmBWUpdate::bBrackwoodClick() {
    if (setup_.browserCommand.empty()) return;
    if (!setup_.serverAddress.empty() && setup_.startCommand) {
        try {
            setup_.startCommand(
                BrowserCommandLine(setup_.browserCommand, UpdateHomePage(setup_.serverAddress)));
        } catch (...) {
            // The browser not starting changes nothing here.
        }
    }
    hide();
}

void TfrmBWUpdate::bOKClick() {
    hide();
}

void TfrmBWUpdate::cbNoMoreClick(bool checked) {
    values_.SetNoShow(checked);
}

}  // namespace quernel
