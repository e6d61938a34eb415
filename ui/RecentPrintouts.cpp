#include "ui/RecentPrintouts.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDialog>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QSplitter>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

#include "host/BW_log.h"
#include "host/FileUtil.h"
#include "monitor/QuernelCore.h"
#include "platform/PagePreview.h"
#include "platform/QtPrinterPlatform.h"
#include "ui/AppTitle.h"
#include "ui/Controls.h"
#include "ui/DialogButtons.h"

namespace quernel {

namespace {

enum Column { kTime, kSource, kTitle, kPrinter, kPages, kCopies, kResult, kError, kColumns };

constexpr int kZooms[] = {25, 50, 75, 100, 125, 150, 200, 300};

QString TimeText(TimePoint time) {
    return QString::fromStdString(TimeStamp(ToLocal(time)));
}

// "Drukuj ponownie": the printer, the current one first, and the copies.
class TdlgReprint final : public QDialog {
  public:
    TdlgReprint(const std::vector<std::string>& printers, const std::string& current, int copies,
                QWidget* parent)
        : QDialog(parent) {
        setObjectName("dlgReprint");
        setWindowTitle(Q("Drukuj ponownie"));
        cbPrinter_ = new QComboBox(this);
        cbPrinter_->setObjectName("cbReprintPrinter");
        for (const auto& name : printers) cbPrinter_->addItem(QString::fromStdString(name));
        cbPrinter_->setCurrentText(QString::fromStdString(current));
        edCopies_ = new QSpinBox(this);
        edCopies_->setObjectName("edReprintCopies");
        edCopies_->setRange(1, 100);
        edCopies_->setValue(copies);
        auto* form = new QFormLayout;
        form->addRow(Q("D&rukarka:"), cbPrinter_);
        form->addRow(Q("Liczba &kopii:"), edCopies_);
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form);
        layout->addLayout(AcceptRejectRow(*this, "&Drukuj", "btReprintOk", "btReprintCancel"));
        setMinimumWidth(fontMetrics().averageCharWidth() * 50);
    }
    TPrintChoice Choice() const {
        return {cbPrinter_->currentText().toStdString(), edCopies_->value(), false};
    }

  private:
    QComboBox* cbPrinter_;
    QSpinBox* edCopies_;
};

}  // namespace

// The real questions, modal over the window.
class TfrmRecentPrintouts::QtDialogs final : public IRecentPrintoutsDialogs {
  public:
    explicit QtDialogs(QWidget* parent) : parent_(parent) {}
    std::optional<TPrintChoice> ChooseReprint(const std::vector<std::string>& printers,
                                              const std::string& current, int copies) override {
        TdlgReprint dialog(printers, current, copies, parent_);
        if (dialog.exec() != QDialog::Accepted) return std::nullopt;
        return dialog.Choice();
    }
    std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& proposed) override {
        QFileDialog dialog(parent_, Q("Zapisz jako PDF"), QString::fromStdString(proposed.string()),
                           Q("Dokumenty PDF (*.pdf);;Wszystkie pliki (*)"));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setDefaultSuffix("pdf");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return std::filesystem::path(
            QFile::encodeName(dialog.selectedFiles().first()).toStdString());
    }
    bool ConfirmDelete(const std::string& title) override {
        QMessageBox box(QMessageBox::Question, Q(kAppTitle),
                        Q("Usunąć wydruk \"") + QString::fromStdString(title) + Q("\"?"),
                        QMessageBox::Yes | QMessageBox::No, parent_);
        box.button(QMessageBox::Yes)->setText(Q("&Usuń"));
        box.button(QMessageBox::No)->setText(Q("&Anuluj"));
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    }
    void ShowFile(const std::filesystem::path& file) override {
        QDesktopServices::openUrl(
            QUrl::fromLocalFile(QString::fromStdString(file.parent_path().string())));
    }
    void ShowError(const std::string& text) override {
        QMessageBox box(QMessageBox::Critical, Q(kAppTitle), QString::fromStdString(text),
                        QMessageBox::Ok, parent_);
        box.exec();
    }

  private:
    QWidget* parent_;
};

