#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>
#include <cmath>

#include "engine/CharMapEditing.h"
#include "engine/DataFiles.h"
#include "engine/SequenceEditing.h"
#include "gui/GuiSupport.h"
#include "host/FileUtil.h"
#include "host/Text.h"
#include "ui/CharMapTab.h"
#include "ui/SequencesTab.h"

using namespace quernel;
using namespace quernel::test;

// The character-map editor ("Z&naki") and the control-code editor ("&Kody") of the main
// window over the core with fakes, driven with the mouse and the keyboard by object name.
class EditorsTest : public QObject {
    Q_OBJECT

  private:
    std::unique_ptr<CoreParts> parts_;
    std::unique_ptr<ScriptedWindowDialogs> dialogs_;
    std::unique_ptr<TqnMain> window_;

    TQuernelCore& Core() { return *parts_->core; }
    template <typename T>
    T* W(const char* name) {
        return Find<T>(*window_, name);
    }
    // How often the history holds the message.
    int Count(const std::string& message) {
        int count = 0;
        for (const QString& line : W<QPlainTextEdit>("memLog")->toPlainText().split('\n')) {
            if (line.endsWith(QString::fromStdString(" : " + message))) ++count;
        }
        return count;
    }
    void ShowTab(const char* name) {
        W<QTabWidget>("PageControl")->setCurrentWidget(W<QWidget>(name));
        QApplication::processEvents();
    }

