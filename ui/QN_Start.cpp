#include "ui/QN_Start.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QVBoxLayout>

#include "host/BW_log.h"
#include "host/KeyStore.h"
#include "monitor/Monitoring.h"
#include "monitor/QuernelCore.h"
#include "platform/IniKeyStore.h"
#include "platform/QtPrinterPlatform.h"
#include "ui/AppTitle.h"
#include "ui/CharMapTab.h"
#include "ui/Controls.h"
#include "ui/ErrorBox.h"
#include "ui/QN_About.h"
#include "ui/QtPrinterSetupDialog.h"
#include "ui/SequencesTab.h"
#include "ui/WindowDialogs.h"

namespace quernel {

namespace {

QStringList ToQt(const std::vector<std::string>& texts) {
    QStringList list;
    for (const auto& text : texts) list << QString::fromStdString(text);
    return list;
}

QStringList Items(const QComboBox& box) {
    QStringList list;
    for (int i = 0; i < box.count(); ++i) list << box.itemText(i);
    return list;
}

QStringList Items(const QListWidget& box) {
    QStringList list;
    for (int i = 0; i < box.count(); ++i) list << box.item(i)->text();
    return list;
}

QLabel* Label(const char* caption, QWidget* buddy = nullptr) {
    auto* label = new QLabel(Q(caption));
    if (buddy != nullptr) label->setBuddy(buddy);
    return label;
}

// A number field bound to a setting, with its object name and caption.
struct SpinField {
    const char* name;
    const char* setting;
    int AppSettings::*field;
    const char* caption;
};

// A line of text that explains the control above it, indented under its caption.
QLabel* Note(const char* text) {
    auto* label = new QLabel(Q(text));
    label->setContentsMargins(QCheckBox().sizeHint().height(), 0, 0, 0);
    return label;
}

}  // namespace

// The history box: every history line is appended and the newest one is scrolled into view.
class TqnMain::MemoHistory final : public IHistoryView {
  public:
    explicit MemoHistory(QPlainTextEdit& memo) : memo_(memo) {}
    void AppendLine(const std::string& line) override {
        memo_.appendPlainText(QString::fromStdString(line));
        memo_.verticalScrollBar()->setValue(memo_.verticalScrollBar()->maximum());
    }

