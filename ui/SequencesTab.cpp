#include "ui/SequencesTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "engine/CommandSet.h"
#include "engine/SequenceEditing.h"
#include "monitor/QuernelCore.h"
#include "ui/Controls.h"
#include "ui/NamedTableBox.h"
#include "ui/TableNames.h"

namespace quernel {

TSequencesTab::TSequencesTab(TQuernelCore& core,
                             std::function<void(const std::string&)> showMessage, QWidget* parent)
    : QWidget(parent), core_(core), showMessage_(std::move(showMessage)) {
    setObjectName("tsSequences");
    name_ = new TNamedTableBox({"cbSequences", "btSaveSQ", "Kody sterujące:"}, this);
    name_->listNames() = [this] { return core_.ListSequences(); };
    name_->nameChanged = [this](const std::string& name) {
        const TEscapeSequences before = core_.ActiveSequences();
        ChangeSequencesName(core_, name);
        if (!(core_.ActiveSequences() == before)) ShowSequences();
    };
    name_->save = [this] {
        core_.SaveSequences();
        ShowEditMode();
    };

    lvSequences_ = new QTableWidget(0, 2, this);
    lvSequences_->setObjectName("lvSequences");
    lvSequences_->setHorizontalHeaderLabels(
        {QString::fromUtf8("Kod"), QString::fromUtf8("Znaczenie")});
    lvSequences_->verticalHeader()->hide();
    // Rows as high as a line of text, as in a report list.
    lvSequences_->verticalHeader()->setMinimumSectionSize(1);
    lvSequences_->verticalHeader()->setDefaultSectionSize(lvSequences_->fontMetrics().height() + 4);
    lvSequences_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvSequences_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvSequences_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvSequences_->setShowGrid(true);
    lvSequences_->setWordWrap(false);
    lvSequences_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    lvSequences_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QHeaderView* header = lvSequences_->horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(sortColumn_, Qt::AscendingOrder);
    header->setSectionResizeMode(QHeaderView::Fixed);
    header->setStretchLastSection(false);
    // Each column is 140 pixels at the smallest font, and as wide as the longest meaning needs.
    const QFontMetrics metrics(lvSequences_->font());
    const double scale = std::max(1.0, metrics.height() / 13.0);
    const int columnWidth = std::max(static_cast<int>(std::lround(140 * scale)),
                                     metrics.horizontalAdvance(Q("Bez podkreślenia (Underline)")) +
                                         metrics.averageCharWidth() * 2);
    lvSequences_->setColumnWidth(0, columnWidth);
    lvSequences_->setColumnWidth(1, columnWidth);
    lvSequences_->setFixedWidth(2 * columnWidth + 2 * lvSequences_->frameWidth() +
                                lvSequences_->verticalScrollBar()->sizeHint().width());
    lvSequences_->setMinimumHeight(metrics.lineSpacing() * 14);
    connect(header, &QHeaderView::sectionClicked, this, [this](int column) { SortBy(column); });
    connect(lvSequences_, &QTableWidget::cellDoubleClicked, this, [this] { CopySelectedRow(); });

    cbTrybEdycjiSQ_ = new QCheckBox(QString::fromUtf8("Tryb edycji"), this);
    cbTrybEdycjiSQ_->setObjectName("cbTrybEdycjiSQ");
    connect(cbTrybEdycjiSQ_, &QCheckBox::toggled, this, [this](bool on) {
        core_.SetSequencesEditMode(on);
        // The list of meanings never changes; editing starts with none chosen.
        if (on) cbChooseSeq_->setCurrentIndex(-1);
        ShowEditMode();
    });
    btDelSequence_ = Button("btDelSequence", "&Usuń", this);
    connect(btDelSequence_, &QPushButton::clicked, this, [this] { DeleteSequence(); });

    cbIgnorePCL_ = new QCheckBox(QString::fromUtf8("Ignoruj komendy HP-PCL"), this);
    cbIgnorePCL_->setObjectName("cbIgnorePCL");
    connect(cbIgnorePCL_, &QCheckBox::toggled, this,
            [this](bool on) { core_.UpdateSettings([on](AppSettings& s) { s.Ignore_PCL = on; }); });

    auto* side = new QVBoxLayout;
    side->addWidget(cbTrybEdycjiSQ_);
    side->addWidget(btDelSequence_, 0, Qt::AlignLeft);
    side->addWidget(BuildAddGroup());
    side->addStretch();
    auto* middle = new QHBoxLayout;
    middle->addWidget(lvSequences_);
    middle->addLayout(side, 1);
    // The printer language that reads what the table does not know.
    cbZestawKomend_ = new QComboBox(this);
    cbZestawKomend_->setObjectName("cbZestawKomend");
    for (std::string_view caption : kCommandSetCaptions) cbZestawKomend_->addItem(Q(caption));
    connect(cbZestawKomend_, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) core_.UpdateSettings([index](AppSettings& s) { s.CommandSet = index; });
    });
    auto* commandSetLabel = new QLabel(QString::fromUtf8("Zestaw komend drukarki:"), this);
    commandSetLabel->setBuddy(cbZestawKomend_);

    options_ = new QHBoxLayout;
    options_->addWidget(cbIgnorePCL_);
    options_->addStretch();
    options_->addWidget(commandSetLabel);
    options_->addWidget(cbZestawKomend_);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addLayout(middle, 1);
    layout->addLayout(options_);

    FillMeanings();
    ShowEditMode();
}

