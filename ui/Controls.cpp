#include "ui/Controls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QListWidget>

namespace quernel {

QLabel* Label(const char* caption, QWidget* buddy) {
    auto* label = new QLabel(Q(caption));
    if (buddy != nullptr) label->setBuddy(buddy);
    return label;
}

QLabel* Note(const char* text) {
    auto* label = new QLabel(Q(text));
    label->setContentsMargins(QCheckBox().sizeHint().height(), 0, 0, 0);
    return label;
}

QStringList ToQt(const std::vector<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts) list << QString::fromStdString(text);
    return list;
}

QStringList Items(const QComboBox& box) {
    QStringList list;
    for (int i = 0; i < box.count(); ++i) list << box.itemText(i);
    return list;
}

QStringList Items(const QListWidget& box) {
    QStringList list;
    for (int i = 0; i < box.count(); ++i) list << box.item(i)->text();
    return list;
}

}  // namespace quernel