  private:
    QPlainTextEdit& memo_;
};

TqnMain::TqnMain(TQuernelCore& core, TMainWindowHooks hooks, QWidget* parent)
    : QWidget(parent), core_(core), hooks_(std::move(hooks)) {
    setObjectName("qnMain");
    setWindowTitle(Q(kAppTitle));
    setWindowIcon(QuernelIcon());
    // One size, no maximising: the size follows from the controls (below).
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    if (hooks_.printerSetup == nullptr) {
        if (auto* qtPrinter = dynamic_cast<QtPrinterPlatform*>(&core_.Services().printer)) {
            ownSetup_ = std::make_unique<QtPrinterSetupDialog>(*qtPrinter, this);
            hooks_.printerSetup = ownSetup_.get();
        }
    }
    if (hooks_.errorBox != nullptr) hooks_.errorBox->SetParentWindow(this);
    if (hooks_.close == nullptr) {
        ownClose_ = std::make_unique<TCloseControl>(TCloseActions{
            .ask = [this] { return hooks_.askClose ? hooks_.askClose() : TCloseAnswer::kClose; },
            .hide = [this] { Minimise(); },
            .save = [this] { core_.SaveSettings(); },
            .quit =
                [this] {
                    if (hooks_.onClosed) {
                        hooks_.onClosed();
                    } else {
                        QMetaObject::invokeMethod(QCoreApplication::instance(),
                                                  &QCoreApplication::quit, Qt::QueuedConnection);
                    }
                },
        });
        hooks_.close = ownClose_.get();
    }

    PageControl_ = new QTabWidget(this);
    PageControl_->setObjectName("PageControl");
    PageControl_->addTab(BuildPrintTab(), Q("&Wydruk"));
    PageControl_->addTab(BuildFilesTab(), Q("&Pliki"));
    PageControl_->addTab(BuildPrinterTab(), Q("&Drukarka"));
    charMapTab_ = new TCharMapTab(core_);
    PageControl_->addTab(charMapTab_, Q("Z&naki"));
    sequencesTab_ =
        new TSequencesTab(core_, [this](const std::string& text) { Dialogs().ShowMessage(text); });
    PageControl_->addTab(sequencesTab_, Q("&Kody"));
    PageControl_->addTab(BuildSettingsTab(), Q("&Ustawienia"));
    PageControl_->addTab(BuildRawTab(), Q("&RAW"));
    connect(PageControl_, &QTabWidget::currentChanged, this, [this] { core_.SaveSettings(); });

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(PageControl_);
    // The window is exactly as large as its laid-out controls need with the desktop's font,
    // and cannot be resized.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    help_ = new TfrmHelp(hooks_.vendorSite, this);
    BuildTray();

    history_ = std::make_unique<MemoHistory>(*memLog_);
    core_.Services().history.Attach(history_.get());
    core_.Printers().onChanged = [this] { RefreshPrinters(); };
    // The settings load and the monitoring switch reach the controls also while the window
    // is hidden (a start with "/hide"), and the tray menu with them.
    core_.onStateChanged = [this](TQuernelCore::TChange change) {
        if (change == TQuernelCore::TChange::kSettingsLoaded) {
            Refresh();
        } else {
            ShowActive();
        }
    };
    Refresh();
}

TqnMain::~TqnMain() {
    core_.Services().history.Attach(nullptr);
    core_.Printers().onChanged = nullptr;
    core_.onStateChanged = nullptr;
    if (hooks_.errorBox != nullptr) hooks_.errorBox->SetParentWindow(nullptr);
}

// --- tabs ---

QWidget* TqnMain::BuildPrintTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsWydruk");
    auto* btPrintFile = Button("btPrintFile", "&Drukuj plik");
    connect(btPrintFile, &QPushButton::clicked, this, [this] { PrintFile(); });
    cbActive_ = new QCheckBox(Q("Aktywne monitorowanie"));
    cbActive_->setObjectName("cbActive");
    connect(cbActive_, &QCheckBox::toggled, this, [this](bool on) { SetMonitoring(on); });
    cbAutostart_ = new QCheckBox(Q("Autostart"));
    cbAutostart_->setObjectName("cbAutostart");
    connect(cbAutostart_, &QCheckBox::toggled, this, [this](bool on) {
        Change([on](AppSettings& s) { s.AutoRun = on; });
        if (core_.registerAutostart) core_.registerAutostart();
    });
    refreshers_.push_back([this] {
        const QSignalBlocker block(cbAutostart_);
        cbAutostart_->setChecked(core_.Settings().AutoRun);
    });
    auto* btHelp = Button("btHelp", "&Pomoc");
    connect(btHelp, &QPushButton::clicked, this, [this] { ShowHelp(); });

    memLog_ = new QPlainTextEdit;
    memLog_->setObjectName("memLog");
    memLog_->setReadOnly(true);
    memLog_->setLineWrapMode(QPlainTextEdit::NoWrap);
    memLog_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memLog_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // A history of months of printing stays within bounds: the oldest lines go first.
    memLog_->setMaximumBlockCount(50000);
    // Room for about 90 characters by 14 lines of the history, whatever the font.
    const QFontMetrics metrics(memLog_->font());
    memLog_->setMinimumSize(metrics.averageCharWidth() * 90, metrics.lineSpacing() * 14);

    auto* top = new QHBoxLayout;
    top->addWidget(btPrintFile);
    top->addSpacing(metrics.averageCharWidth() * 2);
    top->addWidget(cbActive_);
    top->addWidget(cbAutostart_);
    top->addStretch();
    top->addWidget(btHelp);
    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(top);
    layout->addWidget(Label("&Historia:", memLog_));
    layout->addWidget(memLog_, 1);
    return tab;
}