QWidget* TSequencesTab::BuildAddGroup() {
    auto* group = new QGroupBox(QString::fromUtf8("Dodaj sekwencje"), this);
    edAddSequence_ = new QLineEdit(group);
    edAddSequence_->setObjectName("edAddSequence");
    cbChooseSeq_ = new QComboBox(group);
    cbChooseSeq_->setObjectName("cbChooseSeq");
    cbChooseSeq_->setMaxVisibleItems(kMeaningCount);
    btAddSequence_ = Button("btAddSequence", "&Dodaj", group);
    connect(btAddSequence_, &QPushButton::clicked, this, [this] { AddSequence(); });
    auto* sequenceLabel = new QLabel(QString::fromUtf8("Sekwencja sterująca"), group);
    sequenceLabel->setBuddy(edAddSequence_);
    auto* meaningLabel = new QLabel(QString::fromUtf8("Znaczenie"), group);
    meaningLabel->setBuddy(cbChooseSeq_);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(sequenceLabel);
    layout->addWidget(edAddSequence_);
    layout->addWidget(meaningLabel);
    layout->addWidget(cbChooseSeq_);
    layout->addWidget(btAddSequence_, 0, Qt::AlignLeft);
    return group;
}

void TSequencesTab::Refresh() {
    name_->ShowName(core_.SequencesName());
    {
        const QSignalBlocker block(cbIgnorePCL_);
        cbIgnorePCL_->setChecked(core_.Settings().Ignore_PCL);
        const QSignalBlocker blockSet(cbZestawKomend_);
        cbZestawKomend_->setCurrentIndex(core_.Settings().CommandSet);
    }
    ShowEditMode();
    ShowSequences();
}

void TSequencesTab::ShowSequences() {
    const auto rows = SequenceRows(core_.ActiveSequences(), sortColumn_);
    lvSequences_->clearSelection();
    lvSequences_->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        const TSequenceRow& entry = rows[static_cast<std::size_t>(row)];
        auto* code = new QTableWidgetItem(Q(entry.code));
        code->setData(Qt::UserRole, static_cast<qulonglong>(entry.index));
        lvSequences_->setItem(row, 0, code);
        lvSequences_->setItem(row, 1, new QTableWidgetItem(Q(entry.meaning)));
    }
    lvSequences_->setCurrentCell(-1, -1);
}

void TSequencesTab::SortBy(int column) {
    sortColumn_ = column;
    lvSequences_->horizontalHeader()->setSortIndicator(column, Qt::AscendingOrder);
    // The selected entry stays selected in its new place.
    const int selected = SelectedIndex();
    ShowSequences();
    for (int row = 0; row < lvSequences_->rowCount() && selected >= 0; ++row) {
        if (lvSequences_->item(row, 0)->data(Qt::UserRole).toInt() == selected) {
            lvSequences_->selectRow(row);
            break;
        }
    }
}

int TSequencesTab::SelectedIndex() const {
    const auto rows = lvSequences_->selectionModel()->selectedRows();
    if (rows.isEmpty()) return -1;
    const QTableWidgetItem* item = lvSequences_->item(rows.first().row(), 0);
    return item != nullptr ? item->data(Qt::UserRole).toInt() : -1;
}

void TSequencesTab::AddSequence() {
    const auto message = AddTypedSequence(
        core_.EditSequences(), edAddSequence_->text().toStdString(), cbChooseSeq_->currentIndex());
    if (message) {
        if (showMessage_) showMessage_(*message);
        return;
    }
    ShowSequences();
}

void TSequencesTab::DeleteSequence() {
    const int index = SelectedIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= core_.ActiveSequences().size()) return;
    core_.EditSequences().Remove(static_cast<std::size_t>(index));
    ShowSequences();
}

void TSequencesTab::CopySelectedRow() {
    const int index = SelectedIndex();
    if (!core_.SequencesEditMode() || index < 0) return;
    const TEscapeSequence& entry = core_.ActiveSequences()[static_cast<std::size_t>(index)];
    edAddSequence_->setText(QString::fromStdString(SequenceToText(entry.Sequence)));
    // A stored meaning without a name has no place in the list: nothing is chosen.
    cbChooseSeq_->setCurrentIndex(MeaningDisplayPosition(entry.Meaning));
}

void TSequencesTab::ShowEditMode() {
    const bool on = core_.SequencesEditMode();
    {
        const QSignalBlocker block(cbTrybEdycjiSQ_);
        cbTrybEdycjiSQ_->setChecked(on);
    }
    for (QWidget* control : std::initializer_list<QWidget*>{
             name_->SaveButton(), btDelSequence_, edAddSequence_, cbChooseSeq_, btAddSequence_}) {
        control->setEnabled(on);
    }
}

void TSequencesTab::FillMeanings() {
    cbChooseSeq_->clear();
    for (const TSequenceMeaning m : MeaningDisplayOrder()) cbChooseSeq_->addItem(Q(MeaningName(m)));
    cbChooseSeq_->setCurrentIndex(-1);
}

}  // namespace quernel
