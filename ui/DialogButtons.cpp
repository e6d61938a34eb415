#include "ui/DialogButtons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

#include "ui/Controls.h"

namespace quernel {

QHBoxLayout* AcceptRejectRow(QDialog& dialog, const char* acceptCaption, const char* acceptName,
                             const char* rejectName) {
    auto* accept = Button(acceptName, acceptCaption, &dialog);
    accept->setDefault(true);
    auto* reject = Button(rejectName, "&Anuluj", &dialog);
    QObject::connect(accept, &QPushButton::clicked, &dialog, &QDialog::accept);
    QObject::connect(reject, &QPushButton::clicked, &dialog, &QDialog::reject);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(accept);
    row->addWidget(reject);
    return row;
}

}  // namespace quernel