QWidget* TqnMain::BuildFilesTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsFiles");
    lbFiles_ = new QListWidget;
    lbFiles_->setObjectName("lbFiles");
    auto* btAddFile = Button("btAddFile", "&Dodaj");
    auto* btDeleteFile = Button("btDeleteFile", "&Usuń");
    auto* btAddFolder = Button("btAddFolder", "Dodaj &Folder");
    auto* btChoosePrinter = Button("btChoosePrinter", "&Wybierz Drukarkę");
    connect(btAddFile, &QPushButton::clicked, this, [this] {
        core_.Monitoring().AddFile(Dialogs());
        RefreshFiles();
    });
    connect(btAddFolder, &QPushButton::clicked, this, [this] {
        core_.Monitoring().AddFolder(Dialogs());
        RefreshFiles();
    });
    connect(btDeleteFile, &QPushButton::clicked, this, [this] {
        core_.Monitoring().RemoveEntry(lbFiles_->currentRow());
        RefreshFiles();
    });
    connect(btChoosePrinter, &QPushButton::clicked, this, [this] {
        core_.Monitoring().ChooseEntryPrinter(lbFiles_->currentRow(), Dialogs());
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

    auto* edMaxWait = Spin("edMaxWait", "WaitForPageMax", &AppSettings::WaitForPageMax);
    auto* edWaitBeforePrint =
        Spin("edWaitBeforePrint", "WaitBeforePrint", &AppSettings::WaitBeforePrint);
    auto* cbTrybPliku =
        Choice("cbTrybPliku", {Q("Dopisywanie"), Q("Nadpisywanie")}, &AppSettings::FileSaveMode);

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
    keep->addWidget(Check("cbKeepState", "Zachowaj parametry", &AppSettings::KeepState));
    keep->addWidget(Note("między wydrukami"));

    auto* options = new QGridLayout;
    options->addWidget(
        Check("cbWaitForPage", "Czekaj na koniec strony (FF)", &AppSettings::WaitForPage), 0, 0);
    options->addLayout(maxWait, 0, 1);
    options->addLayout(mode, 1, 0);
    options->addLayout(waitBefore, 1, 1);
    options->addWidget(Check("cbDeleteAfter", "Usuń po wydrukowaiu", &AppSettings::DeleteAfter), 2,
                       0, Qt::AlignTop);
    options->addLayout(keep, 2, 1);

    auto* layout = new QVBoxLayout(tab);
    layout->addLayout(list, 1);
    layout->addLayout(options);
    return tab;
}

QWidget* TqnMain::BuildPrinterTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsDrukarka");
    cbPrinter_ = new QComboBox;
    cbPrinter_->setObjectName("cbPrinter");
    cbPrinter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbPrinter_->setMinimumContentsLength(20);
    connect(cbPrinter_, &QComboBox::activated, this,
            [this](int index) { core_.Printers().SelectPrinter(index); });
    auto* btPrinter = Button("btPrinter", "&Ustawienia");
    btPrinter->setEnabled(hooks_.printerSetup != nullptr);
    connect(btPrinter, &QPushButton::clicked, this, [this] {
        if (hooks_.printerSetup != nullptr) core_.Printers().PrinterSetup(*hooks_.printerSetup);
    });
    auto* cbAlwaysDefault =
        Check("cbAlwaysDefault", "Zawsze domyślna", &AppSettings::AlwaysDefault);

    lbFont_ = new QListWidget;
    lbFont_->setObjectName("lbFont");
    connect(lbFont_, &QListWidget::currentRowChanged, this,
            [this](int row) { core_.Printers().SelectFont(row); });
    edSample_ = new QLineEdit(Q("aAąĄbBcCćĆ"));
    edSample_->setObjectName("edSample");
    edSample_->setReadOnly(true);

    auto* left = new QGridLayout;
    left->addWidget(Label("D&rukarka:", cbPrinter_), 0, 0);
    left->addWidget(cbPrinter_, 0, 1);
    left->addWidget(btPrinter, 0, 2);
    left->addWidget(cbAlwaysDefault, 1, 1, 1, 2);
    left->addWidget(Label("&Czcionka:", lbFont_), 2, 0, Qt::AlignTop);
    left->addWidget(lbFont_, 2, 1, 1, 2);
    left->addWidget(Label("Przykład:", edSample_), 3, 0);
    left->addWidget(edSample_, 3, 1, 1, 2);
    left->setRowStretch(2, 1);
    left->setColumnStretch(1, 1);

    auto* margins = new QGroupBox(Q("Marginesy [mm]:"));
    auto* marginGrid = new QGridLayout(margins);
    const SpinField marginFields[] = {{"edMgLeft", "MgLeft", &AppSettings::MgLeft, "Lewy:"},
                                      {"edMgTop", "MgTop", &AppSettings::MgTop, "Górny:"},
                                      {"edMgRight", "MgRight", &AppSettings::MgRight, "Prawy:"},
                                      {"edMgBottom", "MgBottom", &AppSettings::MgBottom, "Dolny:"}};
    for (int i = 0; i < 4; ++i) {
        const auto& f = marginFields[i];
        auto* spin = Spin(f.name, f.setting, f.field);
        marginGrid->addWidget(Label(f.caption, spin), i / 2, (i % 2) * 2);
        marginGrid->addWidget(spin, i / 2, (i % 2) * 2 + 1);
    }

    auto* cbOrientacja = Choice("cbOrientacja", {Q("ust.Windows"), Q("Poziomo"), Q("Pionowo")},
                                &AppSettings::PageOrientation);
    connect(cbOrientacja, &QComboBox::activated, this, [this] { core_.Printers().ApplyPrinter(); });
    auto* edCopies = Spin("edCopies", "Copies", &AppSettings::Copies);
    auto* page = new QGridLayout;
    page->addWidget(Label("Orientacja:", cbOrientacja), 0, 0);
    page->addWidget(cbOrientacja, 0, 1);
    page->addWidget(Label("Liczba kopii", edCopies), 1, 0);
    page->addWidget(edCopies, 1, 1, Qt::AlignLeft);

    const auto grid = [this](const char* title, const char* charsName, const char* charsSetting,
                             int AppSettings::*chars, const char* linesName,
                             const char* linesSetting, int AppSettings::*lines) {
        auto* box = new QGroupBox(Q(title));
        auto* boxGrid = new QGridLayout(box);
        auto* charsSpin = Spin(charsName, charsSetting, chars);
        auto* linesSpin = Spin(linesName, linesSetting, lines);
        boxGrid->addWidget(Label("Znaków w linii:", charsSpin), 0, 0);
        boxGrid->addWidget(charsSpin, 0, 1);
        boxGrid->addWidget(Label("Linii na stronę:", linesSpin), 1, 0);
        boxGrid->addWidget(linesSpin, 1, 1);
        return box;
    };

    auto* right = new QVBoxLayout;
    right->addWidget(margins);
    right->addLayout(page);
    right->addWidget(grid("Rozmiar w Pionie", "edCharsPerLine", "CharsPerLine",
                          &AppSettings::CharsPerLine, "edLinesPerPage", "LinesPerPage",
                          &AppSettings::LinesPerPage));
    right->addWidget(grid("Rozmiar w Poziomie", "edCharsPerLineHor", "CharsPerLineHor",
                          &AppSettings::CharsPerLineHor, "edLinesPerPageHor", "LinesPerPageHor",
                          &AppSettings::LinesPerPageHor));
    right->addStretch();

    auto* layout = new QHBoxLayout(tab);
    layout->addLayout(left, 1);
    layout->addLayout(right);
    return tab;
}

