#include "ui/FilesTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "ui/Controls.h"
#include "ui/SettingBinder.h"
#include "ui/WindowDialogs.h"

namespace quernel {

TFilesTab::TFilesTab(TSettingBinder& binder, std::function<IWindowDialogs&()> dialogs,
                     QWidget* parent)
    : QWidget(parent), core_(binder.Core()), dialogs_(std::move(dialogs)) {
    setObjectName("tsFiles");
    lbFiles_ = new QListWidget;
    lbFiles_->setObjectName("lbFiles");
    auto* btAddFile = Button("btAddFile", "&Dodaj");
    auto* btDeleteFile = Button("btDeleteFile", "&Usuń");
    auto* btAddFolder = Button("btAddFolder", "Dodaj &Folder");
    auto* btChoosePrinter = Button("btChoosePrinter", "&Wybierz Drukarkę");
    connect(btAddFile, &QPushButton::clicked, this, [this] {
        core_.Monitoring().AddFile(dialogs_());
        RefreshFiles();
    });
    connect(btAddFolder, &QPushButton::clicked, this, [this] {
        core_.Monitoring().AddFolder(dialogs_());
        RefreshFiles();
    });
    connect(btDeleteFile, &QPushButton::clicked, this, [this] {
        core_.Monitoring().RemoveEntry(lbFiles_->currentRow());
        RefreshFiles();
    });
    connect(btChoosePrinter, &QPushButton::clicked, this, [this] {
        core_.Monitoring().ChooseEntryPrinter(lbFiles_->currentRow(), dialogs_());
        RefreshFiles();
    });

    auto* buttons = new QVBoxLayout;
    for (auto* button : {btAddFile, btDeleteFile, btAddFolder, btChoosePrinter}) {
        buttons->addWidget(button);
    }
    buttons->addStretch();
    auto* list = new QGridLayout;
    list->addWidget(Label("&Monitorowane pliki:", lbFiles_), 0, 0);
    list->addWidget(lbFiles_, 1, 0);
    list->addLayout(buttons, 1, 1);
    list->setColumnStretch(0, 1);
    list->setRowStretch(1, 1);

    auto* edMaxWait = binder.Spin("edMaxWait", "WaitForPageMax", &AppSettings::WaitForPageMax);
    auto* edWaitBeforePrint =
        binder.Spin("edWaitBeforePrint", "WaitBeforePrint", &AppSettings::WaitBeforePrint);
    auto* cbTrybPliku = binder.Choice("cbTrybPliku", {Q("Dopisywanie"), Q("Nadpisywanie")},
                                      &AppSettings::FileSaveMode);

    auto* maxWait = new QHBoxLayout;
    maxWait->addWidget(Label("Max", edMaxWait));
    maxWait->addWidget(edMaxWait);
    maxWait->addWidget(Label("sek."));
    maxWait->addStretch();
    auto* waitBefore = new QHBoxLayout;
    waitBefore->addWidget(Label("Drukuj po", edWaitBeforePrint));
    waitBefore->addWidget(edWaitBeforePrint);
    waitBefore->addWidget(Label("sekund."));
    waitBefore->addStretch();
    auto* mode = new QHBoxLayout;
    mode->addWidget(Label("Tryb zapisu pliku:", cbTrybPliku));
    mode->addWidget(cbTrybPliku);
    mode->addStretch();
    auto* keep = new QVBoxLayout;
    keep->setSpacing(0);
    keep->addWidget(binder.Check("cbKeepState", "Zachowaj parametry", &AppSettings::KeepState));
    keep->addWidget(Note("między wydrukami"));

    auto* options = new QGridLayout;
    options->addWidget(
        binder.Check("cbWaitForPage", "Czekaj na koniec strony (FF)", &AppSettings::WaitForPage), 0,
        0);
    options->addLayout(maxWait, 0, 1);
    options->addLayout(mode, 1, 0);
    options->addLayout(waitBefore, 1, 1);
    options->addWidget(
        binder.Check("cbDeleteAfter", "Usuń po wydrukowaniu", &AppSettings::DeleteAfter), 2, 0,
        Qt::AlignTop);
    options->addLayout(keep, 2, 1);
    auto* cbPreview = binder.Check("cbPreviewBeforePrint", "Podgląd przed wydrukiem",
                                   &AppSettings::PreviewBeforePrint);
    cbPreview->setToolTip(
        Q("Gotowy wydruk otwiera się w oknie \"Ostatnie wydruki\" z przyciskami "
          "\"Drukuj\" i \"Odrzuć\", zamiast drukować się od razu."));
    options->addWidget(cbPreview, 3, 0);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(list, 1);
    layout->addLayout(options);
}

std::string TFilesTab::SelectedFolder() const {
    const QListWidgetItem* item = lbFiles_->currentItem();
    if (item == nullptr) return {};
    return std::filesystem::path(EntryPath(item->text().toStdString())).parent_path().string();
}

void TFilesTab::RefreshFiles() {
    const QStringList texts = ToQt(core_.Monitoring().List().Texts());
    if (Items(*lbFiles_) == texts) return;
    const QString selected = lbFiles_->currentItem() ? lbFiles_->currentItem()->text() : QString();
    lbFiles_->clear();
    lbFiles_->addItems(texts);
    // The selected entry stays selected, also when it got another printer.
    const std::string path = EntryPath(selected.toStdString());
    for (int row = 0; row < texts.size() && !selected.isEmpty(); ++row) {
        if (EntryPath(texts[row].toStdString()) == path) {
            lbFiles_->setCurrentRow(row);
            break;
        }
    }
}

}  // namespace quernel
