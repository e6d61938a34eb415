#include "ui/QN_ChoosePrinter.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

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

    auto* ok = new QPushButton(QString::fromUtf8("&Ok"), this);
    ok->setObjectName("btOk");
    ok->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8("&Anuluj"), this);
    cancel->setObjectName("btCancel");
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(lbDrukarki_, &QListWidget::itemDoubleClicked, this, &QDialog::accept);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(lbDrukarki_, 1);
    layout->addLayout(buttons);
}

int TfrmChoosePrinter::Chosen() const {
    return std::max(0, lbDrukarki_->currentRow());
}

}  // namespace quernel