QWidget* TqnMain::BuildSettingsTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsUstawienia");
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(
        Check("cbNTVDM_Slow", "DOS z mniejszym priorytetem", &AppSettings::NTVDM_Slow));
    auto* cbSettings4All =
        Check("cbSettings4All", "Jednakowe ustawienia dla wszystkich użytkowników",
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

    auto* edPrintTitle = Text("edPrintTitle", &AppSettings::PrintTitleName);
    auto* title = new QGridLayout;
    title->addWidget(Check("cbPrintNameAsFile", "Tytuł wydruku taki jak nazwa pliku",
                           &AppSettings::PrintTitleAsFile),
                     0, 0);
    title->addWidget(Check("cbNumberPrints", "Numeruj wydruki (%nazwa%_%data%_%nr%)",
                           &AppSettings::NumberPrints),
                     1, 0);
    title->addWidget(Label("Nazwa:", edPrintTitle), 1, 1);
    title->addWidget(edPrintTitle, 1, 2);
    title->setColumnStretch(2, 1);
    layout->addLayout(title);
    layout->addWidget(
        Check("cbDeleteOnStart",
              "Usuń monitorowane pliki podczas startu (Sprawdź co monitorujesz zanim zaznaczysz)",
              &AppSettings::DeleteFilesOnStart));

    auto* picture = new QGridLayout;
    picture->addWidget(
        Check("cbPrintBackground", "Drukuj obraz w tle", &AppSettings::PrintBackground), 0, 0);
    edBackgroundPicture_ = new QLineEdit;
    edBackgroundPicture_->setObjectName("edBackgroundPicture");
    edBackgroundPicture_->setReadOnly(true);
    refreshers_.push_back([this] {
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

    auto* position = new QGroupBox(Q("Położenie [mm]:"));
    auto* positionRow = new QHBoxLayout(position);
    const SpinField pictureFields[] = {
        {"edPicLeft", "PictureLeft", &AppSettings::PictureLeft, "od lewej"},
        {"edPicTop", "PictureTop", &AppSettings::PictureTop, "od góry"},
        {"edPicRight", "PictureRight", &AppSettings::PictureRight, "od prawej"},
        {"edPicBottom", "PictureBottom", &AppSettings::PictureBottom, "od dołu"}};
    for (const auto& f : pictureFields) {
        auto* spin = Spin(f.name, f.setting, f.field);
        positionRow->addWidget(Label(f.caption, spin));
        positionRow->addWidget(spin);
        positionRow->addSpacing(fontMetrics().averageCharWidth());
    }
    positionRow->addStretch();
    picture->addWidget(position, 2, 0);
    layout->addLayout(picture);
    layout->addStretch();
    return tab;
}

QWidget* TqnMain::BuildRawTab() {
    auto* tab = new QWidget;
    tab->setObjectName("tsRAW");
    auto* layout = new QVBoxLayout(tab);
    layout->addWidget(Check(
        "cbRAWEnable", "Włącz tryb bezpośredni (RAW) - UWAGA: działa tylko z niektórymi drukarkami",
        &AppSettings::RAWEnable));
    auto* edRAWInit = Text("edRAWInit", &AppSettings::RAWInit);
    auto* init = new QGridLayout;
    init->addWidget(Label("Kod inicjujący", edRAWInit), 0, 0);
    init->addWidget(edRAWInit, 0, 1);
    init->addWidget(Label("Dla drukarek HP (PCL) wpisz: #27 E"), 0, 2);
    init->addWidget(Label("Dla drukarek EPSON wpisz: #27 @"), 1, 2);
    init->setColumnStretch(1, 1);
    layout->addLayout(init);
    layout->addWidget(
        Check("cbRAWFixCRLF", "popraw znaki końca linii (zawsze CR+LF)", &AppSettings::RAWFixCRLF));
    layout->addWidget(Check("cbRAWEndWithFF", "Zawsze zakończ przez wysunięcie strony (FF)",
                            &AppSettings::RAWEndWithFF));
    auto* note = new QVBoxLayout;
    note->setSpacing(0);
    note->addWidget(Label(
        "Po włączeniu trybu bezpośredniego ustawienia na zakładce Kody nie mają żadnego wpływu"));
    note->addWidget(
        Label("na postać wydruku. Kody Sterujące z programu DOS muszą by zgodne z drukarką."));
    layout->addLayout(note);
    layout->addWidget(Check("cbRAWcharMap", "Włącz przekodowanie znaków (zakładka Znaki)",
                            &AppSettings::RAWcharMap));
    layout->addStretch();
    return tab;
}

// --- bound controls ---

void TqnMain::Change(const std::function<void(AppSettings&)>& edit) {
    core_.UpdateSettings(edit);
    // Coupled settings (the two title options) and the picture status follow.
    RefreshSettings();
}

QCheckBox* TqnMain::Check(const char* name, const char* caption, bool AppSettings::*field) {
    auto* box = new QCheckBox(Q(caption));
    box->setObjectName(name);
    connect(box, &QCheckBox::toggled, this,
            [this, field](bool on) { Change([=](AppSettings& s) { s.*field = on; }); });
    refreshers_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setChecked(core_.Settings().*field);
    });
    return box;
}

