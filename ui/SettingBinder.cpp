#include "ui/SettingBinder.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QSpinBox>

#include "monitor/QuernelCore.h"
#include "ui/Controls.h"

namespace quernel {

void TSettingBinder::Change(const std::function<void(AppSettings&)>& edit) {
    core_.UpdateSettings(edit);
    Refresh();
}

void TSettingBinder::Refresh() {
    for (const auto& refresh : refreshers_) refresh();
}

QCheckBox* TSettingBinder::Check(const char* name, const char* caption, bool AppSettings::*field) {
    auto* box = new QCheckBox(Q(caption));
    box->setObjectName(name);
    QObject::connect(box, &QCheckBox::toggled, box,
                     [this, field](bool on) { Change([=](AppSettings& s) { s.*field = on; }); });
    OnRefresh([this, box, field] {
        const QSignalBlocker block(box);
        box->setChecked(core_.Settings().*field);
    });
    return box;
}

QSpinBox* TSettingBinder::Spin(const char* name, const char* setting, int AppSettings::*field) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    const SettingInfo* info = FindSetting(setting);
    spin->setRange(info->low, info->high);
    QObject::connect(spin, &QSpinBox::valueChanged, spin, [this, field](int value) {
        Change([=](AppSettings& s) { s.*field = value; });
    });
    OnRefresh([this, spin, field] {
        const QSignalBlocker block(spin);
        spin->setValue(core_.Settings().*field);
    });
    return spin;
}

QComboBox* TSettingBinder::Choice(const char* name, const QStringList& items,
                                  int AppSettings::*field) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(items);
    QObject::connect(box, &QComboBox::currentIndexChanged, box, [this, field](int index) {
        Change([=](AppSettings& s) { s.*field = index; });
    });
    OnRefresh([this, box, field] {
        const QSignalBlocker block(box);
        box->setCurrentIndex(core_.Settings().*field);
    });
    return box;
}

QLineEdit* TSettingBinder::Text(const char* name, std::string AppSettings::*field) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    QObject::connect(edit, &QLineEdit::textChanged, edit, [this, field](const QString& text) {
        Change([value = text.toStdString(), field](AppSettings& s) { s.*field = value; });
    });
    OnRefresh([this, edit, field] {
        const QString value = QString::fromStdString(core_.Settings().*field);
        if (edit->text() == value) return;
        const QSignalBlocker block(edit);
        edit->setText(value);
    });
    return edit;
}

}  // namespace quernel
