#pragma once

#include <QDialog>
#include <QString>

class QFileSystemModel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace quernel {

// "Wybierz katalog do monitorowania": a folder (from a tree of the file system, which has no
// drives to choose from) and a file mask for a new folder entry.
class TfrmAddFolder final : public QDialog {
  public:
    explicit TfrmAddFolder(QWidget* parent = nullptr, const QString& startFolder = {});

    // Selects and shows the folder in the tree.
    void SelectFolder(const QString& path);
    // The selected folder; empty when none is selected.
    QString Folder() const;
    QString Mask() const;

  private:
    void FolderChanged();

    QFileSystemModel* model_;
    QTreeView* dlbKatalogi_;
    QLineEdit* edMaskaPlikow_;
    QPushButton* ok_;
};

}  // namespace quernel
