#include "ui/QueueSettingsDialog.h"

#include <QComboBox>
#include <QFormLayout>
#include <QLabel>
#include <QPageLayout>
#include <QPageSize>
#include <QVBoxLayout>

#include "platform/QtPrinterPlatform.h"
#include "ui/Controls.h"
#include "ui/DialogButtons.h"

namespace quernel {

namespace {

// Object names of the settings' boxes.
const char* BoxName(const std::string& setting) {
    if (setting == "media") return "cbQueuePaper";
    if (setting == "media-source") return "cbQueueTray";
    if (setting == "sides") return "cbQueueDuplex";
    if (setting == "print-quality") return "cbQueueQuality";
    return "cbQueueSetting";
}

}  // namespace

TdlgQueueSettings::TdlgQueueSettings(const std::string& queue,
                                     const std::vector<TQueueSetting>& settings,
                                     const TQueueOptions& chosen, QWidget* parent)
    : QDialog(parent) {
    setObjectName("dlgQueueSettings");
    setWindowTitle(Q("Ustawienia drukarki: ") + QString::fromStdString(queue));
    auto* form = new QFormLayout;
    for (const TQueueSetting& setting : settings) {
        auto* box = new QComboBox(this);
        box->setObjectName(BoxName(setting.name));
        const auto it = chosen.find(setting.name);
        const std::string current = it != chosen.end() ? it->second : setting.defaultChoice;
        for (const auto& [keyword, text] : setting.choices) {
            box->addItem(QString::fromStdString(text), QString::fromStdString(keyword));
            if (keyword == current) box->setCurrentIndex(box->count() - 1);
        }
        auto* label = new QLabel(QString::fromStdString(setting.caption), this);
        label->setBuddy(box);
        box->setAccessibleName(label->text());
        form->addRow(label, box);
        boxes_.emplace_back(setting, box);
    }
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(AcceptRejectRow(*this));
    // The title is never cut.
    setMinimumWidth(std::max(fontMetrics().averageCharWidth() * 50,
                             fontMetrics().horizontalAdvance(windowTitle()) + 160));
}

TQueueOptions TdlgQueueSettings::Chosen() const {
    TQueueOptions options;
    for (const auto& [setting, box] : boxes_) {
        const std::string keyword = box->currentData().toString().toStdString();
        if (!keyword.empty() && keyword != setting.defaultChoice) options[setting.name] = keyword;
    }
    return options;
}

TPrinterSettings::TPrinterSettings(QtPrinterPlatform& platform, TActions actions, QWidget* parent)
    : platform_(platform), actions_(std::move(actions)), parent_(parent) {
    if (!actions_.readSettings) actions_.readSettings = ReadQueueSettings;
    if (!actions_.paperSize) actions_.paperSize = ReadQueuePaperSize;
}

bool TPrinterSettings::Execute(IPrinterPlatform& printer) {
    const std::string current = CurrentPrinterName(printer);
    if (current.empty()) return false;
    if (current == QtPrinterPlatform::kPdfPrinterName) {
        if (actions_.choosePdfFolder) actions_.choosePdfFolder();
        return false;
    }
    const std::vector<TQueueSetting> settings = actions_.readSettings(current);
    if (settings.empty()) {
        if (actions_.showMessage) {
            actions_.showMessage("Drukarka \"" + current +
                                 "\" nie podaje ustawień do wyboru (papier, podajnik, druk "
                                 "dwustronny, jakość); drukuje z własnymi ustawieniami.");
        }
        return false;
    }
    TdlgQueueSettings dialog(current, settings, platform_.JobOptions(current), parent_);
    if (dialog.exec() != QDialog::Accepted) return false;
    const TQueueOptions chosen = dialog.Chosen();
    platform_.SetJobOptions(current, chosen);
    // A paper of the queue's own list: the pages are laid out on it.
    const auto media = chosen.find("media");
    if (media != chosen.end()) {
        if (const auto size = actions_.paperSize(current, media->second)) {
            const QPageSize page(QSizeF(size->width, size->length), QPageSize::Millimeter,
                                 QString(), QPageSize::FuzzyMatch);
            platform_.SetPageLayout(
                current, QPageLayout(page, QPageLayout::Portrait,
                                     QMarginsF(size->left, size->top, size->right, size->bottom),
                                     QPageLayout::Millimeter));
        }
    } else {
        platform_.SetPageLayout(current, QPageLayout());
    }
    return true;
}

}  // namespace quernel
