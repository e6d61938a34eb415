#pragma once

#include <QComboBox>
#include <QWidget>
#include <functional>
#include <string>
#include <vector>

class QPushButton;

namespace quernel {

// An editable name box that fills its list with the saved names whenever it opens.
class TNameCombo final : public QComboBox {
  public:
    explicit TNameCombo(QWidget* parent = nullptr);
    std::function<std::vector<std::string>()> listNames;
    // Fills the list with the saved names; the typed text stays.
    void FillNames();
    void showPopup() override;
};

// The name of the active table or map with its label and a save button: a change of the name
// (picked or typed) goes to `nameChanged`, the button to `save`.
class TNamedTableBox final : public QWidget {
  public:
    struct Names {
        const char* combo;  // object names
        const char* button;
        const char* label;  // caption
    };
    explicit TNamedTableBox(const Names& names, QWidget* parent = nullptr);

    std::function<std::vector<std::string>()>& listNames() { return combo_->listNames; }
    std::function<void(const std::string&)> nameChanged;
    std::function<void()> save;

    // Shows the name without reporting it as a change.
    void ShowName(const std::string& name);
    TNameCombo* Combo() const { return combo_; }
    QPushButton* SaveButton() const { return save_; }

  private:
    TNameCombo* combo_;
    QPushButton* save_;
};

}  // namespace quernel