TfrmRecentPrintouts::TfrmRecentPrintouts(TQuernelCore& core, IRecentPrintoutsDialogs* dialogs,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), core_(core), printouts_(core.Printouts()), dialogs_(dialogs) {
    setObjectName("frmRecentPrintouts");
    setWindowTitle(Q("Ostatnie wydruki"));
    setWindowIcon(QuernelIcon());
    if (dialogs_ == nullptr) {
        ownDialogs_ = std::make_unique<QtDialogs>(this);
        dialogs_ = ownDialogs_.get();
    }

    lvPrintouts_ = new QTableWidget(0, kColumns);
    lvPrintouts_->setObjectName("lvPrintouts");
    lvPrintouts_->setHorizontalHeaderLabels({Q("Czas"), Q("Plik"), Q("Tytuł"), Q("Drukarka"),
                                             Q("Strony"), Q("Kopie"), Q("Wynik"), Q("Błąd")});
    lvPrintouts_->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvPrintouts_->setSelectionMode(QAbstractItemView::SingleSelection);
    lvPrintouts_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvPrintouts_->verticalHeader()->hide();
    lvPrintouts_->horizontalHeader()->setStretchLastSection(true);
    lvPrintouts_->setWordWrap(false);
    connect(lvPrintouts_, &QTableWidget::itemSelectionChanged, this, [this] {
        if (!updatingList_) SelectionChanged();
    });
    auto* listLabel = Label("&Wydruki (najnowsze na górze):", lvPrintouts_);

    cbPreviewSettings_ = new QComboBox;
    cbPreviewSettings_->setObjectName("cbPreviewSettings");
    cbPreviewSettings_->addItems({Q("z chwili wydruku"), Q("obecne")});
    connect(cbPreviewSettings_, &QComboBox::currentIndexChanged, this, [this] {
        pageCount_ = 0;
        GoToPage(1);
    });
    btFirstPage_ = Button("btFirstPage", "|<");
    btPrevPage_ = Button("btPrevPage", "<");
    btNextPage_ = Button("btNextPage", ">");
    btLastPage_ = Button("btLastPage", ">|");
    btFirstPage_->setToolTip(Q("Pierwsza strona"));
    btPrevPage_->setToolTip(Q("Poprzednia strona"));
    btNextPage_->setToolTip(Q("Następna strona"));
    btLastPage_->setToolTip(Q("Ostatnia strona"));
    for (QPushButton* b : {btFirstPage_, btPrevPage_, btNextPage_, btLastPage_}) {
        b->setAccessibleName(b->toolTip());
        b->setMaximumWidth(fontMetrics().horizontalAdvance("|<") * 3 + 16);
    }
    connect(btFirstPage_, &QPushButton::clicked, this, [this] { GoToPage(1); });
    connect(btPrevPage_, &QPushButton::clicked, this, [this] { GoToPage(page_ - 1); });
    connect(btNextPage_, &QPushButton::clicked, this, [this] { GoToPage(page_ + 1); });
    connect(btLastPage_, &QPushButton::clicked, this, [this] {
        CountPages();
        GoToPage(pageCount_);
    });
    labPage_ = new QLabel;
    labPage_->setObjectName("labPage");
    cbZoom_ = new QComboBox;
    cbZoom_->setObjectName("cbZoom");
    cbZoom_->setAccessibleName(Q("Powiększenie"));
    for (int zoom : kZooms) cbZoom_->addItem(QString::number(zoom) + " %", zoom);
    connect(cbZoom_, &QComboBox::activated, this, [this](int index) {
        cbFitWidth_->setChecked(false);
        SetZoom(cbZoom_->itemData(index).toInt());
    });
    cbFitWidth_ = new QCheckBox(Q("Do &szerokości"));
    cbFitWidth_->setObjectName("cbFitWidth");
    cbFitWidth_->setChecked(true);
    connect(cbFitWidth_, &QCheckBox::toggled, this, [this](bool on) {
        if (on) FitWidth();
    });

    imgPage_ = new QLabel;
    imgPage_->setObjectName("imgPage");
    imgPage_->setAlignment(Qt::AlignCenter);
    imgPage_->setBackgroundRole(QPalette::Dark);
    saPreview_ = new QScrollArea;
    saPreview_->setObjectName("saPreview");
    saPreview_->setBackgroundRole(QPalette::Dark);
    saPreview_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    saPreview_->setWidget(imgPage_);
    labPreviewNote_ = new QLabel;
    labPreviewNote_->setObjectName("labPreviewNote");
    labPreviewNote_->setWordWrap(true);

    auto* settingsRow = new QHBoxLayout;
    settingsRow->addWidget(Label("&Ustawienia podglądu:", cbPreviewSettings_));
    settingsRow->addWidget(cbPreviewSettings_);
    settingsRow->addStretch();
    auto* pageRow = new QHBoxLayout;
    pageRow->addWidget(btFirstPage_);
    pageRow->addWidget(btPrevPage_);
    pageRow->addWidget(labPage_);
    pageRow->addWidget(btNextPage_);
    pageRow->addWidget(btLastPage_);
    pageRow->addStretch();
    pageRow->addWidget(cbZoom_);
    pageRow->addWidget(cbFitWidth_);
    auto* previewPane = new QWidget;
    auto* previewLayout = new QVBoxLayout(previewPane);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    previewLayout->addLayout(settingsRow);
    previewLayout->addLayout(pageRow);
    previewLayout->addWidget(saPreview_, 1);
    previewLayout->addWidget(labPreviewNote_);

    auto* listPane = new QWidget;
    auto* listLayout = new QVBoxLayout(listPane);
    listLayout->setContentsMargins(0, 0, 0, 0);
    listLayout->addWidget(listLabel);
    listLayout->addWidget(lvPrintouts_, 1);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName("splPrintouts");
    splitter->addWidget(listPane);
    splitter->addWidget(previewPane);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    splitter->setChildrenCollapsible(false);

    btPrint_ = Button("btPrintWaiting", "&Drukuj");
    btDiscard_ = Button("btDiscard", "&Odrzuć");
    btReprint_ = Button("btReprint", "Drukuj &ponownie");
    btSavePdf_ = Button("btSavePdf", "Zapisz jako P&DF");
    btDelete_ = Button("btDeletePrintout", "&Usuń");
    btShowFile_ = Button("btShowFile", "Pokaż p&lik");
    auto* btClose = Button("btClosePrintouts", "&Zamknij");
    connect(btPrint_, &QPushButton::clicked, this, [this] { PrintWaiting(); });
    connect(btDiscard_, &QPushButton::clicked, this, [this] { Discard(); });
    connect(btReprint_, &QPushButton::clicked, this, [this] { Reprint(); });
    connect(btSavePdf_, &QPushButton::clicked, this, [this] { SavePdf(); });
    connect(btDelete_, &QPushButton::clicked, this, [this] { Delete(); });
    connect(btShowFile_, &QPushButton::clicked, this, [this] { ShowFile(); });
    connect(btClose, &QPushButton::clicked, this, &QWidget::close);
    auto* buttons = new QHBoxLayout;
    for (QPushButton* b : {btPrint_, btDiscard_, btReprint_, btSavePdf_, btDelete_, btShowFile_}) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(btClose);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(splitter, 1);
    layout->addLayout(buttons);

    const QFontMetrics metrics(font());
    resize(metrics.averageCharWidth() * 180, metrics.lineSpacing() * 40);
    lvPrintouts_->setMinimumWidth(metrics.averageCharWidth() * 50);
    saPreview_->setMinimumWidth(metrics.averageCharWidth() * 40);

    printouts_.Store().onChanged = [this] { RefreshList(); };
    RefreshList();
}