QSpinBox* TqnMain::Spin(const char* name, const char* setting, int AppSettings::*field) {
    auto* spin = new QSpinBox;
    spin->setObjectName(name);
    const SettingInfo* info = FindSetting(setting);
    spin->setRange(info->low, info->high);
    connect(spin, &QSpinBox::valueChanged, this,
            [this, field](int value) { Change([=](AppSettings& s) { s.*field = value; }); });
    refreshers_.push_back([this, spin, field] {
        const QSignalBlocker block(spin);
        spin->setValue(core_.Settings().*field);
    });
    return spin;
}

QComboBox* TqnMain::Choice(const char* name, const QStringList& items, int AppSettings::*field) {
    auto* box = new QComboBox;
    box->setObjectName(name);
    box->addItems(items);
    connect(box, &QComboBox::currentIndexChanged, this,
            [this, field](int index) { Change([=](AppSettings& s) { s.*field = index; }); });
    refreshers_.push_back([this, box, field] {
        const QSignalBlocker block(box);
        box->setCurrentIndex(core_.Settings().*field);
    });
    return box;
}

QLineEdit* TqnMain::Text(const char* name, std::string AppSettings::*field) {
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    connect(edit, &QLineEdit::textChanged, this, [this, field](const QString& text) {
        Change([value = text.toStdString(), field](AppSettings& s) { s.*field = value; });
    });
    refreshers_.push_back([this, edit, field] {
        const QString value = QString::fromStdString(core_.Settings().*field);
        if (edit->text() == value) return;
        const QSignalBlocker block(edit);
        edit->setText(value);
    });
    return edit;
}

