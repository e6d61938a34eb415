#include "ui/NamedTableBox.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace quernel {

TNameCombo::TNameCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setMinimumContentsLength(24);
}

void TNameCombo::FillNames() {
    const QSignalBlocker block(this);
    const QString text = currentText();
    clear();
    if (listNames) {
        for (const auto& name : listNames()) addItem(QString::fromStdString(name));
    }
    setEditText(text);
}

void TNameCombo::showPopup() {
    FillNames();
    QComboBox::showPopup();
}

TNamedTableBox::TNamedTableBox(const Names& names, QWidget* parent) : QWidget(parent) {
    combo_ = new TNameCombo(this);
    combo_->setObjectName(names.combo);
    auto* label = new QLabel(QString::fromUtf8(names.label), this);
    label->setBuddy(combo_);
    save_ = new QPushButton(QString::fromUtf8("&Zapisz"), this);
    save_->setObjectName(names.button);

    connect(combo_, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        if (nameChanged) nameChanged(text.toStdString());
    });
    connect(save_, &QPushButton::clicked, this, [this] {
        if (save) save();
        combo_->FillNames();
    });

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(combo_, 1);
    layout->addWidget(save_);
}

void TNamedTableBox::ShowName(const std::string& name) {
    const QSignalBlocker block(combo_);
    if (combo_->count() == 0) combo_->FillNames();
    combo_->setEditText(QString::fromStdString(name));
}

}  // namespace quernel