TfrmRecentPrintouts::~TfrmRecentPrintouts() {
    printouts_.Store().onChanged = nullptr;
}

const TPrintoutRecord* TfrmRecentPrintouts::Selected() const {
    return printouts_.Store().Find(SelectedId());
}

std::string TfrmRecentPrintouts::SelectedId() const {
    const int row = lvPrintouts_->currentRow();
    if (row < 0 || lvPrintouts_->selectedItems().isEmpty()) return {};
    return lvPrintouts_->item(row, kTime)->data(Qt::UserRole).toString().toStdString();
}

int TfrmRecentPrintouts::Zoom() const {
    return static_cast<int>(std::lround(zoom_ * 100));
}

void TfrmRecentPrintouts::RefreshList() {
    const std::string selected = SelectedId();
    const auto& records = printouts_.Store().Records();
    updatingList_ = true;
    lvPrintouts_->setRowCount(static_cast<int>(records.size()));
    int selectRow = -1;
    for (int row = 0; row < static_cast<int>(records.size()); ++row) {
        const TPrintoutRecord& r = records[static_cast<std::size_t>(row)];
        const QString texts[kColumns] = {
            TimeText(r.time),
            r.source.empty() ? Q("(wydrukowany ręcznie)") : QString::fromStdString(r.source),
            QString::fromStdString(r.title),
            QString::fromStdString(r.printer),
            r.pages > 0 ? QString::number(r.pages) : Q("–"),
            QString::number(r.copies),
            Q(PrintoutResultName(r.result)),
            QString::fromStdString(r.error).replace('\n', ' '),
        };
        for (int column = 0; column < kColumns; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (column == kError) item->setToolTip(QString::fromStdString(r.error));
            if (r.result == TPrintoutResult::kFailed) {
                item->setForeground(QColor(192, 0, 0));
                if (column == kResult) {
                    item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxCritical));
                }
            } else if (r.result == TPrintoutResult::kWaiting) {
                QFont bold = item->font();
                bold.setBold(true);
                item->setFont(bold);
                if (column == kResult) {
                    item->setIcon(style()->standardIcon(QStyle::SP_MessageBoxQuestion));
                }
            }
            lvPrintouts_->setItem(row, column, item);
        }
        lvPrintouts_->item(row, kTime)->setData(Qt::UserRole, QString::fromStdString(r.id));
        if (r.id == selected) selectRow = row;
    }
    lvPrintouts_->resizeColumnsToContents();
    for (int column : {kSource, kTitle, kError}) {
        lvPrintouts_->setColumnWidth(column, std::min(lvPrintouts_->columnWidth(column),
                                                      fontMetrics().averageCharWidth() * 40));
    }
    if (selectRow >= 0) lvPrintouts_->selectRow(selectRow);
    updatingList_ = false;
    if (selectRow < 0 && !records.empty() && !selected.empty()) lvPrintouts_->selectRow(0);
    SelectionChanged();
}

