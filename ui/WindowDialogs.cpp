#include "ui/WindowDialogs.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QImageReader>
#include <QMessageBox>
#include <QStringList>
#include <QUrl>
#include <filesystem>

#include "host/Environment.h"
#include "ui/AppTitle.h"
#include "ui/Controls.h"
#include "ui/DialogButtons.h"
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

TQtWindowDialogs::TQtWindowDialogs(QWidget* parent, std::function<std::string()> startFolder)
    : parent_(parent), startFolder_(std::move(startFolder)) {}

std::string TQtWindowDialogs::StartFolder() const {
    const std::string folder = startFolder_ ? startFolder_() : std::string();
    std::error_code ec;
    if (!folder.empty() && std::filesystem::is_directory(folder, ec)) return folder;
    return QuernelFolder().string();
}

TQtWindowDialogs::~TQtWindowDialogs() = default;

std::unique_ptr<QFileDialog> TQtWindowDialogs::NewFileDialog(QWidget* parent,
                                                             const QString& folder) {
    auto dialog = std::make_unique<QFileDialog>(parent);
    dialog->setFileMode(QFileDialog::ExistingFile);
    dialog->setAcceptMode(QFileDialog::AcceptOpen);
    if (!folder.isEmpty()) dialog->setDirectory(folder);
    KeepTitleWhole(*dialog);
    return dialog;
}

std::unique_ptr<QFileDialog> TQtWindowDialogs::NewPictureDialog(QWidget* parent) {
    auto dialog = NewFileDialog(parent);
    dialog->setWindowTitle(Q("Wybierz obraz w tle"));
    QStringList all;
    QStringList each;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString pattern = "*." + QString::fromLatin1(format);
        all << pattern;
        each << Q("Obrazy ") + QString::fromLatin1(format).toUpper() + " (" + pattern + ")";
    }
    QStringList filters{Q("Obrazy (") + all.join(' ') + ")"};
    filters << each << Q("Wszystkie pliki (*)");
    dialog->setNameFilters(filters);
    dialog->setOption(QFileDialog::ReadOnly, false);
    return dialog;
}

std::optional<std::string> TQtWindowDialogs::ChooseFile() {
    const auto dialog = NewFileDialog(parent_, QString::fromStdString(StartFolder()));
    dialog->setWindowTitle(Q("Wybierz plik"));
    return RunFileDialog(*dialog);
}

std::optional<std::string> TQtWindowDialogs::ChoosePicture() {
    return RunFileDialog(*NewPictureDialog(parent_));
}

void TQtWindowDialogs::ShowMessage(const std::string& text) {
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(kAppTitle),
                    QString::fromStdString(text), QMessageBox::Ok, parent_);
    box.exec();
}

std::optional<std::string> TQtWindowDialogs::ChoosePdfFolder(const std::string& current) {
    const QString folder = QFileDialog::getExistingDirectory(
        parent_, Q("Folder plików PDF drukarki \"Quernel PDF\""), QString::fromStdString(current));
    if (folder.isEmpty()) return std::nullopt;
    return LocalPath(folder);
}

void TQtWindowDialogs::OpenFolder(const std::string& folder) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(folder)));
}

std::optional<TFolderChoice> TQtWindowDialogs::ChooseFolder() {
    TfrmAddFolder dialog(parent_, QString::fromStdString(StartFolder()));
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
