#include "ui/CharMapTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "engine/CharMapEditing.h"
#include "monitor/QuernelCore.h"
#include "ui/Controls.h"
#include "ui/NamedTableBox.h"
#include "ui/TableNames.h"

namespace quernel {

namespace {

// Draws a cell's one glyph centred over the whole cell, so that a wide glyph in a narrow cell
// is neither cut by the item margins nor elided.
class GlyphDelegate final : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem opt = option;
        initStyleOption(&opt, index);
        const QString text = opt.text;
        opt.text.clear();
        const QWidget* widget = opt.widget;
        widget->style()->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
        painter->save();
        painter->setFont(opt.font);
        const bool selected = (opt.state & QStyle::State_Selected) != 0;
        painter->setPen(opt.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(opt.rect, Qt::AlignCenter, text);
        painter->restore();
    }
};

}  // namespace

TCharMapTab::TCharMapTab(TQuernelCore& core, QWidget* parent) : QWidget(parent), core_(core) {
    setObjectName("tsCharMap");
    setMouseTracking(true);
    scale_ = std::max(1.0, QFontMetricsF(font()).height() / 13.0);

    name_ = new TNamedTableBox({"cbPrzemapowanie", "btSaveCharMap", "Nazwa przemapowania:"}, this);
    name_->listNames() = [this] { return core_.ListCharMaps(); };
    name_->nameChanged = [this](const std::string& name) {
        const TCharMapRecord before = core_.ActiveCharMap();
        ChangeCharMapName(core_, name);
        if (core_.ActiveCharMap() != before) ShowMap();
    };
    name_->save = [this] {
        core_.SaveCharMap();
        ShowEditMode();
    };

    cbTrybEdycji_ = new QCheckBox(QString::fromUtf8("Tryb edycji"), this);
    cbTrybEdycji_->setObjectName("cbTrybEdycji");
    connect(cbTrybEdycji_, &QCheckBox::toggled, this, [this](bool on) {
        core_.SetCharMapEditMode(on);
        ShowEditMode();
    });
    cbCharset_ = new QComboBox(this);
    cbCharset_->setObjectName("cbCharset");
    for (const TCharset& charset : CharsetTable()) cbCharset_->addItem(Q(charset.name));
    connect(cbCharset_, &QComboBox::currentIndexChanged, this,
            [this](int index) { ChooseCharset(index); });
    auto* charsetLabel = new QLabel(QString::fromUtf8("Zestaw znaków:"), this);
    charsetLabel->setBuddy(cbCharset_);
    cbBoxLines_ = new QCheckBox(QString::fromUtf8("Rysuj ramki liniami"), this);
    cbBoxLines_->setObjectName("cbBoxLines");
    cbBoxLines_->setToolTip(QString::fromUtf8(
        "Ramki, bloki i cieniowanie strony kodowej DOS drukowane liniami wypełniającymi "
        "komórki znaków, jej znaki greckie i matematyczne takie, jak w niej"));
    connect(cbBoxLines_, &QCheckBox::toggled, this, [this](bool on) {
        core_.UpdateSettings([on](AppSettings& s) { s.BoxLines = on; });
        FillCharMapGrid();
    });

    sgCharMap_ = BuildGrid();

    edHint_ = new QLabel(this);
    edHint_->setObjectName("edHint");
    edHint_->setFocusPolicy(Qt::NoFocus);
    edHint_->setAttribute(Qt::WA_TransparentForMouseEvents);
    edHint_->setAutoFillBackground(true);
    // A line around it, so that it stands out over light cells too.
    edHint_->setFrameShape(QFrame::Box);
    QPalette tip = edHint_->palette();
    tip.setColor(QPalette::Window, tip.color(QPalette::ToolTipBase));
    tip.setColor(QPalette::WindowText, tip.color(QPalette::ToolTipText));
    edHint_->setPalette(tip);
    QFont hintFont = edHint_->font();
    hintFont.setBold(true);
    hintFont.setPixelSize(static_cast<int>(std::lround(16 * scale_)));
    edHint_->setFont(hintFont);
    edHint_->hide();

    edWarDec_ = Field("edWarDec", 3);
    edWarHex_ = Field("edWarHex", 2);
    edWar_ = Field("edWar", 1);
    edMapDec_ = Field("edMapDec", 3);
    edMapHex_ = Field("edMapHex", 2);
    edMap_ = Field("edMap", 1);
    for (QLineEdit* source : {edWarDec_, edWarHex_, edWar_}) source->setReadOnly(true);
    for (QLineEdit* mapped : {edMapDec_, edMapHex_, edMap_}) mapped->installEventFilter(this);

    auto* options = new QHBoxLayout;
    options->addWidget(cbTrybEdycji_);
    options->addSpacing(fontMetrics().averageCharWidth() * 4);
    options->addWidget(charsetLabel);
    options->addWidget(cbCharset_);
    options->addSpacing(fontMetrics().averageCharWidth() * 4);
    options->addWidget(cbBoxLines_);
    options->addStretch();

    auto* entry = new QHBoxLayout;
    auto* sourceLabel = new QLabel(QString::fromUtf8("Znak:"), this);
    sourceLabel->setBuddy(edWarDec_);
    auto* mappedLabel = new QLabel(QString::fromUtf8("Mapowanie:"), this);
    mappedLabel->setBuddy(edMapDec_);
    entry->addWidget(sourceLabel);
    for (QLineEdit* field : {edWarDec_, edWarHex_, edWar_}) entry->addWidget(field);
    entry->addSpacing(fontMetrics().averageCharWidth() * 4);
    entry->addWidget(mappedLabel);
    for (QLineEdit* field : {edMapDec_, edMapHex_, edMap_}) entry->addWidget(field);
    entry->addStretch();

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(name_);
    layout->addLayout(options);
    layout->addWidget(sgCharMap_, 0, Qt::AlignLeft);
    layout->addLayout(entry);
    layout->addStretch();

    ShowEditMode();
    ShowMap();
}

