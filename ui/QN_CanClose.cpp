#include "ui/QN_CanClose.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace quernel {

TdlCanClose::TdlCanClose(QWidget* parent) : QDialog(parent) {
    setObjectName("dlCanClose");
    setWindowTitle("Quernel - Koniec?");
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    auto* text = new QLabel("Czy zakończyć działanie aplikacji Quernel?", this);
    text->setObjectName("lbQuestion");
    layout->addWidget(text);
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
}

TCloseAnswer TdlCanClose::Ask() {
    // Escape and the window's own close button reject the dialog: cancel.
    answer_ = TCloseAnswer::kCancel;
    exec();
    return answer_;
}

}  // namespace quernel