// --- showing the core ---

void TqnMain::Refresh() {
    RefreshSettings();
    RefreshFiles();
    RefreshPrinters();
    charMapTab_->Refresh();
    sequencesTab_->Refresh();
    ShowActive();
}

void TqnMain::ShowActive() {
    const bool active = core_.Monitoring().Active();
    {
        const QSignalBlocker block(cbActive_);
        cbActive_->setChecked(active);
    }
    miActive_->setChecked(active);
}

void TqnMain::RefreshSettings() {
    for (const auto& refresh : refreshers_) refresh();
}

void TqnMain::RefreshFiles() {
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

void TqnMain::RefreshPrinters() {
    TPrinterSelection& printers = core_.Printers();
    {
        const QSignalBlocker block(cbPrinter_);
        const QStringList names = ToQt(printers.PrinterNames());
        if (Items(*cbPrinter_) != names) {
            cbPrinter_->clear();
            cbPrinter_->addItems(names);
        }
        cbPrinter_->setCurrentIndex(printers.SelectedPrinter());
        cbPrinter_->setEnabled(printers.PrinterListEnabled());
    }
    {
        const QSignalBlocker block(lbFont_);
        const QStringList fonts = ToQt(printers.FontNames());
        if (Items(*lbFont_) != fonts) {
            lbFont_->clear();
            lbFont_->addItems(fonts);
        }
        lbFont_->setCurrentRow(printers.SelectedFont());
        if (printers.SelectedFont() >= 0) {
            lbFont_->scrollToItem(lbFont_->currentItem());
        } else {
            lbFont_->clearSelection();
        }
    }
    QFont sample(QString::fromStdString(printers.SampleFont()));
    sample.setFixedPitch(true);
    sample.setPointSizeF(font().pointSizeF());
    edSample_->setFont(sample);
}

void TqnMain::RefreshPictureStatus() {
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

// --- commands ---

IWindowDialogs& TqnMain::Dialogs() {
    if (hooks_.dialogs != nullptr) return *hooks_.dialogs;
    if (!ownDialogs_) ownDialogs_ = std::make_unique<TQtWindowDialogs>(this);
    return *ownDialogs_;
}

void TqnMain::PrintFile() {
    core_.Monitoring().PrintFile(Dialogs());
}

void TqnMain::ShowHelp() {
    help_->ShowHelp();
}

void TqnMain::ChoosePicture() {
    const auto path = Dialogs().ChoosePicture();
    if (!path) return;
    Change([&](AppSettings& s) { s.BackgroundPicture = *path; });
    core_.Services().history.Add("Wybrany plik tla: " + *path);
}

void TqnMain::SetMonitoring(bool on) {
    core_.Monitoring().SetActive(on);
    // The check box and the tray item show what the core made of it.
    ShowActive();
}

// --- tray and window ---

void TqnMain::BuildTray() {
    pmTray_ = new QMenu(this);
    pmTray_->setObjectName("pmTray");
    const auto item = [this](const char* name, const char* caption) {
        QAction* action = pmTray_->addAction(Q(caption));
        action->setObjectName(name);
        return action;
    };
    connect(item("miOpen", "Otwórz"), &QAction::triggered, this, [this] { Restore(); });
    miActive_ = item("miActive", "Aktywny");
    miActive_->setCheckable(true);
    connect(miActive_, &QAction::triggered, this, [this](bool on) { SetMonitoring(on); });
    connect(item("miPrintFile", "&Drukuj plik"), &QAction::triggered, this,
            [this] { PrintFile(); });
    connect(item("Pomoc1", "&Pomoc"), &QAction::triggered, this, [this] { ShowHelp(); });
    pmTray_->addSeparator()->setObjectName("N1");
    connect(item("miClose", "&Zamknij"), &QAction::triggered, this, [this] { close(); });

    tray_ = new QSystemTrayIcon(QuernelIcon(), this);
    tray_->setObjectName("TrayIcon");
    tray_->setToolTip(Q(kAppTitle));
    tray_->setContextMenu(pmTray_);
    // A double click restores, as does the single activation of desktops that send no
    // double click.
    connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason r) {
        if (r == QSystemTrayIcon::DoubleClick || r == QSystemTrayIcon::Trigger) Restore();
    });
    // A tray that appears later (the panel restarted, or started after the program) gets the
    // icon; a tray that goes away gives the window back to the taskbar.
    trayTimer_ = new QTimer(this);
    trayTimer_->setInterval(2000);
    connect(trayTimer_, &QTimer::timeout, this, [this] { UpdateTray(); });
    trayTimer_->start();
    UpdateTray();
}

