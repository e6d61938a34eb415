#include "ui/QN_ChoosePrinter.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

#include "ui/DialogButtons.h"

namespace quernel {

TfrmChoosePrinter::TfrmChoosePrinter(const std::vector<std::string>& choices, QWidget* parent)
    : QDialog(parent) {
    setObjectName("frmChoosePrinter");
    setWindowTitle(QString::fromUtf8("Wybierz Drukarke"));

    lbDrukarki_ = new QListWidget(this);
    lbDrukarki_->setObjectName("lbDrukarki");
    for (const auto& choice : choices) lbDrukarki_->addItem(QString::fromStdString(choice));
    if (lbDrukarki_->count() > 0) lbDrukarki_->setCurrentRow(0);
    lbDrukarki_->setMinimumSize(fontMetrics().averageCharWidth() * 40, fontMetrics().height() * 10);
    auto* label = new QLabel(QString::fromUtf8("Wybierz Drukarkę"), this);
    label->setBuddy(lbDrukarki_);

    connect(lbDrukarki_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lbDrukarki_, 1);
    layout->addLayout(AcceptRejectRow(*this));
    KeepTitleWhole(*this);
}

int TfrmChoosePrinter::Chosen() const {
    return std::max(0, lbDrukarki_->currentRow());
}

}  // namespace quernel