    // --- the character map ---
    QTableWidget* Grid() { return W<QTableWidget>("sgCharMap"); }
    QPoint CellCentre(QTableWidget* table, int row, int column) {
        return table->visualItemRect(table->item(row, column)).center();
    }
    void ClickCell(int column, int row) {
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, CellCentre(Grid(), row, column));
    }
    // The pointer at a point of the grid (outside it while a button is held, as in a drag).
    void MovePointer(QPoint at, Qt::MouseButtons buttons = Qt::NoButton) {
        QWidget* viewport = Grid()->viewport();
        QMouseEvent move(QEvent::MouseMove, QPointF(at), QPointF(viewport->mapToGlobal(at)),
                         Qt::NoButton, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &move);
    }
    QLabel* Hint() { return W<QLabel>("edHint"); }
    // Types into a field, replacing its text, and leaves it with Tab.
    void TypeAndLeave(const char* name, const QString& text) {
        auto* field = W<QLineEdit>(name);
        field->setFocus();
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        // Letters beyond ASCII come as typed text, the way a keyboard layout sends them.
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
        }
        QTest::keyClick(field, Qt::Key_Tab);
        QVERIFY(!field->hasFocus());
    }
    QStringList Fields() {
        QStringList out;
        for (const char* name : {"edWarDec", "edWarHex", "edWar", "edMapDec", "edMapHex", "edMap"})
            out << W<QLineEdit>(name)->text();
        return out;
    }
    QString CellText(std::uint8_t source) {
        const TGridCell cell = SourceCell(source);
        return Grid()->item(cell.row, cell.column)->text();
    }

    // --- the control codes ---
    QTableWidget* List() { return W<QTableWidget>("lvSequences"); }
    // The list's rows as "code|meaning|carried index".
    QStringList Rows() {
        QStringList out;
        for (int row = 0; row < List()->rowCount(); ++row) {
            out << List()->item(row, 0)->text() + "|" + List()->item(row, 1)->text() + "|" +
                       List()->item(row, 0)->data(Qt::UserRole).toString();
        }
        return out;
    }
    int RowOf(const QString& code) {
        for (int row = 0; row < List()->rowCount(); ++row) {
            if (List()->item(row, 0)->text() == code) return row;
        }
        return -1;
    }
    void ClickRow(int row) {
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, CellCentre(List(), row, 0));
    }
    void ClickHeader(int column) {
        QHeaderView* header = List()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }
    // Loads a table written into the program folder by typing its name.
    void LoadTable(const std::string& name, const TEscapeSequences& table) {
        WriteSequenceFile(SequenceFilePath(parts_->programDir, name), table);
        W<QComboBox>("cbSequences")->setEditText(QString::fromStdString(name));
        QCOMPARE(Core().ActiveSequences(), table);
    }
    void Add(const QString& text, int position) {
        W<QLineEdit>("edAddSequence")->setText(text);
        W<QComboBox>("cbChooseSeq")->setCurrentIndex(position);
        QTest::mouseClick(W<QPushButton>("btAddSequence"), Qt::LeftButton);
    }
    std::vector<std::string>& Messages() { return dialogs_->messages; }

  private slots:
    void init() {
        parts_ = std::make_unique<CoreParts>();
        dialogs_ = std::make_unique<ScriptedWindowDialogs>(parts_->dialogs);
        TMainWindowHooks hooks;
        hooks.dialogs = dialogs_.get();
        hooks.onClosed = [] {};
        hooks.trayAvailable = [] { return false; };
        window_ = std::make_unique<TqnMain>(Core(), hooks);
        StartWindow(Core(), parts_->history, *window_);
        window_->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    void cleanup() {
        window_.reset();
        dialogs_.reset();
        parts_.reset();
    }

    // --- character-map editor ---

    void charMapTabStartsViewingTheLoadedMap() {
        ShowTab("tsCharMap");
        QCOMPARE(W<QComboBox>("cbPrzemapowanie")->currentText(), QString("LatinII"));
        QCOMPARE(Count("Ustawione mapowanie : LatinII"), 1);
        QVERIFY(!W<QCheckBox>("cbTrybEdycji")->isChecked());
        QCOMPARE(W<QCheckBox>("cbTrybEdycji")->text(), QString("Tryb edycji"));
        QVERIFY(!W<QPushButton>("btSaveCharMap")->isEnabled());
        auto* charset = W<QComboBox>("cbCharset");
        QVERIFY(!charset->isEnabled());
        QCOMPARE(charset->count(), kCharsetCount);
        for (int i = 0; i < kCharsetCount; ++i) {
            QCOMPARE(charset->itemText(i), QString::fromUtf8(CharsetTable()[i].name.data()));
        }
        QCOMPARE(charset->currentIndex(), int{Core().ActiveCharMap().CharsetIndex});
        for (const char* name : {"edWarDec", "edWarHex", "edWar", "edMapDec", "edMapHex", "edMap"})
            QVERIFY2(W<QLineEdit>(name)->isReadOnly(), name);
        QVERIFY(Hint()->isHidden());
        QCOMPARE(Hint()->focusPolicy(), Qt::NoFocus);
        QVERIFY(Hint()->font().bold());

        // 33 x 9 cells with empty headers; every other cell shows its entry's glyph.
        QCOMPARE(Grid()->columnCount(), 33);
        QCOMPARE(Grid()->rowCount(), 9);
        QCOMPARE(Grid()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(Grid()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QVERIFY(Grid()->columnWidth(0) >= 15);
        QVERIFY(Grid()->rowHeight(0) >= 18);
        QCOMPARE(Grid()->viewport()->width(), 33 * Grid()->columnWidth(0));
        QCOMPARE(Grid()->viewport()->height(), 9 * Grid()->rowHeight(0));
        // What prints: box lines are on in a fresh installation.
        const TCharMapRecord& map = Core().ActiveCharMap();
        QVERIFY(Core().Settings().BoxLines);
        const auto graphics = FindGraphics(map);
        for (int s = 0; s < 256; ++s) {
            const auto b = static_cast<std::uint8_t>(s);
            QCOMPARE(CellText(b),
                     QString::fromStdString(graphics[b] == TGraphic::kNone
                                                ? GlyphText(MapCodePage(map), map.Map[b])
                                                : GlyphText(CodePage::kCp437, b)));
        }
        for (int i = 0; i < 33; ++i) {
            QCOMPARE(Grid()->item(0, i)->text(), QString());
            QCOMPARE(Grid()->item(0, i)->flags(), Qt::NoItemFlags);
        }
        // The cells are not edited in place.
        QCOMPARE(Grid()->editTriggers(), QAbstractItemView::NoEditTriggers);
    }

    void selectingACellShowsItsEntryThreeWays() {
        ShowTab("tsCharMap");
        ClickCell(2, 3);
        QCOMPARE(dynamic_cast<TCharMapTab&>(*W<QWidget>("tsCharMap")).SelectedSource(),
                 std::uint8_t{65});
        const std::uint8_t mapped = Core().ActiveCharMap().Map[65];
        QCOMPARE(Fields(), (QStringList{"65", "41", "A", QString::number(mapped),
                                        QString::asprintf("%02X", mapped), CellText(65)}));
        // The source glyph is in the window's own code page; the mapped one in the map's.
        ClickCell(6, 6);
        QCOMPARE(Fields()[0], QString("165"));
        QCOMPARE(Fields()[1], QString("A5"));
        QCOMPARE(Fields()[2], QString::fromUtf8("Ą"));
        // Header cells cannot be selected.
        QTest::mouseClick(Grid()->viewport(), Qt::LeftButton, {}, CellCentre(Grid(), 0, 5));
        QCOMPARE(Fields()[0], QString("165"));
        // The arrow keys move through the entries and stop before the headers.
        ClickCell(1, 1);
        QTest::keyClick(Grid(), Qt::Key_Right);
        QCOMPARE(Fields()[0], QString("1"));
        QTest::keyClick(Grid(), Qt::Key_Down);
        QCOMPARE(Fields()[0], QString("33"));
        QTest::keyClick(Grid(), Qt::Key_Left);
        QTest::keyClick(Grid(), Qt::Key_Left);
        QTest::keyClick(Grid(), Qt::Key_Up);
        QTest::keyClick(Grid(), Qt::Key_Up);
        QCOMPARE(Fields()[0], QString("0"));
        QCOMPARE(Grid()->currentRow(), 1);
        QCOMPARE(Grid()->currentColumn(), 1);
    }

    void hoverBoxFollowsThePointerAndHidesOverTheHeaders() {
        ShowTab("tsCharMap");
        const int pitchX = Grid()->columnWidth(0);
        const int pitchY = Grid()->rowHeight(0);
        auto* tab = W<QWidget>("tsCharMap");
        const TCharMapRecord& map = Core().ActiveCharMap();
        const QString expected65 = QString::fromStdString(HoverText(map, 65));

        const QPoint at = CellCentre(Grid(), 3, 2);
        MovePointer(at);
        QVERIFY(Hint()->isVisible());
        QCOMPARE(Hint()->text(), expected65);
        QVERIFY(Hint()->text().startsWith(" A "));
        // Above and left of the pointer, by the same amounts at any scale.
        const QPoint pointer = Grid()->viewport()->mapTo(tab, at);
        const double scale = Hint()->font().pixelSize() / 16.0;
        QCOMPARE(Hint()->pos(), pointer + QPoint(static_cast<int>(std::lround(-10 * scale)),
                                                 static_cast<int>(std::lround(-40 * scale))));
        // The header row and column hide it.
        MovePointer(QPoint(pitchX / 2, pitchY * 3));
        QVERIFY(Hint()->isHidden());
        MovePointer(at);
        MovePointer(QPoint(pitchX * 4, pitchY - 1));
        QVERIFY(Hint()->isHidden());
        // Beyond the last column or row (a drag out of the grid): column 31, row 7.
        const QString last = QString::fromStdString(HoverText(map, 255));
        MovePointer(QPoint(pitchX * 40, pitchY * 20), Qt::LeftButton);
        QVERIFY(Hint()->isVisible());
        QCOMPARE(Hint()->text(), last);
        MovePointer(QPoint(pitchX * 40, pitchY + 2), Qt::LeftButton);
        QCOMPARE(Hint()->text(), QString::fromStdString(HoverText(map, 31)));
        MovePointer(QPoint(pitchX + 1, pitchY * 20), Qt::LeftButton);
        QCOMPARE(Hint()->text(), QString::fromStdString(HoverText(map, 224)));
        // Even at the corner the box stays whole on the tab.
        MovePointer(QPoint(33 * pitchX - 1, 9 * pitchY - 1));
        QVERIFY(tab->rect().contains(Hint()->geometry()));

        // Leaving the grid, moving over the tab and the grid losing the focus hide it.
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(Grid()->viewport(), &leave);
        QVERIFY(Hint()->isHidden());
        MovePointer(at);
        QMouseEvent overTab(QEvent::MouseMove, QPointF(2, 2),
                            QPointF(tab->mapToGlobal(QPoint(2, 2))), Qt::NoButton, Qt::NoButton,
                            Qt::NoModifier);
        QApplication::sendEvent(tab, &overTab);
        QVERIFY(Hint()->isHidden());
        Grid()->setFocus();
        MovePointer(at);
        QVERIFY(Hint()->isVisible());
        W<QLineEdit>("edWarDec")->setFocus();
        QVERIFY(Hint()->isHidden());
        MovePointer(at);
        ShowTab("tsSequences");
        ShowTab("tsCharMap");
        QVERIFY(Hint()->isHidden());
        // It never takes the focus.
        QVERIFY(!Hint()->hasFocus());
    }

    void mappedByteIsTypedOnlyInEditModeAndCommittedOnLeavingTheField() {
        ShowTab("tsCharMap");
        ClickCell(2, 3);  // source 65
        const TCharMapRecord before = Core().ActiveCharMap();
        // Outside edit mode the fields do not take typing.
        TypeAndLeave("edMapDec", "66");
        QCOMPARE(Core().ActiveCharMap(), before);

        W<QCheckBox>("cbTrybEdycji")->click();
        QVERIFY(Core().CharMapEditMode());
        QVERIFY(!W<QLineEdit>("edMapDec")->isReadOnly());
        QVERIFY(W<QLineEdit>("edWarDec")->isReadOnly());
        QVERIFY(W<QComboBox>("cbCharset")->isEnabled());
        QVERIFY(W<QPushButton>("btSaveCharMap")->isEnabled());

        // Enter does not commit; leaving the field does.
        auto* dec = W<QLineEdit>("edMapDec");
        dec->setFocus();
        dec->selectAll();
        QTest::keyClicks(dec, "66");
        QTest::keyClick(dec, Qt::Key_Return);
        QCOMPARE(Core().ActiveCharMap(), before);
        QTest::keyClick(dec, Qt::Key_Tab);
        TCharMapRecord expected = before;
        expected.Map[65] = 66;
        QCOMPARE(Core().ActiveCharMap(), expected);
        QCOMPARE(CellText(65), QString("B"));
        QCOMPARE(Fields().mid(3), (QStringList{"66", "42", "B"}));

        // Hexadecimal: bare digits.
        TypeAndLeave("edMapHex", "ff");
        expected.Map[65] = 255;
        QCOMPARE(Core().ActiveCharMap(), expected);
        QCOMPARE(Fields().mid(3, 2), (QStringList{"255", "FF"}));

        // Refused values change nothing, bring no message and stay in the field.
        for (const auto& [field, text] :
             std::vector<std::pair<const char*, QString>>{{"edMapDec", "256"},
                                                          {"edMapDec", "-1"},
                                                          {"edMapDec", "x"},
                                                          {"edMapHex", "100"},
                                                          {"edMapHex", "$41"},
                                                          {"edMap", "ab"},
                                                          {"edMap", ""},
                                                          {"edMap", QString::fromUtf8("Ж")}}) {
            TypeAndLeave(field, text);
            QCOMPARE(Core().ActiveCharMap(), expected);
            QCOMPARE(W<QLineEdit>(field)->text(), text);
        }
        QVERIFY(dialogs_->messages.empty());
        QVERIFY(parts_->errors.messages.empty());

        // One glyph, through the map's code page ("Europa Wschodnia" or the OEM one).
        TypeAndLeave("edMap", QString::fromUtf8("ą"));
        expected.Map[65] = *FromUnicode(MapCodePage(Core().ActiveCharMap()), U'ą');  // 0xB9 or 0xA5
        QCOMPARE(Core().ActiveCharMap(), expected);
        QCOMPARE(CellText(65), QString::fromUtf8("ą"));
        QCOMPARE(Fields()[3], QString::number(expected.Map[65]));

        // The first and the last entry change alone.
        ClickCell(1, 1);
        TypeAndLeave("edMapDec", "7");
        ClickCell(32, 8);
        TypeAndLeave("edMapHex", "0");
        expected.Map[0] = 7;
        expected.Map[255] = 0;
        QCOMPARE(Core().ActiveCharMap(), expected);
        QCOMPARE(CellText(255), QString());

        // Switching edit mode off keeps the edits.
        W<QCheckBox>("cbTrybEdycji")->click();
        QCOMPARE(Core().ActiveCharMap(), expected);
        QVERIFY(W<QLineEdit>("edMapDec")->isReadOnly());
        QVERIFY(!W<QComboBox>("cbCharset")->isEnabled());
    }

    void charsetDrawsTheGridAndIsStoredInTheMap() {
        ShowTab("tsCharMap");
        W<QCheckBox>("cbTrybEdycji")->click();
        ClickCell(7, 7);  // source 0xC6
        auto* charset = W<QComboBox>("cbCharset");
        charset->setCurrentIndex(4);  // "Rosja": Windows-1251
        QCOMPARE(Core().ActiveCharMap().CharsetIndex, std::uint8_t{4});
        const TCharMapRecord& map = Core().ActiveCharMap();
        QCOMPARE(CellText(0xC6),
                 QString::fromStdString(GlyphText(CodePage::kCp1251, map.Map[0xC6])));
        QCOMPARE(Fields()[5], CellText(0xC6));
        // The source glyph keeps the window's own character set.
        QCOMPARE(Fields()[2], QString::fromUtf8("Ć"));
        MovePointer(CellCentre(Grid(), 7, 7));
        QCOMPARE(Hint()->text(), QString::fromUtf8(" Ж ") + CellText(0xC6));

        // A map file storing charset 3 selects "Europa Wschodnia" when it loads.
        TCharMapRecord stored = TCharMapRecord::Identity();
        stored.CharsetIndex = 3;
        stored.Map[0xA5] = 0xB9;
        WriteCharMapFile(CharMapFilePath(parts_->programDir, "Wschod"), stored);
        W<QCheckBox>("cbTrybEdycji")->click();
        W<QComboBox>("cbPrzemapowanie")->setEditText("Wschod");
        QCOMPARE(Core().ActiveCharMap(), stored);
        QCOMPARE(charset->currentText(), QString("Europa Wschodnia"));
        QCOMPARE(CellText(0xA5), QString::fromUtf8("ą"));
        QCOMPARE(CellText(0xC6), QString::fromUtf8("Ć"));
        QCOMPARE(Count("Ustawione mapowanie : Wschod"), 1);
    }

    // "Rysuj ramki liniami" is the setting; the grid and the hover box show what prints with it:
    // LatinII's ╔ (0xC9, printed as "+" without it) as itself, its Ż (0xBD) as a letter.
    void boxLinesShowTheFramesTheyDraw() {
        ShowTab("tsCharMap");
        auto* box = W<QCheckBox>("cbBoxLines");
        QCOMPARE(box->text(), QString::fromUtf8("Rysuj ramki liniami"));
        QVERIFY(box->isEnabled());  // a setting: also outside edit mode
        QCOMPARE(box->isChecked(), Core().Settings().BoxLines);
        if (box->isChecked()) box->click();
        QCOMPARE(CellText(0xC9), QString("+"));
        box->click();
        QVERIFY(Core().Settings().BoxLines);
        QCOMPARE(CellText(0xC9), QString::fromUtf8("╔"));
        QCOMPARE(CellText(0xBD), QString::fromUtf8("Ż"));
        MovePointer(CellCentre(Grid(), 7, 10));  // 0xC9: row 6 of the bytes, column 9
        QVERIFY(Hint()->text().endsWith(QString::fromUtf8("╔")));
        // Typed in edit mode, a stand-in prints the frame, a letter stays a letter.
        W<QCheckBox>("cbTrybEdycji")->click();
        ClickCell(10, 7);
        TypeAndLeave("edMapDec", "65");
        QCOMPARE(CellText(0xC9), QString("A"));
        TypeAndLeave("edMapDec", "43");
        QCOMPARE(CellText(0xC9), QString::fromUtf8("╔"));
        // Settings loaded anew show in the box.
        Core().UpdateSettings([](AppSettings& s) { s.BoxLines = false; });
        window_->Refresh();
        QVERIFY(!box->isChecked());
        QCOMPARE(CellText(0xC9), QString("+"));
    }

    void mapNamesLoadOnlyOutsideEditModeAndSaveEndsIt() {
        ShowTab("tsCharMap");
        auto* name = W<QComboBox>("cbPrzemapowanie");
        name->setEditText("Mazowia");
        QCOMPARE(Count("Ustawione mapowanie : Mazowia"), 1);
        const TCharMapRecord mazowia = Core().ActiveCharMap();
        // A name typed in edit mode loads nothing, even when its map exists.
        W<QCheckBox>("cbTrybEdycji")->click();
        name->setEditText("LatinII");
        QCOMPARE(Core().ActiveCharMap(), mazowia);
        QCOMPARE(Count("Ustawione mapowanie : LatinII"), 1);
        ClickCell(2, 3);
        TypeAndLeave("edMapDec", "97");
        name->setEditText("Nowa");
        W<QPushButton>("btSaveCharMap")->click();
        const auto file = CharMapFilePath(parts_->programDir, "Nowa");
        QCOMPARE(ReadWholeFile(file), EncodeCharMap(Core().ActiveCharMap()));
        QCOMPARE(Core().ActiveCharMap().Map[65], std::uint8_t{97});
        QCOMPARE(Count("Zapisane mapowanie : Nowa"), 1);
        QVERIFY(!Core().CharMapEditMode());
        QVERIFY(!W<QCheckBox>("cbTrybEdycji")->isChecked());
        QVERIFY(!W<QPushButton>("btSaveCharMap")->isEnabled());
        QVERIFY(W<QLineEdit>("edMapDec")->isReadOnly());
        QCOMPARE(name->currentText(), QString("Nowa"));
        QCOMPARE(Core().Settings().CharMap, std::string("Nowa"));
        name->showPopup();
        QStringList items;
        for (int i = 0; i < name->count(); ++i) items << name->itemText(i);
        name->hidePopup();
        QVERIFY(items.contains("Nowa"));
        QVERIFY(items.contains("LatinII"));
        QCOMPARE(name->currentText(), QString("Nowa"));

        // A name whose file is gone leaves the map as it was.
        std::filesystem::remove(CharMapFilePath(parts_->programDir, "Mazowia"));
        name->setEditText("Mazowia");
        QCOMPARE(Core().ActiveCharMap().Map[65], std::uint8_t{97});
        // Save with an empty name writes nothing but ends edit mode.
        W<QCheckBox>("cbTrybEdycji")->click();
        name->setEditText("");
        W<QPushButton>("btSaveCharMap")->click();
        QVERIFY(!Core().CharMapEditMode());
        QVERIFY(!std::filesystem::exists(parts_->programDir / "CharMap/.cmap"));
        // A name that cannot be a file is refused with its message, and nothing is written.
        W<QCheckBox>("cbTrybEdycji")->click();
        name->setEditText("../Zly");
        QVERIFY(parts_->errors.messages.empty());
        W<QPushButton>("btSaveCharMap")->click();
        QCOMPARE(parts_->errors.messages.size(), std::size_t{1});
        QVERIFY(QString::fromStdString(parts_->errors.messages[0]).contains("../Zly"));
        QVERIFY(!std::filesystem::exists(parts_->programDir / "Zly.cmap"));
        QVERIFY(!Core().CharMapEditMode());
    }

    // --- control-code editor ---

    void codeListShowsTheTableSortedByCode() {
        ShowTab("tsSequences");
        QCOMPARE(W<QComboBox>("cbSequences")->currentText(), QString("EPSON+HP"));
        auto* header = List()->horizontalHeader();
        QCOMPARE(List()->horizontalHeaderItem(0)->text(), QString("Kod"));
        QCOMPARE(List()->horizontalHeaderItem(1)->text(), QString("Znaczenie"));
        QVERIFY(header->sectionSize(0) >= 140);
        QVERIFY(header->sectionSize(1) >= 140);
        QCOMPARE(List()->selectionBehavior(), QAbstractItemView::SelectRows);
        QCOMPARE(List()->editTriggers(), QAbstractItemView::NoEditTriggers);
        QVERIFY(List()->showGrid());
        const TEscapeSequences& table = Core().ActiveSequences();
        QCOMPARE(List()->rowCount(), static_cast<int>(table.size()));
        QStringList codes;
        for (int row = 0; row < List()->rowCount(); ++row) {
            const auto index = List()->item(row, 0)->data(Qt::UserRole).toULongLong();
            QCOMPARE(List()->item(row, 0)->text(),
                     QString::fromStdString(SequenceToText(table[index].Sequence)));
            QCOMPARE(List()->item(row, 1)->text(),
                     QString::fromUtf8(MeaningName(table[index].Meaning).data()));
            codes << List()->item(row, 0)->text();
        }
        QVERIFY(std::is_sorted(codes.begin(), codes.end(), [](const QString& a, const QString& b) {
            return LessIgnoringCase(a.toStdString(), b.toStdString());
        }));
        // The built-in entries are not listed.
        QCOMPARE(RowOf("#13#10"), -1);
        QVERIFY(!W<QCheckBox>("cbIgnorePCL")->isChecked());
    }

    void sortingByEitherColumnAndDeletingTheShownEntry() {
        ShowTab("tsSequences");
        using namespace meaning;
        const TEscapeSequences table{{{7}, kReset},          {{27}, kIgnore},  {{10}, kNewLine},
                                     {{'a'}, kCpi12},        {{'B'}, kBoldOn}, {{27, 'E'}, kBoldOn},
                                     {{27, '4'}, kPrintable}};
        LoadTable("Sortowanie", table);
        QCOMPARE(Rows(), (QStringList{" a|12 CPI|3", " B|Pogrubienie (Bold)|4", "#10|Nowa linia|2",
                                      "#27|Ignoruj|1", "#27 4|Znak drukowalny|6",
                                      "#27 E|Pogrubienie (Bold)|5", "#7|Reset|0"}));
        ClickHeader(1);
        QCOMPARE(dynamic_cast<TSequencesTab&>(*W<QWidget>("tsSequences")).SortColumn(), 1);
        QCOMPARE(Rows(), (QStringList{" a|12 CPI|3", "#27|Ignoruj|1", "#10|Nowa linia|2",
                                      " B|Pogrubienie (Bold)|4", "#27 E|Pogrubienie (Bold)|5",
                                      "#7|Reset|0", "#27 4|Znak drukowalny|6"}));
        // A second click sorts the same way again.
        const QStringList byMeaning = Rows();
        ClickHeader(1);
        QCOMPARE(Rows(), byMeaning);

        // The row shown sixth holds entry 0 ("#7"): that entry goes, not the sixth.
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        QCOMPARE(RowOf("#7"), 5);
        ClickRow(RowOf("#7"));
        W<QPushButton>("btDelSequence")->click();
        QCOMPARE(Core().ActiveSequences(), (TEscapeSequences{{{27}, kIgnore},
                                                             {{10}, kNewLine},
                                                             {{'a'}, kCpi12},
                                                             {{'B'}, kBoldOn},
                                                             {{27, 'E'}, kBoldOn},
                                                             {{27, '4'}, kPrintable}}));
        QCOMPARE(RowOf("#7"), -1);
        // An entry with "Znak drukowalny" from a file is listed and can be deleted.
        ClickRow(RowOf("#27 4"));
        W<QPushButton>("btDelSequence")->click();
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{5});
        QCOMPARE(RowOf("#27 4"), -1);
        // Nothing selected: nothing deleted.
        QVERIFY(List()->selectionModel()->selectedRows().isEmpty());
        W<QPushButton>("btDelSequence")->click();
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{5});

        // Sorting again keeps the selected entry selected.
        ClickRow(RowOf("#10"));
        ClickHeader(0);
        QCOMPARE(List()->selectionModel()->selectedRows().size(), 1);
        QCOMPARE(List()->selectionModel()->selectedRows()[0].row(), RowOf("#10"));
        QCOMPARE(RowOf("#10"), 2);
    }

    void addingRefusesIncompleteAndKnownCodes() {
        ShowTab("tsSequences");
        LoadTable("Dodawanie", TEscapeSequences{{{35}, meaning::kIgnore}});
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        auto* meanings = W<QComboBox>("cbChooseSeq");
        QCOMPARE(meanings->count(), kMeaningCount);
        for (int p = 0; p < kMeaningCount; ++p) {
            QCOMPARE(meanings->itemText(p),
                     QString::fromUtf8(MeaningName(MeaningDisplayOrder()[p]).data()));
        }
        QCOMPARE(meanings->itemText(2), QString("Reset"));
        QCOMPARE(meanings->currentIndex(), -1);
        const std::string incomplete(kIncompleteDataMessage);

        Add("#27 E", -1);
        QCOMPARE(Messages(), std::vector<std::string>{incomplete});
        Add("#27 E", 0);  // "Znak drukowalny"
        Add("# 27", 11);
        Add("", 11);
        QCOMPARE(Messages(), std::vector<std::string>(4, incomplete));
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{1});

        Messages().clear();
        Add("#27 E", 11);
        QVERIFY(Messages().empty());
        QCOMPARE(Core().ActiveSequences()[1], (TEscapeSequence{{27, 'E'}, meaning::kBoldOn}));
        QVERIFY(RowOf("#27 E") >= 0);
        QCOMPARE(List()->item(RowOf("#27 E"), 1)->text(), QString("Pogrubienie (Bold)"));
        // The fields keep their contents.
        QCOMPARE(W<QLineEdit>("edAddSequence")->text(), QString("#27 E"));
        QCOMPARE(meanings->currentIndex(), 11);
        // The same bytes again, with any meaning or written together.
        Add("#27 E", 5);
        Add("#27E", 11);
        QCOMPARE(Messages(), std::vector<std::string>(2, std::string(kCodeExistsMessage)));
        // A character Windows-1250 lacks is named in the message.
        Messages().clear();
        Add(QString::fromUtf8("#27 Ж"), 11);
        QCOMPARE(Messages().size(), std::size_t{1});
        QVERIFY(QString::fromStdString(Messages()[0]).contains(QString::fromUtf8("Ж")));
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{2});

        // The one-byte entry "#" reads as ' #', which does not read back.
        Messages().clear();
        ClickRow(RowOf(" #"));
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {},
                           CellCentre(List(), RowOf(" #"), 0));
        QCOMPARE(W<QLineEdit>("edAddSequence")->text(), QString(" #"));
        QCOMPARE(meanings->currentText(), QString("Ignoruj"));
        QTest::mouseClick(W<QPushButton>("btAddSequence"), Qt::LeftButton);
        QCOMPARE(Messages(), std::vector<std::string>{incomplete});
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{2});
        // Typed as "#35" it is the entry that exists.
        Add("#35", 5);
        QCOMPARE(Messages().back(), std::string(kCodeExistsMessage));
    }

    void editModeEnablesTheEditingControls() {
        ShowTab("tsSequences");
        LoadTable("Tryb", TEscapeSequences{{{27, '#', '5'}, meaning::kLpi8}});
        const std::vector<const char*> controls = {"btSaveSQ", "btDelSequence", "edAddSequence",
                                                   "cbChooseSeq", "btAddSequence"};
        for (const char* name : controls) QVERIFY2(!W<QWidget>(name)->isEnabled(), name);
        // A double click outside edit mode changes nothing.
        ClickRow(0);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, CellCentre(List(), 0, 0));
        QCOMPARE(W<QLineEdit>("edAddSequence")->text(), QString());

        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        QVERIFY(Core().SequencesEditMode());
        for (const char* name : controls) QVERIFY2(W<QWidget>(name)->isEnabled(), name);
        ClickRow(0);
        QTest::mouseDClick(List()->viewport(), Qt::LeftButton, {}, CellCentre(List(), 0, 0));
        QCOMPARE(W<QLineEdit>("edAddSequence")->text(), QString("#27 # 5"));
        auto* meanings = W<QComboBox>("cbChooseSeq");
        QCOMPARE(meanings->currentText(), QString("8 linii/cal"));
        // Off and on again: the meaning list is filled anew, with nothing chosen.
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        for (const char* name : controls) QVERIFY2(!W<QWidget>(name)->isEnabled(), name);
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        QCOMPARE(meanings->currentIndex(), -1);
        QCOMPARE(meanings->count(), kMeaningCount);
        // A double click with no row selected changes nothing.
        W<QLineEdit>("edAddSequence")->clear();
        List()->clearSelection();
        emit List()->cellDoubleClicked(0, 0);
        QCOMPARE(W<QLineEdit>("edAddSequence")->text(), QString());
    }

    void tableNamesLoadOnlyOutsideEditModeAndSaveEndsIt() {
        ShowTab("tsSequences");
        const TEscapeSequences epson = Core().ActiveSequences();
        LoadTable("Inna", TEscapeSequences{{{27, 'X'}, meaning::kIgnore}});
        QCOMPARE(List()->rowCount(), 1);
        QCOMPARE(Count("Ustawione kody sterujące : Inna"), 1);
        auto* name = W<QComboBox>("cbSequences");
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        // In edit mode a typed name loads nothing, even when its table exists.
        name->setEditText("EPSON+HP");
        QCOMPARE(Core().ActiveSequences().size(), std::size_t{1});
        Add("#27 Y", 1);
        name->setEditText("Kopia");
        W<QPushButton>("btSaveSQ")->click();
        const TEscapeSequences saved =
            ReadSequenceFile(SequenceFilePath(parts_->programDir, "Kopia"));
        QCOMPARE(saved, Core().ActiveSequences());
        QCOMPARE(saved.size(), std::size_t{2});
        QCOMPARE(Count("Zapisane kody sterujące : Kopia"), 1);
        QVERIFY(!Core().SequencesEditMode());
        QVERIFY(!W<QCheckBox>("cbTrybEdycjiSQ")->isChecked());
        QVERIFY(!W<QPushButton>("btAddSequence")->isEnabled());
        QCOMPARE(name->currentText(), QString("Kopia"));
        QCOMPARE(Core().Settings().Sequences, std::string("Kopia"));
        // Outside edit mode a name loads its table.
        name->setEditText("EPSON+HP");
        QCOMPARE(Core().ActiveSequences(), epson);
        QCOMPARE(List()->rowCount(), static_cast<int>(epson.size()));
        // Save with an empty name writes nothing and ends edit mode.
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        name->setEditText("");
        W<QPushButton>("btSaveSQ")->click();
        QVERIFY(!Core().SequencesEditMode());
        QVERIFY(!std::filesystem::exists(parts_->programDir / "Seq/.seq"));
    }

    // --- both, and the next printout ---

    void editsReachTheNextPrintoutWithoutSaving() {
        const auto mapFile = CharMapFilePath(parts_->programDir, "LatinII");
        const auto tableFile = SequenceFilePath(parts_->programDir, "EPSON+HP");
        const Bytes mapBefore = ReadWholeFile(mapFile);
        const Bytes tableBefore = ReadWholeFile(tableFile);
        ShowTab("tsDrukarka");
        W<QListWidget>("lbFont")->setCurrentRow(0);
        ShowTab("tsCharMap");
        W<QCheckBox>("cbTrybEdycji")->click();
        ClickCell(2, 3);  // 'A'
        TypeAndLeave("edMapHex", "5A");
        ShowTab("tsSequences");
        W<QCheckBox>("cbTrybEdycjiSQ")->click();
        Add(" Q", 1);  // "Ignoruj"
        QVERIFY(Messages().empty());

        const auto file = parts_->dir / "wydruk.prn";
        WriteFile(file, "AQB\r\n");
        parts_->dialogs.files.push_back(file.string());
        parts_->dialogs.pages.push_back(1);
        ShowTab("tsWydruk");
        W<QPushButton>("btPrintFile")->click();
        QVERIFY(parts_->errors.messages.empty());
        const auto pages = parts_->printer.PageTexts();
        QCOMPARE(pages.size(), std::size_t{1});
        QCOMPARE(pages[0], std::string("ZB"));
        // Nothing was saved.
        QCOMPARE(ReadWholeFile(mapFile), mapBefore);
        QCOMPARE(ReadWholeFile(tableFile), tableBefore);
    }
};

int main(int argc, char** argv) {
    return quernel::test::RunGuiTest<EditorsTest>(argc, argv);
}

#include "EditorsTest.moc"
