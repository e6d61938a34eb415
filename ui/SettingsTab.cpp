#include "ui/SettingsTab.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include "host/BW_log.h"
#include "host/KeyStore.h"
#include "monitor/QuernelCore.h"
#include "platform/IniKeyStore.h"
#include "ui/Controls.h"
#include "ui/SettingBinder.h"
#include "ui/WindowDialogs.h"

namespace quernel {

TSettingsTab::TSettingsTab(TSettingBinder& binder, std::function<IWindowDialogs&()> dialogs,
                           QWidget* parent)
    : QWidget(parent), binder_(binder), core_(binder.Core()), dialogs_(std::move(dialogs)) {
    setObjectName("tsUstawienia");
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(
        binder.Check("cbNTVDM_Slow", "DOS z mniejszym priorytetem", &AppSettings::NTVDM_Slow));
    auto* cbSettings4All =
        binder.Check("cbSettings4All", "Jednakowe ustawienia dla wszystkich użytkowników",
                     &AppSettings::Settings4All);
    cbSettings4All->setToolTip(QString::fromStdString(
        IniKeyStore::FromEnvironment().KeyFile(KeyRoot::kLocalMachine, kQuernelKey).string()));
    auto* shared = new QVBoxLayout;
    shared->setSpacing(0);
    shared->addWidget(cbSettings4All);
    shared->addWidget(
        Note("Wymaga przyznania wszystkim użytkownikom uprawnień do odczytu rejestru"));
    shared->addWidget(Note("dla klucza: HKEY_LOCAL_MACHINE\\Software\\Brackwood\\Quernel"));
    layout->addLayout(shared);

    auto* edPrintTitle = binder.Text("edPrintTitle", &AppSettings::PrintTitleName);
    auto* title = new QGridLayout;
    title->addWidget(binder.Check("cbPrintNameAsFile", "Tytuł wydruku taki jak nazwa pliku",
                                  &AppSettings::PrintTitleAsFile),
                     0, 0);
    title->addWidget(binder.Check("cbNumberPrints", "Numeruj wydruki (%nazwa%_%data%_%nr%)",
                                  &AppSettings::NumberPrints),
                     1, 0);
    title->addWidget(Label("Nazwa:", edPrintTitle), 1, 1);
    title->addWidget(edPrintTitle, 1, 2);
    title->setColumnStretch(2, 1);
    layout->addLayout(title);
    layout->addWidget(binder.Check(
        "cbDeleteOnStart",
        "Usuń monitorowane pliki podczas startu (Sprawdź co monitorujesz zanim zaznaczysz)",
        &AppSettings::DeleteFilesOnStart));

    auto* picture = new QGridLayout;
    picture->addWidget(
        binder.Check("cbPrintBackground", "Drukuj obraz w tle", &AppSettings::PrintBackground), 0,
        0);
    edBackgroundPicture_ = new QLineEdit;
    edBackgroundPicture_->setObjectName("edBackgroundPicture");
    edBackgroundPicture_->setReadOnly(true);
    binder.OnRefresh([this] {
        const QString path = QString::fromStdString(core_.Settings().BackgroundPicture);
        if (edBackgroundPicture_->text() != path) edBackgroundPicture_->setText(path);
        RefreshPictureStatus();
    });
    auto* btChooseFile = Button("btChooseFile", "Wybierz Obraz");
    connect(btChooseFile, &QPushButton::clicked, this, [this] { ChoosePicture(); });
    labPictureOk_ = new QLabel(Q("?"));
    labPictureOk_->setObjectName("labPictureOk");
    QFont bold = labPictureOk_->font();
    bold.setBold(true);
    labPictureOk_->setFont(bold);
    // Room for the longest status, so the row does not move when it changes.
    labPictureOk_->setMinimumWidth(QFontMetrics(bold).horizontalAdvance(Q("BŁĄD")) + 2);
    auto* file = new QHBoxLayout;
    file->addWidget(edBackgroundPicture_, 1);
    file->addWidget(btChooseFile);
    file->addWidget(labPictureOk_);
    picture->addLayout(file, 1, 0);

    struct SpinField {
        const char* name;
        const char* setting;
        int AppSettings::*field;
        const char* caption;
    };
    auto* position = new QGroupBox(Q("Położenie [mm]:"));
    auto* positionRow = new QHBoxLayout(position);
    const SpinField pictureFields[] = {
        {"edPicLeft", "PictureLeft", &AppSettings::PictureLeft, "od lewej"},
        {"edPicTop", "PictureTop", &AppSettings::PictureTop, "od góry"},
        {"edPicRight", "PictureRight", &AppSettings::PictureRight, "od prawej"},
        {"edPicBottom", "PictureBottom", &AppSettings::PictureBottom, "od dołu"}};
    for (const auto& f : pictureFields) {
        auto* spin = binder.Spin(f.name, f.setting, f.field);
        positionRow->addWidget(Label(f.caption, spin));
        positionRow->addWidget(spin);
        positionRow->addSpacing(fontMetrics().averageCharWidth());
    }
    positionRow->addStretch();
    picture->addWidget(position, 2, 0);
    layout->addLayout(picture);

    auto* edKeep = binder.Spin("edKeepPrintouts", "KeepPrintouts", &AppSettings::KeepPrintouts);
    auto* edKeepMB =
        binder.Spin("edKeepPrintoutsMB", "KeepPrintoutsMB", &AppSettings::KeepPrintoutsMB);
    auto* kept = new QHBoxLayout;
    kept->addWidget(Label("Ostatnie wydruki: przechowuj", edKeep));
    kept->addWidget(edKeep);
    kept->addWidget(Label("wydruków, najwyżej", edKeepMB));
    kept->addWidget(edKeepMB);
    kept->addWidget(Label("MB"));
    kept->addStretch();
    kept->addWidget(binder.Check("cbNotifyEachPrintout", "Powiadamiaj o każdym wydruku",
                                 &AppSettings::NotifyEachPrintout));
    layout->addLayout(kept);
    layout->addStretch();
}

void TSettingsTab::ChoosePicture() {
    const auto path = dialogs_().ChoosePicture();
    if (!path) return;
    binder_.Change([&](AppSettings& s) { s.BackgroundPicture = *path; });
    core_.Services().history.Add("Wybrany plik tla: " + *path);
}

void TSettingsTab::RefreshPictureStatus() {
    const std::string& path = core_.Settings().BackgroundPicture;
    if (pictureChecked_ && path == checkedPicture_) return;
    pictureChecked_ = true;
    checkedPicture_ = path;
    QPalette palette = labPictureOk_->palette();
    palette.setColor(QPalette::WindowText, this->palette().color(QPalette::WindowText));
    if (path.empty()) {
        labPictureOk_->setText(Q("?"));
    } else if (core_.PictureUsable(path)) {
        labPictureOk_->setText(Q("OK"));
        palette.setColor(QPalette::WindowText, QColor(0, 128, 0));
    } else {
        labPictureOk_->setText(Q("BŁĄD"));
        palette.setColor(QPalette::WindowText, QColor(255, 0, 0));
    }
    labPictureOk_->setPalette(palette);
}

}  // namespace quernel
