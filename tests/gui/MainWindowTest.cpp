#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSpinBox>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QtTest>
#include <algorithm>

#include "gui/GuiSupport.h"

using namespace quernel;
using namespace quernel::test;

// The main window over the application core with fakes, driven by object name.
class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CoreParts> parts_;
    std::unique_ptr<ScriptedWindowDialogs> dialogs_;
    std::unique_ptr<TqnMain> window_;
    bool tray_ = false;
    TCloseAnswer answer_ = TCloseAnswer::kClose;
    int closed_ = 0;
    int autostarts_ = 0;

    TQuernelCore& Core() { return *parts_->core; }
    template <typename T>
    T* W(const char* name) {
        return Find<T>(*window_, name);
    }
    // The history as the window shows it, without the time stamps.
    std::vector<std::string> Messages() {
        std::vector<std::string> out;
        for (const QString& line : W<QPlainTextEdit>("memLog")->toPlainText().split('\n')) {
            const auto at = line.indexOf(" : ");
            out.push_back((at < 0 ? line : line.mid(at + 3)).toStdString());
        }
        return out;
    }
    int Count(const std::string& message) {
        const auto m = Messages();
        return static_cast<int>(std::count(m.begin(), m.end(), message));
    }
    // A number in the per-user settings key; nothing when it is not stored.
    std::optional<int> Stored(const char* name) {
        auto& values = parts_->keys.Key(KeyRoot::kCurrentUser);
        const auto it = values.find(name);
        if (it == values.end() || !std::holds_alternative<std::int32_t>(it->second)) return {};
        return std::get<std::int32_t>(it->second);
    }
    void ShowTab(const char* name) {
        auto* tabs = W<QTabWidget>("PageControl");
        tabs->setCurrentWidget(W<QWidget>(name));
    }

  private slots:
    void init() {
        parts_ = std::make_unique<CoreParts>();
        dialogs_ = std::make_unique<ScriptedWindowDialogs>(parts_->dialogs);
        tray_ = false;
        answer_ = TCloseAnswer::kClose;
        closed_ = 0;
        autostarts_ = 0;
        Core().registerAutostart = [this] { ++autostarts_; };
        TMainWindowHooks hooks;
        hooks.dialogs = dialogs_.get();
        hooks.askClose = [this] { return answer_; };
        hooks.onClosed = [this] { ++closed_; };
        hooks.trayAvailable = [this] { return tray_; };
        window_ = std::make_unique<TqnMain>(Core(), hooks);
        StartWindow(Core(), parts_->history, *window_);
    }
    void cleanup() {
        window_.reset();
        dialogs_.reset();
        parts_.reset();
    }

    void startsOnTheFirstTabWithTheHistory() {
        QVERIFY(window_->isVisible());
        QCOMPARE(window_->windowTitle(), QString("Brackwood Quernel"));
        auto* tabs = W<QTabWidget>("PageControl");
        const QStringList captions = {"&Wydruk", "&Pliki",      "&Drukarka", "Z&naki",
                                      "&Kody",   "&Ustawienia", "&RAW"};
        const QStringList pages = {"tsWydruk",    "tsFiles",      "tsDrukarka", "tsCharMap",
                                   "tsSequences", "tsUstawienia", "tsRAW"};
        QCOMPARE(tabs->count(), 7);
        for (int i = 0; i < 7; ++i) {
            QCOMPARE(tabs->tabText(i), captions[i]);
            QCOMPARE(tabs->widget(i)->objectName(), pages[i]);
        }
        QCOMPARE(tabs->currentIndex(), 0);
        const QString log = W<QPlainTextEdit>("memLog")->toPlainText();
        QVERIFY(log.contains(" : Ustawienia domyślne"));
        QVERIFY(log.contains(" : Odczyt ustawień"));
        QVERIFY(log.contains(" : Monitorowanie włączone"));
        QVERIFY(W<QCheckBox>("cbActive")->isChecked());
        QVERIFY(W<QAction>("miActive")->isChecked());
    }

    void everyControlHasItsCaption() {
        const std::vector<std::pair<const char*, const char*>> captions = {
            {"btPrintFile", "&Drukuj plik"},
            {"cbActive", "Aktywne monitorowanie"},
            {"cbAutostart", "Autostart"},
            {"btHelp", "&Pomoc"},
            {"btAddFile", "&Dodaj"},
            {"btDeleteFile", "&Usuń"},
            {"btAddFolder", "Dodaj &Folder"},
            {"btChoosePrinter", "&Wybierz Drukarkę"},
            {"cbWaitForPage", "Czekaj na koniec strony (FF)"},
            {"cbDeleteAfter", "Usuń po wydrukowaniu"},
            {"cbPreviewBeforePrint", "Podgląd przed wydrukiem"},
            {"btRecentPrintouts", "&Ostatnie wydruki"},
            {"cbNotifyEachPrintout", "Powiadamiaj o każdym wydruku"},
            {"btChoosePdfFolder", "Z&mień folder..."},
            {"btOpenPdfFolder", "&Otwórz folder"},
            {"cbKeepState", "Zachowaj parametry"},
            {"btPrinter", "&Ustawienia"},
            {"cbAlwaysDefault", "Zawsze domyślna"},
            {"cbIgnorePCL", "Ignoruj komendy HP-PCL"},
            {"btSaveCharMap", "&Zapisz"},
            {"btSaveSQ", "&Zapisz"},
            {"cbTrybEdycji", "Tryb edycji"},
            {"cbTrybEdycjiSQ", "Tryb edycji"},
            {"btDelSequence", "&Usuń"},
            {"btAddSequence", "&Dodaj"},
            {"cbNTVDM_Slow", "DOS z mniejszym priorytetem"},
            {"cbSettings4All", "Jednakowe ustawienia dla wszystkich użytkowników"},
            {"cbPrintNameAsFile", "Tytuł wydruku taki jak nazwa pliku"},
            {"cbNumberPrints", "Numeruj wydruki (%nazwa%_%data%_%nr%)"},
            {"cbDeleteOnStart",
             "Usuń monitorowane pliki podczas startu (Sprawdź co monitorujesz zanim zaznaczysz)"},
            {"cbPrintBackground", "Drukuj obraz w tle"},
            {"btChooseFile", "Wybierz Obraz"},
            {"cbRAWEnable",
             "Włącz tryb bezpośredni (RAW) - UWAGA: działa tylko z niektórymi drukarkami"},
            {"cbRAWFixCRLF", "popraw znaki końca linii (zawsze CR+LF)"},
            {"cbRAWEndWithFF", "Zawsze zakończ przez wysunięcie strony (FF)"},
            {"cbRAWcharMap", "Włącz przekodowanie znaków (zakładka Znaki)"},
        };
        for (const auto& [name, caption] : captions) {
            QCOMPARE(W<QAbstractButton>(name)->text(), QString::fromUtf8(caption));
        }
        // Labels and fixed lines, wherever they stand.
        QStringList texts;
        for (const auto* label : window_->findChildren<QLabel*>()) texts << label->text();
        for (const auto* box : window_->findChildren<QGroupBox*>()) texts << box->title();
        for (const char* text :
             {"&Historia:",
              "&Monitorowane pliki:",
              "Max",
              "sek.",
              "Tryb zapisu pliku:",
              "Drukuj po",
              "sekund.",
              "między wydrukami",
              "D&rukarka:",
              "&Czcionka:",
              "Przykład:",
              "Marginesy [mm]:",
              "Lewy:",
              "Górny:",
              "Prawy:",
              "Dolny:",
              "Orientacja:",
              "Liczba kopii",
              "Rozmiar w Pionie",
              "Rozmiar w Poziomie",
              "Znaków w linii:",
              "Linii na stronę:",
              "Nazwa przemapowania:",
              "Zestaw znaków:",
              "Znak:",
              "Mapowanie:",
              "Kody sterujące:",
              "Dodaj sekwencje",
              "Sekwencja sterująca",
              "Znaczenie",
              "Wymaga przyznania wszystkim użytkownikom uprawnień do odczytu rejestru",
              "dla klucza: HKEY_LOCAL_MACHINE\\Software\\Brackwood\\Quernel",
              "Nazwa:",
              "Położenie [mm]:",
              "od lewej",
              "od góry",
              "od prawej",
              "od dołu",
              "Kod inicjujący",
              "Dla drukarek HP (PCL) wpisz: #27 E",
              "Dla drukarek EPSON wpisz: #27 @",
              "Po włączeniu trybu bezpośredniego ustawienia na zakładce Kody nie mają żadnego "
              "wpływu",
              "na postać wydruku. Kody Sterujące z programu DOS muszą być zgodne z drukarką."}) {
            QVERIFY2(texts.contains(QString::fromUtf8(text)), text);
        }
        auto* trybPliku = W<QComboBox>("cbTrybPliku");
        QCOMPARE(trybPliku->itemText(0), QString("Dopisywanie"));
        QCOMPARE(trybPliku->itemText(1), QString("Nadpisywanie"));
        auto* orientacja = W<QComboBox>("cbOrientacja");
        QCOMPARE(orientacja->count(), 3);
        QCOMPARE(orientacja->itemText(0), QString("ust.Windows"));
        QCOMPARE(orientacja->itemText(1), QString("Poziomo"));
        QCOMPARE(orientacja->itemText(2), QString("Pionowo"));
        QCOMPARE(W<QLineEdit>("edSample")->text(), QString::fromUtf8("aAąĄbBcCćĆ"));
        QVERIFY(W<QLineEdit>("edSample")->isReadOnly());
        QVERIFY(W<QLineEdit>("edBackgroundPicture")->isReadOnly());
        QVERIFY(W<QPlainTextEdit>("memLog")->isReadOnly());
        for (const char* name : {"cbPrinter", "lbFont", "lbFiles", "edPrintTitle", "edRAWInit",
                                 "cbPrzemapowanie", "cbSequences"}) {
            QVERIFY2(window_->findChild<QWidget*>(name) != nullptr, name);
        }
    }

    void trayMenuHasItsItems() {
        auto* menu = W<QMenu>("pmTray");
        QCOMPARE(&*window_->TrayIcon().contextMenu(), menu);
        QCOMPARE(window_->TrayIcon().toolTip(), QString("Brackwood Quernel"));
        const auto actions = menu->actions();
        const QStringList names = {"miOpen", "miActive", "miPrintFile", "miRecentPrintouts",
                                   "Pomoc1", "N1",       "miClose"};
        const QStringList captions = {"Otwórz", "Aktywny", "&Drukuj plik", "&Ostatnie wydruki",
                                      "&Pomoc", "",        "&Zamknij"};
        QCOMPARE(actions.size(), names.size());
        for (int i = 0; i < names.size(); ++i) {
            QCOMPARE(actions[i]->objectName(), names[i]);
            QCOMPARE(actions[i]->text(), captions[i]);
        }
        QVERIFY(actions[5]->isSeparator());
        QVERIFY(actions[1]->isCheckable());
    }

    void spinBoxesTakeTheirRangesFromTheSettings() {
        int checked = 0;
        for (const SettingInfo& info : SettingsTable()) {
            if (info.kind != SettingKind::kInt || !info.control.starts_with("ud")) continue;
            const std::string name = "ed" + std::string(info.control.substr(2));
            auto* spin = W<QSpinBox>(name.c_str());
            QCOMPARE(spin->minimum(), info.low);
            QCOMPARE(spin->maximum(), info.high);
            ++checked;
        }
        QCOMPARE(checked, 17);
        // The arrows stop at the limits.
        auto* copies = W<QSpinBox>("edCopies");
        copies->setValue(100);
        copies->stepUp();
        QCOMPARE(copies->value(), 100);
        copies->setValue(1);
        copies->stepDown();
        QCOMPARE(copies->value(), 1);
        QCOMPARE(Core().Settings().Copies, 1);
        auto* margin = W<QSpinBox>("edMgLeft");
        margin->setValue(-10);
        margin->stepDown();
        QCOMPARE(Core().Settings().MgLeft, -10);
        margin->setValue(500);
        margin->stepUp();
        QCOMPARE(Core().Settings().MgLeft, 500);
    }

    void monitoringSwitchAndTrayItemStayInStep() {
        auto* box = W<QCheckBox>("cbActive");
        auto* item = W<QAction>("miActive");
        const int on = Count("Monitorowanie włączone");
        box->click();
        QVERIFY(!Core().Monitoring().Active());
        QVERIFY(!item->isChecked());
        QCOMPARE(Count("Monitorowanie wyłączone"), 1);
        item->trigger();
        QVERIFY(Core().Monitoring().Active());
        QVERIFY(box->isChecked());
        QVERIFY(item->isChecked());
        QCOMPARE(Count("Monitorowanie włączone"), on + 1);
        item->trigger();
        QVERIFY(!box->isChecked());
        QCOMPARE(Count("Monitorowanie wyłączone"), 2);
        box->click();
        QVERIFY(item->isChecked());
        QCOMPARE(Count("Monitorowanie włączone"), on + 2);
    }

    void everyTabChangeAndTheCloseSave() {
        auto* tabs = W<QTabWidget>("PageControl");
        W<QSpinBox>("edCopies")->setValue(7);
        // Nothing is stored before the tab changes.
        QVERIFY(Stored("Copies") != 7);
        const int saves = Count("Zapis ustawień");
        for (int i = 1; i < tabs->count(); ++i) tabs->setCurrentIndex(i);
        tabs->setCurrentIndex(0);
        QCOMPARE(Count("Zapis ustawień"), saves + 7);
        QCOMPARE(Stored("Copies"), std::optional<int>(7));
        W<QSpinBox>("edMgTop")->setValue(12);
        QVERIFY(window_->close());
        QCOMPARE(Count("Zapis ustawień"), saves + 8);
        QCOMPARE(Stored("MgTop"), std::optional<int>(12));
        QCOMPARE(closed_, 1);
    }

    void closeQuestionHidesCancelsOrCloses() {
        answer_ = TCloseAnswer::kCancel;
        QVERIFY(!window_->close());
        QVERIFY(window_->isVisible());
        answer_ = TCloseAnswer::kHide;
        QVERIFY(!window_->close());
        // No tray: the window goes to the taskbar instead, so it can always be reached.
        QVERIFY(window_->isMinimized());
        QVERIFY(window_->isVisible());
        QCOMPARE(closed_, 0);
        // While the session ends the question is not asked.
        window_->SetEnding();
        QVERIFY(window_->close());
        QCOMPARE(closed_, 1);
    }

    void minimisingGoesToTheTrayAndBackToTheSameTab() {
        tray_ = true;
        ShowTab("tsRAW");
        window_->Minimise();
        QVERIFY(!window_->isVisible());
        QVERIFY(window_->InTray());
        // The tray's "Otwórz" brings the window back on the tab it showed.
        W<QAction>("miOpen")->trigger();
        QVERIFY(window_->isVisible());
        QVERIFY(!window_->isMinimized());
        QCOMPARE(W<QTabWidget>("PageControl")->currentWidget()->objectName(), QString("tsRAW"));
        // A double click on the icon does the same.
        window_->Minimise();
        emit window_->TrayIcon().activated(QSystemTrayIcon::DoubleClick);
        QVERIFY(window_->isVisible());
        // "&Zamknij" asks the question.
        answer_ = TCloseAnswer::kCancel;
        W<QAction>("miClose")->trigger();
        QVERIFY(window_->isVisible());
        QCOMPARE(closed_, 0);
    }

    void titleOptionsExcludeEachOther() {
        ShowTab("tsUstawienia");
        auto* number = W<QCheckBox>("cbNumberPrints");
        auto* asFile = W<QCheckBox>("cbPrintNameAsFile");
        number->click();
        QVERIFY(number->isChecked());
        QVERIFY(!asFile->isChecked());
        asFile->click();
        QVERIFY(asFile->isChecked());
        QVERIFY(!number->isChecked());
        QVERIFY(Core().Settings().PrintTitleAsFile);
        QVERIFY(!Core().Settings().NumberPrints);
        number->click();
        QVERIFY(!asFile->isChecked());
        // Unchecking changes nothing else.
        number->click();
        QVERIFY(!number->isChecked());
        QVERIFY(!asFile->isChecked());
    }

    void pictureStatusShowsWhetherThePictureLoads() {
        ShowTab("tsUstawienia");
        auto* status = W<QLabel>("labPictureOk");
        QCOMPARE(status->text(), QString("?"));
        W<QCheckBox>("cbPrintBackground")->click();
        const auto picture = parts_->dir / "logo.bmp";
        WriteFile(picture, "PICTURE 10 20");
        dialogs_->pictures.push_back(picture.string());
        W<QPushButton>("btChooseFile")->click();
        QCOMPARE(W<QLineEdit>("edBackgroundPicture")->text(), QString::fromStdString(picture));
        QCOMPARE(status->text(), QString("OK"));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(0, 128, 0));
        QVERIFY(status->font().bold());
        QVERIFY(Core().Background().HasPicture());
        QCOMPARE(Count("Wybrany plik tla: " + picture.string()), 1);

        dialogs_->pictures.push_back((parts_->dir / "missing.bmp").string());
        W<QPushButton>("btChooseFile")->click();
        QCOMPARE(status->text(), QString::fromUtf8("BŁĄD"));
        QCOMPARE(status->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(!Core().Background().HasPicture());
        // A cancelled dialog changes nothing.
        W<QPushButton>("btChooseFile")->click();
        QCOMPARE(status->text(), QString::fromUtf8("BŁĄD"));
    }

    void atOnceValuesReachTheCore() {
        W<QSpinBox>("edWaitBeforePrint")->setValue(9);
        W<QSpinBox>("edMaxWait")->setValue(250);
        QCOMPARE(Core().MonitorSettings().WaitBeforePrint, 9.0);
        QCOMPARE(Core().MonitorSettings().WaitForPageMax, 250.0);
        W<QComboBox>("cbTrybPliku")->setCurrentIndex(1);
        QCOMPARE(Core().MonitorSettings().FileSaveMode, 1);
        const bool keep = Core().MonitorSettings().KeepState;
        W<QCheckBox>("cbKeepState")->click();
        QCOMPARE(Core().MonitorSettings().KeepState, !keep);
        W<QCheckBox>("cbIgnorePCL")->click();
        QVERIFY(Core().MonitorSettings().IgnorePcl);
        // The printer language beyond the table, chosen on the same tab.
        auto* commandSet = W<QComboBox>("cbZestawKomend");
        QCOMPARE(commandSet->count(), 4);
        QCOMPARE(commandSet->itemText(0), QString::fromUtf8("Tylko tabela"));
        QCOMPARE(commandSet->itemText(3), QString::fromUtf8("Automatycznie"));
        commandSet->setCurrentIndex(3);
        QCOMPARE(Core().MonitorSettings().CommandSet, 3);
        W<QSpinBox>("edPicLeft")->setValue(33);
        QCOMPARE(Core().Settings().PictureLeft, 33);
        W<QLineEdit>("edPrintTitle")->setText("FAKTURY");
        QCOMPARE(Core().Settings().PrintTitleName, std::string("FAKTURY"));
    }

    void rawTabPushesEveryValueAtOnce() {
        ShowTab("tsRAW");
        const TRawSettings before = Core().Raw();
        // Only the character map switch: the other four stay as they were.
        W<QCheckBox>("cbRAWcharMap")->click();
        QCOMPARE(Core().Raw().useCharMap, !before.useCharMap);
        QCOMPARE(Core().Raw().enabled, before.enabled);
        QCOMPARE(Core().Raw().initText, before.initText);
        QCOMPARE(Core().Raw().fixCrLf, before.fixCrLf);
        QCOMPARE(Core().Raw().endWithFormFeed, before.endWithFormFeed);
        W<QCheckBox>("cbRAWEnable")->click();
        QCOMPARE(Core().Raw().enabled, !before.enabled);
        W<QLineEdit>("edRAWInit")->setText("#27 @");
        QCOMPARE(Core().Raw().initText, std::string("#27 @"));
        W<QCheckBox>("cbRAWFixCRLF")->click();
        QCOMPARE(Core().Raw().fixCrLf, !before.fixCrLf);
        W<QCheckBox>("cbRAWEndWithFF")->click();
        QCOMPARE(Core().Raw().endWithFormFeed, !before.endWithFormFeed);
    }

    void autostartBoxRegistersAtOnce() {
        const int before = autostarts_;
        auto* box = W<QCheckBox>("cbAutostart");
        QCOMPARE(box->isChecked(), Core().Settings().AutoRun);
        box->click();
        QCOMPARE(Core().Settings().AutoRun, box->isChecked());
        QCOMPARE(autostarts_, before + 1);
        box->click();
        QCOMPARE(autostarts_, before + 2);
    }

    void filesTabEditsTheMonitoredList() {
        ShowTab("tsFiles");
        auto* list = W<QListWidget>("lbFiles");
        QCOMPARE(list->count(), 1);
        QCOMPARE(list->item(0)->text(), QString::fromStdString(parts_->defaultFile));
        const std::string file = (parts_->dir / "a.prn").string();
        WriteFile(file, "x");
        parts_->dialogs.files.push_back(file);
        W<QPushButton>("btAddFile")->click();
        QCOMPARE(list->count(), 2);
        QCOMPARE(Count("Nowy plik monitorowany: " + file), 1);
        parts_->dialogs.folders.push_back({parts_->dir.path().string(), ""});
        W<QPushButton>("btAddFolder")->click();
        QCOMPARE(list->count(), 3);
        const QString folderEntry = QString::fromStdString(parts_->dir.path().string() + "/*.*");
        QVERIFY(Items(*list).contains(folderEntry));
        // Its own printer for the selected entry, from "<główna Quernel>" and the printers.
        list->setCurrentRow(Items(*list).indexOf(QString::fromStdString(file)));
        parts_->dialogs.printers.push_back(1);
        W<QPushButton>("btChoosePrinter")->click();
        QCOMPARE(parts_->dialogs.shownChoices,
                 (std::vector<std::string>{"<główna Quernel>", "Laser", "Quernel PDF"}));
        QVERIFY(Items(*list).contains(QString::fromStdString(file + "::Laser")));
        QVERIFY(list->currentItem() != nullptr);
        QCOMPARE(list->currentItem()->text(), QString::fromStdString(file + "::Laser"));
        W<QPushButton>("btDeleteFile")->click();
        QCOMPARE(list->count(), 2);
        QVERIFY(!Items(*list).contains(QString::fromStdString(file + "::Laser")));
        // Nothing selected: nothing removed.
        list->setCurrentRow(-1);
        W<QPushButton>("btDeleteFile")->click();
        QCOMPARE(list->count(), 2);
    }

    void printerTabFollowsTheSelection() {
        ShowTab("tsDrukarka");
        auto* printers = W<QComboBox>("cbPrinter");
        QCOMPARE(printers->count(), 2);
        QCOMPARE(printers->itemText(0), QString("Laser"));
        auto* fonts = W<QListWidget>("lbFont");
        QCOMPARE(Items(*fonts), (QStringList{"DejaVu Sans Mono", "Liberation Mono"}));
        fonts->setCurrentRow(0);
        QCOMPARE(Core().Printers().SelectedFontName(), std::string("DejaVu Sans Mono"));
        QCOMPARE(W<QLineEdit>("edSample")->font().family(), QString("DejaVu Sans Mono"));
        // The font list of another printer, sorted, keeps the font it also offers.
        parts_->printer.fontsByPrinter["Laser"] = {"Zeta", "DejaVu Sans Mono", "alpha"};
        printers->setCurrentIndex(0);
        emit printers->activated(0);
        QCOMPARE(Items(*fonts), (QStringList{"alpha", "DejaVu Sans Mono", "Zeta"}));
        QCOMPARE(fonts->currentItem()->text(), QString("DejaVu Sans Mono"));
        // "Zawsze domyślna" selects the default printer and disables the list.
        auto* always = W<QCheckBox>("cbAlwaysDefault");
        always->click();
        QVERIFY(!printers->isEnabled());
        QCOMPARE(printers->currentText(), QString("Quernel PDF"));
        always->click();
        QVERIFY(printers->isEnabled());
        QCOMPARE(printers->currentText(), QString("Quernel PDF"));
    }

    void nameBoxesLoadAndSaveThroughTheCore() {
        ShowTab("tsCharMap");
        auto* map = W<QComboBox>("cbPrzemapowanie");
        QCOMPARE(map->currentText(), QString("LatinII"));
        map->setEditText("Mazowia");
        QCOMPARE(Count("Ustawione mapowanie : Mazowia"), 1);
        // Names that cannot be files are typed without an error and without a load.
        map->setEditText("a/b");
        map->setEditText("");
        QCOMPARE(parts_->errors.messages.size(), std::size_t{0});
        W<QCheckBox>("cbTrybEdycji")->click();
        map->setEditText("Nowa");
        W<QPushButton>("btSaveCharMap")->click();
        QVERIFY(std::filesystem::exists(parts_->programDir / "CharMap/Nowa.cmap"));
        QCOMPARE(Count("Zapisane mapowanie : Nowa"), 1);
        QVERIFY(!Core().CharMapEditMode());
        map->showPopup();
        QVERIFY(Items(*map).contains("Nowa"));
        map->hidePopup();
        QCOMPARE(map->currentText(), QString("Nowa"));

        ShowTab("tsSequences");
        auto* table = W<QComboBox>("cbSequences");
        QCOMPARE(table->currentText(), QString("EPSON+HP"));
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        table->setEditText("Kopia");
        W<QPushButton>("btSaveSQ")->click();
        QVERIFY(std::filesystem::exists(parts_->programDir / "Seq/Kopia.seq"));
        QCOMPARE(Core().Settings().Sequences, std::string("Kopia"));
    }

    void historyShowsEveryLineWithTheNewestInView() {
        auto* memo = W<QPlainTextEdit>("memLog");
        for (int i = 0; i < 300; ++i) parts_->history.Add("linia " + std::to_string(i));
        QVERIFY(memo->toPlainText().endsWith(" : linia 299"));
        QCOMPARE(memo->verticalScrollBar()->value(), memo->verticalScrollBar()->maximum());
        QVERIFY(memo->verticalScrollBar()->maximum() > 0);
    }

    void windowHasOneSizeThatFitsEveryTab() {
        const QSize size = window_->size();
        QCOMPARE(window_->minimumSize(), size);
        QCOMPARE(window_->maximumSize(), size);
        auto* tabs = W<QTabWidget>("PageControl");
        for (int i = 0; i < tabs->count(); ++i) {
            tabs->setCurrentIndex(i);
            QApplication::processEvents();
            QCOMPARE(window_->size(), size);
            QWidget* page = tabs->currentWidget();
            // No caption is cut: every text control has at least the width its text needs.
            for (auto* w : page->findChildren<QWidget*>()) {
                if (!w->isVisible()) continue;
                if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w)) continue;
                QVERIFY2(w->width() >= w->sizeHint().width() &&
                             w->height() >= w->minimumSizeHint().height(),
                         qPrintable(page->objectName() + ": " + w->objectName() + " " +
                                    (qobject_cast<QLabel*>(w)
                                         ? qobject_cast<QLabel*>(w)->text()
                                         : qobject_cast<QAbstractButton*>(w)->text())));
                QVERIFY(page->rect().contains(QRect(w->mapTo(page, QPoint(0, 0)), w->size())));
            }
        }
    }

  private:
    static QStringList Items(const QComboBox& box) {
        QStringList list;
        for (int i = 0; i < box.count(); ++i) list << box.itemText(i);
        return list;
    }
    static QStringList Items(const QListWidget& box) {
        QStringList list;
        for (int i = 0; i < box.count(); ++i) list << box.item(i)->text();
        return list;
    }
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<MainWindowTest>(argc, argv);
}

#include "MainWindowTest.moc"
