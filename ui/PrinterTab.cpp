#include "ui/PrinterTab.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>
#include <filesystem>

#include "engine/PrinterState.h"
#include "host/BW_log.h"
#include "host/Environment.h"
#include "monitor/QuernelCore.h"
#include "platform/QtPrinterPlatform.h"
#include "ui/Controls.h"
#include "ui/SettingBinder.h"
#include "ui/WindowDialogs.h"

namespace quernel {

namespace {

// A number field bound to a setting, with its object name and caption.
struct SpinField {
    const char* name;
    const char* setting;
    int AppSettings::*field;
    const char* caption;
};

}  // namespace

TPrinterTab::TPrinterTab(TSettingBinder& binder, IPrinterSetupDialog* setup,
                         std::function<IWindowDialogs&()> dialogs, QWidget* parent)
    : QWidget(parent),
      binder_(binder),
      core_(binder.Core()),
      setup_(setup),
      dialogs_(std::move(dialogs)) {
    setObjectName("tsDrukarka");
    cbPrinter_ = new QComboBox;
    cbPrinter_->setObjectName("cbPrinter");
    cbPrinter_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbPrinter_->setMinimumContentsLength(20);
    connect(cbPrinter_, &QComboBox::activated, this,
            [this](int index) { core_.Printers().SelectPrinter(index); });
    auto* btPrinter = Button("btPrinter", "&Ustawienia");
    btPrinter->setEnabled(setup_ != nullptr);
    connect(btPrinter, &QPushButton::clicked, this, [this] {
        if (setup_ != nullptr) core_.Printers().PrinterSetup(*setup_);
    });
    auto* cbAlwaysDefault =
        binder.Check("cbAlwaysDefault", "Zawsze domyślna", &AppSettings::AlwaysDefault);

    lbFont_ = new QListWidget;
    lbFont_->setObjectName("lbFont");
    connect(lbFont_, &QListWidget::currentRowChanged, this,
            [this](int row) { core_.Printers().SelectFont(row); });
    edSample_ = new QLineEdit(Q("aAąĄbBcCćĆ"));
    edSample_->setObjectName("edSample");
    edSample_->setReadOnly(true);

    labPrinterState_ = new QLabel;
    labPrinterState_->setObjectName("labPrinterState");
    labPrinterState_->setWordWrap(true);
    labPrinterState_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Where "Quernel PDF" writes, with the folder to open and another to choose.
    auto* pdf = new QGroupBox(Q("Pliki drukarki \"Quernel PDF\":"));
    pdf->setObjectName("gbPdfFolder");
    edPdfFolder_ = new QLineEdit;
    edPdfFolder_->setObjectName("edPdfFolder");
    edPdfFolder_->setReadOnly(true);
    edPdfFolder_->setAccessibleName(pdf->title());
    btChoosePdfFolder_ = Button("btChoosePdfFolder", "Z&mień folder...");
    auto* btOpenPdfFolder = Button("btOpenPdfFolder", "&Otwórz folder");
    connect(btChoosePdfFolder_, &QPushButton::clicked, this, [this] { ChoosePdfFolder(); });
    connect(btOpenPdfFolder, &QPushButton::clicked, this, [this] {
        const std::filesystem::path folder = core_.PdfFolder();
        std::error_code ec;
        std::filesystem::create_directories(folder, ec);
        dialogs_().OpenFolder(folder.string());
    });
    auto* pdfGrid = new QGridLayout(pdf);
    pdfGrid->addWidget(edPdfFolder_, 0, 0, 1, 3);
    pdfGrid->addWidget(btChoosePdfFolder_, 1, 1);
    pdfGrid->addWidget(btOpenPdfFolder, 1, 2);
    pdfGrid->setColumnStretch(0, 1);
    binder.OnRefresh([this] { RefreshPdfFolder(); });

    auto* left = new QGridLayout;
    left->addWidget(Label("D&rukarka:", cbPrinter_), 0, 0);
    left->addWidget(cbPrinter_, 0, 1);
    left->addWidget(btPrinter, 0, 2);
    left->addWidget(cbAlwaysDefault, 1, 1, 1, 2);
    left->addWidget(Label("Stan:", labPrinterState_), 2, 0, Qt::AlignTop);
    left->addWidget(labPrinterState_, 2, 1, 1, 2);
    left->addWidget(Label("&Czcionka:", lbFont_), 3, 0, Qt::AlignTop);
    left->addWidget(lbFont_, 3, 1, 1, 2);
    left->addWidget(Label("Przykład:", edSample_), 4, 0);
    left->addWidget(edSample_, 4, 1, 1, 2);
    left->addWidget(pdf, 5, 0, 1, 3);
    left->setRowStretch(3, 1);
    left->setColumnStretch(1, 1);

    auto* margins = new QGroupBox(Q("Marginesy [mm]:"));
    auto* marginGrid = new QGridLayout(margins);
    const SpinField marginFields[] = {{"edMgLeft", "MgLeft", &AppSettings::MgLeft, "Lewy:"},
                                      {"edMgTop", "MgTop", &AppSettings::MgTop, "Górny:"},
                                      {"edMgRight", "MgRight", &AppSettings::MgRight, "Prawy:"},
                                      {"edMgBottom", "MgBottom", &AppSettings::MgBottom, "Dolny:"}};
    for (int i = 0; i < 4; ++i) {
        const auto& f = marginFields[i];
        auto* spin = binder.Spin(f.name, f.setting, f.field);
        marginGrid->addWidget(Label(f.caption, spin), i / 2, (i % 2) * 2);
        marginGrid->addWidget(spin, i / 2, (i % 2) * 2 + 1);
    }

    auto* cbOrientacja =
        binder.Choice("cbOrientacja", {Q("ust.Windows"), Q("Poziomo"), Q("Pionowo")},
                      &AppSettings::PageOrientation);
    connect(cbOrientacja, &QComboBox::activated, this, [this] { core_.Printers().ApplyPrinter(); });
    auto* edCopies = binder.Spin("edCopies", "Copies", &AppSettings::Copies);
    auto* page = new QGridLayout;
    page->addWidget(Label("Orientacja:", cbOrientacja), 0, 0);
    page->addWidget(cbOrientacja, 0, 1);
    page->addWidget(Label("Liczba kopii", edCopies), 1, 0);
    page->addWidget(edCopies, 1, 1, Qt::AlignLeft);

    const auto grid = [&binder](const char* title, const char* charsName, const char* charsSetting,
                                int AppSettings::*chars, const char* linesName,
                                const char* linesSetting, int AppSettings::*lines) {
        auto* box = new QGroupBox(Q(title));
        auto* boxGrid = new QGridLayout(box);
        auto* charsSpin = binder.Spin(charsName, charsSetting, chars);
        auto* linesSpin = binder.Spin(linesName, linesSetting, lines);
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

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(left, 1);
    layout->addLayout(right);
}

QString TPrinterTab::StateText() const {
    const std::string printer = core_.Printers().SelectedPrinterName();
    if (printer.empty()) return {};
    if (printer == QtPrinterPlatform::kPdfPrinterName) {
        return QString::fromStdString(printer + ": zapisuje pliki PDF w folderze " +
                                      core_.PdfFolder().string());
    }
    const TPrinterWatch& watch = core_.PrinterWatch();
    if (watch.Printer() != printer || !watch.State()) return {};
    return QString::fromStdString(printer + ": " + DescribeQueueState(*watch.State()));
}

void TPrinterTab::RefreshPrinterState() {
    const std::string printer = core_.Printers().SelectedPrinterName();
    const TPrinterWatch& watch = core_.PrinterWatch();
    QString text;
    bool error = false;
    if (printer == QtPrinterPlatform::kPdfPrinterName) {
        text = Q("zapisuje pliki PDF (folder poniżej)");
    } else if (watch.Printer() == printer && watch.State()) {
        text = QString::fromStdString(DescribeQueueState(*watch.State()));
        if (!watch.State()->message.empty()) {
            text += " (" + QString::fromStdString(watch.State()->message) + ")";
        }
        error = IsErrorState(*watch.State());
    } else {
        text = printer.empty() ? Q("brak drukarki") : Q("nieznany");
    }
    labPrinterState_->setText(text);
    QPalette palette = labPrinterState_->palette();
    palette.setColor(QPalette::WindowText,
                     error ? QColor(192, 0, 0) : this->palette().color(QPalette::WindowText));
    labPrinterState_->setPalette(palette);
}

void TPrinterTab::RefreshPdfFolder() {
    const QString folder = QString::fromStdString(core_.PdfFolder().string());
    if (edPdfFolder_->text() != folder) edPdfFolder_->setText(folder);
    const bool fromEnvironment = GetEnv("QUERNEL_PDF_DIR").has_value();
    btChoosePdfFolder_->setEnabled(!fromEnvironment);
    edPdfFolder_->setToolTip(fromEnvironment ? Q("Folder ustawiony zmienną QUERNEL_PDF_DIR")
                                             : QString());
}

void TPrinterTab::ChoosePdfFolder() {
    if (GetEnv("QUERNEL_PDF_DIR")) return;
    const auto folder = dialogs_().ChoosePdfFolder(core_.PdfFolder().string());
    if (!folder) return;
    binder_.Change([&](AppSettings& s) { s.PdfFolder = *folder; });
    core_.Services().history.Add("Folder plików PDF: " + *folder);
    RefreshPrinterState();
}

void TPrinterTab::RefreshPrinters() {
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
    RefreshPrinterState();
}

}  // namespace quernel
