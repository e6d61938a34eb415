#include "ui/SequencesTab.h"

#include <QCheckBox>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include "monitor/QuernelCore.h"
#include "ui/NamedTableBox.h"
#include "ui/TableNames.h"

namespace quernel {

TSequencesTab::TSequencesTab(TQuernelCore& core, QWidget* parent) : QWidget(parent), core_(core) {
    setObjectName("tsSequences");
    name_ = new TNamedTableBox({"cbSequences", "btSaveSQ", "Kody sterujące:"}, this);
    name_->listNames() = [this] { return core_.ListSequences(); };
    name_->nameChanged = [this](const std::string& name) { ChangeSequencesName(core_, name); };
    name_->save = [this] {
        core_.SetSequencesEditMode(true);
        core_.SaveSequences();
    };
    cbIgnorePCL_ = new QCheckBox(QString::fromUtf8("Ignoruj komendy HP-PCL"), this);
    cbIgnorePCL_->setObjectName("cbIgnorePCL");
    connect(cbIgnorePCL_, &QCheckBox::toggled, this,
            [this](bool on) { core_.UpdateSettings([on](AppSettings& s) { s.Ignore_PCL = on; }); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addWidget(cbIgnorePCL_);
    layout->addStretch();
}

void TSequencesTab::Refresh() {
    name_->ShowName(core_.SequencesName());
    const QSignalBlocker block(cbIgnorePCL_);
    cbIgnorePCL_->setChecked(core_.Settings().Ignore_PCL);
}

}  // namespace quernel
