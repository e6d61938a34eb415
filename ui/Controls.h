#pragma once

#include <QPushButton>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

class QComboBox;
class QLabel;
class QListWidget;
class QWidget;

namespace quernel {

// The program's own texts (UTF-8) as Qt shows them.
inline QString Q(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// A push button with its object name and caption.
inline QPushButton* Button(const char* name, const char* caption, QWidget* parent = nullptr) {
    auto* button = new QPushButton(Q(caption), parent);
    button->setObjectName(name);
    return button;
}

// A caption, the label of `buddy` when one is given.
QLabel* Label(const char* caption, QWidget* buddy = nullptr);
// A line of text that explains the control above it, indented under its caption.
QLabel* Note(const char* text);

QStringList ToQt(const std::vector<std::string>& texts);
// The texts of the items, in order.
QStringList Items(const QComboBox& box);
QStringList Items(const QListWidget& box);

}  // namespace quernel
