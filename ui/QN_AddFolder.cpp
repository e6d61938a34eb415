#include "ui/QN_AddFolder.h"

#include <QDir>
#include <QFileSystemModel>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>

#include "ui/DialogButtons.h"

namespace quernel {

TfrmAddFolder::TfrmAddFolder(QWidget* parent, const QString& startFolder) : QDialog(parent) {
    setObjectName("frmAddFolder");
    setWindowTitle(QString::fromUtf8("Wybierz katalog do monitorowania"));

    model_ = new QFileSystemModel(this);
    model_->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::Drives);
    model_->setRootPath(QDir::rootPath());

    dlbKatalogi_ = new QTreeView(this);
    dlbKatalogi_->setObjectName("dlbKatalogi");
    dlbKatalogi_->setModel(model_);
    for (int column = 1; column < model_->columnCount(); ++column) {
        dlbKatalogi_->hideColumn(column);
    }
    dlbKatalogi_->header()->hide();
    const int line = fontMetrics().height();
    dlbKatalogi_->setMinimumSize(fontMetrics().averageCharWidth() * 50, line * 16);

    auto* folderLabel = new QLabel(QString::fromUtf8("Wybierz katalog"), this);
    folderLabel->setBuddy(dlbKatalogi_);

    edMaskaPlikow_ = new QLineEdit(this);
    edMaskaPlikow_->setObjectName("edMaskaPlikow");
    edMaskaPlikow_->setPlaceholderText("*.*");
    auto* maskLabel = new QLabel(QString::fromUtf8("Maska plików"), this);
    maskLabel->setBuddy(edMaskaPlikow_);

    QHBoxLayout* buttons = AcceptRejectRow(*this);
    ok_ = findChild<QPushButton*>("btOk");
    connect(dlbKatalogi_->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this] { FolderChanged(); });
    // The folders are read in the background: the selected one comes into view once its
    // parents are there.
    connect(model_, &QFileSystemModel::directoryLoaded, this, [this] {
        dlbKatalogi_->scrollTo(dlbKatalogi_->currentIndex(), QAbstractItemView::PositionAtCenter);
    });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(folderLabel);
    layout->addWidget(dlbKatalogi_, 1);
    layout->addWidget(maskLabel);
    layout->addWidget(edMaskaPlikow_);
    layout->addLayout(buttons);

    SelectFolder(startFolder.isEmpty() ? QDir::homePath() : startFolder);
    KeepTitleWhole(*this);
}

void TfrmAddFolder::SelectFolder(const QString& path) {
    const QModelIndex index = model_->index(QDir(path).absolutePath());
    if (!index.isValid()) return;
    dlbKatalogi_->setCurrentIndex(index);
    for (QModelIndex up = index; up.isValid(); up = up.parent()) dlbKatalogi_->expand(up);
    dlbKatalogi_->scrollTo(index, QAbstractItemView::PositionAtCenter);
    FolderChanged();
}

QString TfrmAddFolder::Folder() const {
    const QModelIndex index = dlbKatalogi_->currentIndex();
    return index.isValid() ? model_->filePath(index) : QString();
}

QString TfrmAddFolder::Mask() const {
    return edMaskaPlikow_->text().trimmed();
}

void TfrmAddFolder::FolderChanged() {
    ok_->setEnabled(!Folder().isEmpty());
}

}  // namespace quernel
