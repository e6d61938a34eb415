#include "ui/QN_FromPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace quernel {

TdlgPrintFromPage::TdlgPrintFromPage(QWidget* parent) : QDialog(parent) {
    setObjectName("dlgPrintFromPage");
    setWindowTitle(QString::fromUtf8("Drukuj od Strony"));

    edFromPage_ = new QSpinBox(this);
    edFromPage_->setObjectName("edFromPage");
    edFromPage_->setRange(1, 1000);
    edFromPage_->setValue(1);
    auto* label = new QLabel(QString::fromUtf8("Drukuj od strony"), this);
    label->setBuddy(edFromPage_);

    auto* print = new QPushButton(QString::fromUtf8("&Drukuj"), this);
    print->setObjectName("btDrukuj");
    print->setDefault(true);
    auto* cancel = new QPushButton(QString::fromUtf8("&Anuluj"), this);
    cancel->setObjectName("btAnuluj");
    connect(print, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edFromPage_, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(print);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

int TdlgPrintFromPage::Page() const {
    return edFromPage_->value();
}

void TdlgPrintFromPage::SetPage(int page) {
    edFromPage_->setValue(page);
}

}  // namespace quernel
