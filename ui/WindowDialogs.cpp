#include "ui/WindowDialogs.h"

#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QStringList>

#include "ui/AppTitle.h"
#include "ui/QN_AddFolder.h"
#include "ui/QN_ChoosePrinter.h"
#include "ui/QN_FromPage.h"

namespace quernel {

namespace {

std::string LocalPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

std::optional<std::string> RunFileDialog(QFileDialog& dialog) {
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return LocalPath(dialog.selectedFiles().first());
}

}  // namespace

TQtWindowDialogs::TQtWindowDialogs(QWidget* parent) : parent_(parent) {}

TQtWindowDialogs::~TQtWindowDialogs() = default;

std::unique_ptr<QFileDialog> TQtWindowDialogs::NewFileDialog(QWidget* parent) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    return dialog;
}

std::unique_ptr<QFileDialog> TQtWindowDialogs::NewPictureDialog(QWidget* parent) {
    auto dialog = NewFileDialog(parent);
    QStringList patterns;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        patterns << "*." + QString::fromLatin1(format);
    }
    dialog->setNameFilters(
        {"Pictures (*.bmp)", "All pictures (" + patterns.join(' ') + ")", "All files (*.*)"});
    dialog->setDefaultSuffix("bmp");
    dialog->setOption(QFileDialog::ReadOnly, false);
    return dialog;
}

std::optional<std::string> TQtWindowDialogs::ChooseFile() {
    return RunFileDialog(*NewFileDialog(parent_));
}

std::optional<std::string> TQtWindowDialogs::ChoosePicture() {
    return RunFileDialog(*NewPictureDialog(parent_));
}

void TQtWindowDialogs::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(kAppTitle), QString::fromStdString(text),
                    QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<TFolderChoice> TQtWindowDialogs::ChooseFolder() {
    TfrmAddFolder dialog(parent_);
    if (dialog.exec() != QDialog::Accepted || dialog.Folder().isEmpty()) return std::nullopt;
    return TFolderChoice{LocalPath(dialog.Folder()), dialog.Mask().toStdString()};
}

TdlgPrintFromPage& TQtWindowDialogs::FromPageDialog() {
    if (!fromPage_) fromPage_ = std::make_unique<TdlgPrintFromPage>(parent_);
    return *fromPage_;
}

std::optional<int> TQtWindowDialogs::ChooseStartPage(int lastPage) {
    TdlgPrintFromPage& dialog = FromPageDialog();
    dialog.SetPage(lastPage);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Page();
}

std::optional<int> TQtWindowDialogs::ChoosePrinter(const std::vector<std::string>& choices) {
    TfrmChoosePrinter dialog(choices, parent_);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Chosen();
}

}  // namespace quernel