QTableWidget* TCharMapTab::BuildGrid() {
    auto* grid = new QTableWidget(kMapGridRows, kMapGridColumns, this);
    grid->setObjectName("sgCharMap");
    grid->horizontalHeader()->hide();
    grid->verticalHeader()->hide();
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setTabKeyNavigation(false);
    grid->setItemDelegate(new GlyphDelegate(grid));
    grid->setMouseTracking(true);
    grid->viewport()->setMouseTracking(true);
    grid->viewport()->installEventFilter(this);
    grid->installEventFilter(this);

    // Each section is one cell and its grid line.
    const int cellWidth = static_cast<int>(std::lround(kMapCellWidth * scale_));
    const int cellHeight = static_cast<int>(std::lround(kMapCellHeight * scale_));
    for (QHeaderView* header : {grid->horizontalHeader(), grid->verticalHeader()}) {
        header->setMinimumSectionSize(1);
        header->setSectionResizeMode(QHeaderView::Fixed);
    }
    grid->horizontalHeader()->setDefaultSectionSize(cellWidth + 1);
    grid->verticalHeader()->setDefaultSectionSize(cellHeight + 1);
    const int frame = grid->frameWidth();
    grid->setFixedSize(2 * frame + kMapGridColumns * (cellWidth + 1),
                       2 * frame + kMapGridRows * (cellHeight + 1));

    for (int row = 0; row < kMapGridRows; ++row) {
        for (int column = 0; column < kMapGridColumns; ++column) {
            auto* item = new QTableWidgetItem;
            if (row == 0 || column == 0) {
                // The header row and column stay empty and cannot be selected.
                item->setFlags(Qt::NoItemFlags);
                item->setBackground(palette().button());
            } else {
                item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
            }
            grid->setItem(row, column, item);
        }
    }
    grid->setCurrentCell(1, 1);
    connect(grid, &QTableWidget::currentCellChanged, this, [this] { ShowEntry(); });
    return grid;
}

QLineEdit* TCharMapTab::Field(const char* name, int characters) {
    auto* field = new QLineEdit(this);
    field->setObjectName(name);
    field->setAlignment(Qt::AlignCenter);
    const QFontMetrics metrics(field->font());
    field->setFixedWidth(metrics.horizontalAdvance(QString(characters + 2, QChar('W'))));
    return field;
}

void TCharMapTab::Refresh() {
    name_->ShowName(core_.CharMapName());
    ShowEditMode();
    ShowMap();
}

std::uint8_t TCharMapTab::SelectedSource() const {
    return CellSource({sgCharMap_->currentColumn(), sgCharMap_->currentRow()});
}

void TCharMapTab::ShowMap() {
    {
        const QSignalBlocker block(cbCharset_);
        const int index = core_.ActiveCharMap().CharsetIndex;
        cbCharset_->setCurrentIndex(index < kCharsetCount ? index : 0);
    }
    {
        const QSignalBlocker block(cbBoxLines_);
        cbBoxLines_->setChecked(core_.Settings().BoxLines);
    }
    FillCharMapGrid();
    ShowEntry();
    edHint_->hide();
}

