#pragma once

#include <QWidget>
#include <cstdint>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QTableWidget;

namespace quernel {

class TQuernelCore;
class TNamedTableBox;

// The "Z&naki" tab: the active character map as a grid of glyphs, the selected entry in
// numbers and glyphs, a hover box naming the entry under the pointer, and the map's name,
// loaded when it changes and saved under it. In edit mode the mapped byte and the charset can
// be changed; every change goes to the core's map at once, so the next printout uses it.
class TCharMapTab final : public QWidget {
  public:
    explicit TCharMapTab(TQuernelCore& core, QWidget* parent = nullptr);

    // Shows the core's map, its name and the edit mode.
    void Refresh();
    // The source byte of the selected cell.
    std::uint8_t SelectedSource() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void hideEvent(QHideEvent* event) override;

  private:
    QTableWidget* BuildGrid();
    QLineEdit* Field(const char* name, int characters);
    void ShowMap();
    void FillCharMapGrid();
    void ShowEntry();
    void ShowHint(QPoint gridPoint);
    void CommitField(QLineEdit* field);
    void ShowEditMode();
    void ChooseCharset(int index);

    TQuernelCore& core_;
    // Cells, offsets and the hover box's font grow with the desktop's font.
    double scale_ = 1.0;
    TNamedTableBox* name_ = nullptr;
    QTableWidget* sgCharMap_ = nullptr;
    QLabel* edHint_ = nullptr;
    QCheckBox* cbTrybEdycji_ = nullptr;
    QComboBox* cbCharset_ = nullptr;
    QCheckBox* cbBoxLines_ = nullptr;
    QLineEdit* edWarDec_ = nullptr;
    QLineEdit* edWarHex_ = nullptr;
    QLineEdit* edWar_ = nullptr;
    QLineEdit* edMapDec_ = nullptr;
    QLineEdit* edMapHex_ = nullptr;
    QLineEdit* edMap_ = nullptr;
};

}  // namespace quernel