void TfrmRecentPrintouts::ShowPrintout(const std::string& id) {
    RefreshList();
    int row = 0;
    for (int r = 0; r < lvPrintouts_->rowCount(); ++r) {
        if (lvPrintouts_->item(r, kTime)->data(Qt::UserRole).toString().toStdString() == id) {
            row = r;
        }
    }
    if (lvPrintouts_->rowCount() > 0) lvPrintouts_->selectRow(row);
    setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfrmRecentPrintouts::SelectionChanged() {
    ShowButtons();
    const std::string id = SelectedId();
    if (id == loadedId_ && (!id.empty() || data_.empty())) return;
    LoadSelected();
}

void TfrmRecentPrintouts::ShowButtons() {
    const TPrintoutRecord* r = Selected();
    const bool waiting = r != nullptr && r->result == TPrintoutResult::kWaiting;
    btPrint_->setVisible(waiting);
    btDiscard_->setVisible(waiting);
    btReprint_->setVisible(!waiting);
    btReprint_->setEnabled(r != nullptr);
    btSavePdf_->setEnabled(r != nullptr);
    btDelete_->setEnabled(r != nullptr);
    btShowFile_->setEnabled(r != nullptr && !r->outputFile.empty());
}

void TfrmRecentPrintouts::LoadSelected() {
    loadedId_ = SelectedId();
    data_.clear();
    image_ = QImage();
    page_ = 0;
    pageCount_ = 0;
    labPreviewNote_->clear();
    if (loadedId_.empty()) {
        imgPage_->clear();
        imgPage_->adjustSize();
        labPage_->clear();
        return;
    }
    try {
        data_ = printouts_.Store().Data(loadedId_);
    } catch (const std::exception& e) {
        imgPage_->clear();
        labPreviewNote_->setText(QString::fromStdString(e.what()));
        labPage_->clear();
        return;
    }
    GoToPage(1);
}

TPrintJobSetup TfrmRecentPrintouts::PreviewSetup() const {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr) return {};
    return printouts_.SetupFor(*r, cbPreviewSettings_->currentIndex() == 1);
}

