#include "ui/QN_FromPage.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/DialogButtons.h"

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

    auto* row = new QHBoxLayout;
    row->addWidget(label);
    row->addWidget(edFromPage_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(AcceptRejectRow(*this, "&Drukuj", "btDrukuj", "btAnuluj"));
    layout->setSizeConstraint(QLayout::SetMinimumSize);
    KeepTitleWhole(*this);
    setFixedHeight(sizeHint().height());
}

int TdlgPrintFromPage::Page() const {
    return edFromPage_->value();
}

void TdlgPrintFromPage::SetPage(int page) {
    edFromPage_->setValue(page);
}

}  // namespace quernel
