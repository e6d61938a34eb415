#pragma once

#include <QWidget>
#include <functional>
#include <string>

class QCheckBox;
class QComboBox;
class QHBoxLayout;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace quernel {

class TQuernelCore;
class TNamedTableBox;

// The "&Kody" tab: the active control-code table as a list sorted by either column, and its
// name, loaded when it changes and saved under it. In edit mode entries can be added, deleted
// and copied into the add fields; every change goes to the core's table at once, so the next
// printout uses it. Also "Ignoruj komendy HP-PCL".
class TSequencesTab final : public QWidget {
  public:
    // `showMessage` shows the editor's messages to the user.
    TSequencesTab(TQuernelCore& core, std::function<void(const std::string&)> showMessage,
                  QWidget* parent = nullptr);

    // Shows the core's table, its name, the edit mode, the HP-PCL switch and the command set.
    void Refresh();
    // The column the list is sorted by: 0 "Kod", 1 "Znaczenie".
    int SortColumn() const { return sortColumn_; }

  private:
    QWidget* BuildAddGroup();
    void ShowSequences();
    void SortBy(int column);
    void AddSequence();
    void DeleteSequence();
    void CopySelectedRow();
    void ShowEditMode();
    void FillMeanings();
    // The table index the selected row carries; -1 when no row is selected.
    int SelectedIndex() const;

    TQuernelCore& core_;
    std::function<void(const std::string&)> showMessage_;
    int sortColumn_ = 0;
    TNamedTableBox* name_ = nullptr;
    QTableWidget* lvSequences_ = nullptr;
    QCheckBox* cbTrybEdycjiSQ_ = nullptr;
    QPushButton* btDelSequence_ = nullptr;
    QLineEdit* edAddSequence_ = nullptr;
    QComboBox* cbChooseSeq_ = nullptr;
    QPushButton* btAddSequence_ = nullptr;
    QCheckBox* cbIgnorePCL_ = nullptr;
    QComboBox* cbZestawKomend_ = nullptr;
    QHBoxLayout* options_ = nullptr;
};

}  // namespace quernel