bool TqnMain::TrayAvailable() const {
    return hooks_.trayAvailable ? hooks_.trayAvailable() : QSystemTrayIcon::isSystemTrayAvailable();
}

void TqnMain::UpdateTray() {
    const bool available = TrayAvailable();
    if (available && !trayWasAvailable_) {
        tray_->hide();
        tray_->show();
    }
    if (!available && trayWasAvailable_) {
        tray_->hide();
        if (inTray_) {
            inTray_ = false;
            showMinimized();
        }
    }
    trayWasAvailable_ = available;
}

void TqnMain::ShowAtStart() {
    Refresh();
    PageControl_->setCurrentIndex(0);
    if (!hooks_.startHidden) show();
}

void TqnMain::Restore() {
    Refresh();
    inTray_ = false;
    setWindowState((windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    show();
    raise();
    activateWindow();
}

void TqnMain::Minimise() {
    if (TrayAvailable()) {
        inTray_ = true;
        hide();
    } else {
        inTray_ = false;
        showMinimized();
    }
}

void TqnMain::SetEnding() {
    // A close control given by start-up is told by start-up itself.
    if (ownClose_) ownClose_->SessionEnding();
}

IHistoryView& TqnMain::HistoryView() const {
    return *history_;
}

void TqnMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Minimising leaves only the tray icon, when there is a tray.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && TrayAvailable()) {
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) Minimise();
        });
    }
}

void TqnMain::closeEvent(QCloseEvent* event) {
    // The close control asks the question, hides, or saves and ends the program.
    if (!hooks_.close->CloseRequested()) {
        event->ignore();
        return;
    }
    tray_->hide();
    trayTimer_->stop();
    help_->close();
    event->accept();
}

}  // namespace quernel
