#include "ui/QtPrinterSetupDialog.h"

#include <QPrintDialog>
#include <QPrinter>

#include "platform/QtPrinterPlatform.h"

namespace quernel {

bool QtPrinterSetupDialog::Execute(IPrinterPlatform& printer) {
    const auto names = printer.Printers();
    const int index = printer.PrinterIndex();
    const std::string current =
        index >= 0 && index < static_cast<int>(names.size()) ? names[index] : std::string();

    QPrinter device(QPrinter::HighResolution);
    if (current == QtPrinterPlatform::kPdfPrinterName) {
        device.setOutputFormat(QPrinter::PdfFormat);
    } else if (!current.empty()) {
        device.setPrinterName(QString::fromStdString(current));
    }
    if (!current.empty()) device.setPageLayout(platform_.PageLayout(current));

    QPrintDialog dialog(&device, parent_);
    dialog.setWindowTitle(QStringLiteral("Ustawienia drukarki"));
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage, false);
    if (dialog.exec() != QDialog::Accepted) return false;

    const std::string chosen = device.outputFormat() == QPrinter::PdfFormat
                                   ? std::string(QtPrinterPlatform::kPdfPrinterName)
                                   : device.printerName().toStdString();
    printer.SetPrinterIndex(FindPrinterByName(printer, chosen));
    platform_.SetPageLayout(chosen, device.pageLayout());
    return true;
}

}  // namespace quernel
