#pragma once

#include <QPushButton>
#include <QString>
#include <string_view>

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

}  // namespace quernel
