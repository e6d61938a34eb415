#include "ui/QN_CanClose.h"

#include <QStyle>

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/DialogButtons.h"

namespace quernel {

TdlCanClose::TdlCanClose(QWidget* parent) : QDialog(parent) {
    setObjectName("dlCanClose");
    setWindowTitle("Quernel - Koniec?");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("Czy zakończyć działanie aplikacji Quernel?", this);
    text->setObjectName("lbQuestion");
    // A question carries the icon of a question, as a message box does.
    auto* icon = new QLabel(this);
    icon->setObjectName("imgQuestion");
    const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(size, size));
    auto* top = new QHBoxLayout;
    top->addWidget(icon, 0, Qt::AlignTop);
    top->addWidget(text, 1);
    layout->addLayout(top);
    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    const auto add = [&](const char* name, const char* caption, TCloseAnswer answer) {
        auto* button = new QPushButton(caption, this);
        button->setObjectName(name);
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, answer] {
            answer_ = answer;
            accept();
        });
        return button;
    };
    QPushButton* hide = add("btSchowaj", "&Schowaj", TCloseAnswer::kHide);
    add("btZamknij", "&Zamknij", TCloseAnswer::kClose);
    add("btAnuluj", "&Anuluj", TCloseAnswer::kCancel);
    hide->setDefault(true);
    hide->setFocus();
    KeepTitleWhole(*this);
}

TCloseAnswer TdlCanClose::Ask() {
    // Escape and the window's own close button reject the dialog: cancel.
    answer_ = TCloseAnswer::kCancel;
    exec();
    return answer_;
}

}  // namespace quernel
