#include "ui/DialogButtons.h"

#include <QApplication>
#include <QDialog>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>
#include <algorithm>

#include "ui/Controls.h"

namespace quernel {

void KeepTitleWhole(QDialog& dialog) {
    // The title bar's font is the desktop's; a bold title is about a tenth wider. Room for the
    // icon and the three buttons besides.
    QFont title = QApplication::font("QMdiSubWindowTitleBar");
    title.setBold(true);
    const int needed = QFontMetrics(title).horizontalAdvance(dialog.windowTitle()) +
                       6 * QFontMetrics(title).height() + 40;
    dialog.setMinimumWidth(std::max(dialog.minimumWidth(), needed));
}

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
