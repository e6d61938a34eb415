#pragma once

#include <QStringList>
#include <functional>
#include <string>
#include <vector>

#include "host/AppSettings.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QSpinBox;

namespace quernel {

class TQuernelCore;

// Controls bound to one setting each, shared by the tabs of the main window: a change goes to
// the core at once, and Refresh shows the core's value in every bound control (a change may
// move another setting, the two title options for one).
class TSettingBinder {
  public:
    explicit TSettingBinder(TQuernelCore& core) : core_(core) {}

    TQuernelCore& Core() { return core_; }

    QCheckBox* Check(const char* name, const char* caption, bool AppSettings::*field);
    // The range comes from the settings table's entry named `setting`.
    QSpinBox* Spin(const char* name, const char* setting, int AppSettings::*field);
    QComboBox* Choice(const char* name, const QStringList& items, int AppSettings::*field);
    QLineEdit* Text(const char* name, std::string AppSettings::*field);

    // Edits the settings through the core, then shows them everywhere.
    void Change(const std::function<void(AppSettings&)>& edit);
    // Something else that shows a setting, refreshed with the bound controls.
    void OnRefresh(std::function<void()> refresh) { refreshers_.push_back(std::move(refresh)); }
    void Refresh();

  private:
    TQuernelCore& core_;
    std::vector<std::function<void()>> refreshers_;
};

}  // namespace quernel