void TCharMapTab::FillCharMapGrid() {
    const TCharMapRecord& map = core_.ActiveCharMap();
    const auto graphics =
        core_.Settings().BoxLines ? FindGraphics(map) : std::array<TGraphic, 256>{};
    for (int s = 0; s < 256; ++s) {
        const auto source = static_cast<std::uint8_t>(s);
        const TGridCell cell = SourceCell(source);
        sgCharMap_->item(cell.row, cell.column)
            ->setText(Q(PrintedGlyphText(map, graphics, source)));
    }
}

void TCharMapTab::ShowEntry() {
    const TCharMapFields fields = EntryFields(core_.ActiveCharMap(), SelectedSource());
    edWarDec_->setText(Q(fields.sourceDec));
    edWarHex_->setText(Q(fields.sourceHex));
    edWar_->setText(Q(fields.source));
    edMapDec_->setText(Q(fields.mappedDec));
    edMapHex_->setText(Q(fields.mappedHex));
    edMap_->setText(Q(fields.mapped));
}

void TCharMapTab::ShowHint(QPoint gridPoint) {
    const auto source = HoverSource(gridPoint.x(), gridPoint.y(), sgCharMap_->columnWidth(0),
                                    sgCharMap_->rowHeight(0));
    if (!source) {
        edHint_->hide();
        return;
    }
    edHint_->setText(Q(HoverText(core_.ActiveCharMap(), *source, core_.Settings().BoxLines)));
    edHint_->adjustSize();
    // Above the pointer, and always whole on the tab.
    const QPoint offset(static_cast<int>(std::lround(-10 * scale_)),
                        static_cast<int>(std::lround(-40 * scale_)));
    QPoint at = sgCharMap_->viewport()->mapTo(this, gridPoint) + offset;
    at.setX(std::clamp(at.x(), 0, std::max(0, width() - edHint_->width())));
    at.setY(std::clamp(at.y(), 0, std::max(0, height() - edHint_->height())));
    edHint_->move(at);
    edHint_->raise();
    edHint_->show();
}

bool TCharMapTab::eventFilter(QObject* watched, QEvent* event) {
    if (watched == sgCharMap_->viewport()) {
        if (event->type() == QEvent::MouseMove) {
            ShowHint(static_cast<QMouseEvent*>(event)->position().toPoint());
        } else if (event->type() == QEvent::Leave) {
            edHint_->hide();
        }
    } else if (watched == sgCharMap_) {
        if (event->type() == QEvent::FocusOut) edHint_->hide();
    } else if (event->type() == QEvent::FocusOut) {
        // An edit counts when the focus moves on inside the window (Tab, a click), not when a
        // context menu opens or another window is activated.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        auto* field = static_cast<QLineEdit*>(watched);
        if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason &&
            !field->isReadOnly() && field->isModified()) {
            CommitField(field);
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TCharMapTab::mouseMoveEvent(QMouseEvent* event) {
    edHint_->hide();
    QWidget::mouseMoveEvent(event);
}

void TCharMapTab::hideEvent(QHideEvent* event) {
    // Another tab, or the window hidden: the pointer is no longer over the grid.
    edHint_->hide();
    QWidget::hideEvent(event);
}

void TCharMapTab::CommitField(QLineEdit* field) {
    const std::string text = field->text().toStdString();
    std::optional<std::uint8_t> value;
    if (field == edMapDec_) {
        value = ParseDecimalByte(text);
    } else if (field == edMapHex_) {
        value = ParseHexByte(text);
    } else {
        value = ParseGlyphByte(text, MapCodePage(core_.ActiveCharMap()));
    }
    // Anything else is ignored and stays in the field until another cell is selected.
    if (!value) return;
    const std::uint8_t source = SelectedSource();
    core_.EditCharMap().Map[source] = *value;
    // With box lines a stand-in typed prints as the graphic character: the grid shows that.
    FillCharMapGrid();
    ShowEntry();
}

void TCharMapTab::ShowEditMode() {
    const bool on = core_.CharMapEditMode();
    {
        const QSignalBlocker block(cbTrybEdycji_);
        cbTrybEdycji_->setChecked(on);
    }
    for (QLineEdit* field : {edMapDec_, edMapHex_, edMap_}) field->setReadOnly(!on);
    cbCharset_->setEnabled(on);
    name_->SaveButton()->setEnabled(on);
}

void TCharMapTab::ChooseCharset(int index) {
    if (index < 0 || index >= kCharsetCount) return;
    core_.EditCharMap().CharsetIndex = static_cast<std::uint8_t>(index);
    FillCharMapGrid();
    ShowEntry();
}

}  // namespace quernel
