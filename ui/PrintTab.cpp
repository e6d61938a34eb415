#include "ui/PrintTab.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "monitor/QuernelCore.h"
#include "ui/Controls.h"
#include "ui/SettingBinder.h"

namespace quernel {

TPrintTab::TPrintTab(TSettingBinder& binder, TPrintTabActions actions, QWidget* parent)
    : QWidget(parent), actions_(std::move(actions)) {
    setObjectName("tsWydruk");
    auto* btPrintFile = Button("btPrintFile", "&Drukuj plik");
    connect(btPrintFile, &QPushButton::clicked, this, [this] { actions_.printFile(); });
    cbActive_ = new QCheckBox(Q("Aktywne monitorowanie"));
    cbActive_->setObjectName("cbActive");
    connect(cbActive_, &QCheckBox::toggled, this, [this](bool on) { actions_.setMonitoring(on); });
    auto* cbAutostart = new QCheckBox(Q("Autostart"));
    cbAutostart->setObjectName("cbAutostart");
    connect(cbAutostart, &QCheckBox::toggled, this, [&binder](bool on) {
        binder.Change([on](AppSettings& s) { s.AutoRun = on; });
        if (binder.Core().registerAutostart) binder.Core().registerAutostart();
    });
    binder.OnRefresh([&binder, cbAutostart] {
        const QSignalBlocker block(cbAutostart);
        cbAutostart->setChecked(binder.Core().Settings().AutoRun);
    });
    auto* btRecent = Button("btRecentPrintouts", "&Ostatnie wydruki");
    connect(btRecent, &QPushButton::clicked, this, [this] { actions_.recentPrintouts(); });
    auto* btHelp = Button("btHelp", "&Pomoc");
    connect(btHelp, &QPushButton::clicked, this, [this] { actions_.help(); });

    memLog_ = new QPlainTextEdit;
    memLog_->setObjectName("memLog");
    memLog_->setReadOnly(true);
    memLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A history of months of printing stays within bounds: the oldest lines go first.
    memLog_->setMaximumBlockCount(50000);
    // Room for about 90 characters by 14 lines of the history, whatever the font.
    const QFontMetrics metrics(memLog_->font());
    memLog_->setMinimumSize(metrics.averageCharWidth() * 90, metrics.lineSpacing() * 14);

    top_ = new QHBoxLayout;
    top_->addWidget(btPrintFile);
    top_->addSpacing(metrics.averageCharWidth() * 2);
    top_->addWidget(cbActive_);
    top_->addWidget(cbAutostart);
    top_->addStretch();
    top_->addWidget(btRecent);
    top_->addWidget(btHelp);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top_);
    layout->addWidget(Label("&Historia:", memLog_));
    layout->addWidget(memLog_, 1);
}

void TPrintTab::ShowActive(bool active) {
    const QSignalBlocker block(cbActive_);
    cbActive_->setChecked(active);
}

}  // namespace quernel