void TfrmRecentPrintouts::GoToPage(int page) {
    if (loadedId_.empty() || Selected() == nullptr) return;
    page_ = std::max(1, pageCount_ > 0 ? std::min(page, pageCount_) : page);
    if (cbFitWidth_->isChecked()) {
        FitWidth();  // draws the page
    } else {
        DrawPage();
    }
}

void TfrmRecentPrintouts::DrawPage() {
    if (loadedId_.empty() || page_ < 1) return;
    const TPrintJobSetup setup = PreviewSetup();
    const qreal ratio = devicePixelRatioF();
    const double dpi = logicalDpiX() * zoom_ * ratio;
    labPreviewNote_->clear();
    try {
        TPreviewPage drawn = TPagePreview::DrawPage(setup, data_, page_, dpi);
        if (drawn.pageCount > 0) pageCount_ = drawn.pageCount;
        if (drawn.image.isNull() && page_ > 1) {
            // Past the last page: the last one shows.
            pageCount_ = pageCount_ > 0 ? pageCount_ : page_ - 1;
            page_ = pageCount_;
            drawn = TPagePreview::DrawPage(setup, data_, page_, dpi);
        }
        image_ = drawn.image;
    } catch (const std::exception& e) {
        image_ = QImage();
        labPreviewNote_->setText(QString::fromStdString(e.what()));
    }
    if (setup.raw.enabled) {
        labPreviewNote_->setText(
            Q("Wydruk w trybie bezpośrednim (RAW): drukarka dostała bajty bez zmian; podgląd "
              "pokazuje, jak wyglądają narysowane przez Quernela."));
    }
    QPixmap pixmap = QPixmap::fromImage(image_);
    pixmap.setDevicePixelRatio(ratio);
    imgPage_->setPixmap(pixmap);
    imgPage_->adjustSize();
    if (pageCount_ == 0) {
        const TPrintoutRecord* r = Selected();
        if (r != nullptr && r->pages > 0 && cbPreviewSettings_->currentIndex() == 0) {
            pageCount_ = r->pages;
        } else {
            // Counted once the page shows: the first page never waits for a long printout.
            QTimer::singleShot(0, this, [this, id = loadedId_] {
                if (id == loadedId_ && pageCount_ == 0) CountPages();
            });
        }
    }
    labPage_->setText(Q("Strona ") + QString::number(page_) + Q(" z ") +
                      (pageCount_ > 0 ? QString::number(pageCount_) : Q("…")));
    btFirstPage_->setEnabled(page_ > 1);
    btPrevPage_->setEnabled(page_ > 1);
    btNextPage_->setEnabled(pageCount_ == 0 || page_ < pageCount_);
    btLastPage_->setEnabled(pageCount_ == 0 || page_ < pageCount_);
}

void TfrmRecentPrintouts::CountPages() {
    if (loadedId_.empty() || pageCount_ > 0) return;
    try {
        pageCount_ = TPagePreview::CountPages(PreviewSetup(), data_);
    } catch (const std::exception&) {
        pageCount_ = std::max(page_, 1);
    }
    labPage_->setText(Q("Strona ") + QString::number(page_) + Q(" z ") +
                      QString::number(pageCount_));
    btNextPage_->setEnabled(page_ < pageCount_);
    btLastPage_->setEnabled(page_ < pageCount_);
}

