#include "ui/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace quernel {

QHBoxLayout* AcceptRejectRow(QDialog& dialog, const char* acceptCaption, const char* acceptName,
                             const char* rejectName) {
    auto* accept = new QPushButton(QString::fromUtf8(acceptCaption), &dialog);
    accept->setObjectName(acceptName);
    accept->setDefault(true);
    auto* reject = new QPushButton(QString::fromUtf8("&Anuluj"), &dialog);
    reject->setObjectName(rejectName);
    QObject::connect(accept, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(reject, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(accept);
    row->addWidget(reject);
    return row;
}

}  // namespace quernel