void TfrmRecentPrintouts::SetZoom(int percent) {
    zoom_ = percent / 100.0;
    DrawPage();
}

void TfrmRecentPrintouts::FitWidth() {
    TDeviceCaps caps = PreviewSetup().caps;
    if (caps.pageWidth <= 0 || caps.dpiX <= 0) caps = TPagePreview::DefaultCaps();
    const double sheetInches =
        static_cast<double>(caps.pageWidth + 2 * caps.physicalOffsetX) / caps.dpiX;
    // The room beside the vertical scroll bar, whether it shows yet or not: a page taller
    // than the view brings it in, and the width must not change with it.
    const QScrollBar* bar = saPreview_->verticalScrollBar();
    const int barWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, bar);
    const int room =
        saPreview_->viewport()->width() + (bar->isVisible() ? bar->width() : 0) - barWidth - 8;
    if (sheetInches <= 0 || room <= 0) return;
    zoom_ = std::clamp(room / (sheetInches * logicalDpiX()), 0.1, 4.0);
    const int index = cbZoom_->findData(Zoom());
    cbZoom_->setCurrentIndex(index);
    // A fitted zoom between the listed ones shows as the combo's text, with no item chosen.
    cbZoom_->setPlaceholderText(QString::number(Zoom()) + " %");
    DrawPage();
}

void TfrmRecentPrintouts::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // Once the layout has given the preview its new width.
    if (cbFitWidth_->isChecked() && !loadedId_.empty() && !refitQueued_) {
        refitQueued_ = true;
        QTimer::singleShot(0, this, [this] {
            refitQueued_ = false;
            if (cbFitWidth_->isChecked() && !loadedId_.empty()) FitWidth();
        });
    }
}

void TfrmRecentPrintouts::Reprint() {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr) return;
    const std::string id = r->id;
    std::string current = r->printer;
    const auto& names = core_.Printers().PrinterNames();
    if (std::find(names.begin(), names.end(), current) == names.end()) {
        current = core_.Printers().SelectedPrinterName();
    }
    auto choice = dialogs_->ChooseReprint(names, current, r->copies);
    if (!choice) return;
    choice->currentSettings = cbPreviewSettings_->currentIndex() == 1;
    printouts_.Print(id, *choice);
}

void TfrmRecentPrintouts::PrintWaiting() {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr) return;
    TPrintChoice choice;
    choice.printer = r->printer;
    choice.currentSettings = cbPreviewSettings_->currentIndex() == 1;
    printouts_.Print(r->id, choice);
}

void TfrmRecentPrintouts::Discard() {
    const TPrintoutRecord* r = Selected();
    if (r != nullptr) printouts_.Discard(r->id);
}

void TfrmRecentPrintouts::SavePdf() {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr) return;
    const std::string id = r->id;
    const std::filesystem::path proposed =
        core_.PdfFolder() /
        (DocumentFileStem(r->title.empty() ? kDefaultDocumentTitle : r->title, ToLocal(r->time)) +
         ".pdf");
    const auto file = dialogs_->ChoosePdfFile(proposed);
    if (!file) return;
    try {
        printouts_.SaveAsPdf(id, *file, cbPreviewSettings_->currentIndex() == 1);
        core_.Services().history.Add("Wydruk zapisany jako PDF: " + file->string());
    } catch (const std::exception& e) {
        dialogs_->ShowError(e.what());
    }
}

void TfrmRecentPrintouts::Delete() {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr) return;
    const std::string id = r->id;
    if (!dialogs_->ConfirmDelete(r->title.empty() ? TimeText(r->time).toStdString() : r->title)) {
        return;
    }
    printouts_.Delete(id);
}

void TfrmRecentPrintouts::ShowFile() {
    const TPrintoutRecord* r = Selected();
    if (r == nullptr || r->outputFile.empty()) return;
    std::error_code ec;
    if (!std::filesystem::exists(r->outputFile, ec)) {
        dialogs_->ShowError("Nie ma już pliku " + r->outputFile + ".");
        return;
    }
    dialogs_->ShowFile(r->outputFile);
}

}  // namespace quernel
