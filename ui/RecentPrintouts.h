#pragma once

#include <QImage>
#include <QWidget>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "host/Bytes.h"
#include "monitor/KeptPrintouts.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QTableWidget;

namespace quernel {

class TQuernelCore;

// The questions the window "Ostatnie wydruki" asks; tests answer them from a script.
class IRecentPrintoutsDialogs {
  public:
    virtual ~IRecentPrintoutsDialogs() = default;
    // The printer (one of `printers`, `current` proposed) and copies for printing again;
    // nothing when cancelled.
    virtual std::optional<TPrintChoice> ChooseReprint(const std::vector<std::string>& printers,
                                                      const std::string& current, int copies) = 0;
    // The PDF file to save into; nothing when cancelled.
    virtual std::optional<std::filesystem::path> ChoosePdfFile(
        const std::filesystem::path& proposed) = 0;
    // Whether the printout titled so is really to be deleted.
    virtual bool ConfirmDelete(const std::string& title) = 0;
    // Shows the file in the desktop's file manager (its folder, at least).
    virtual void ShowFile(const std::filesystem::path& file) = 0;
    virtual void ShowError(const std::string& text) = 0;
};

// "Ostatnie wydruki": the printouts Quernel kept, newest first, with what their records say and
// a failed one marked, and beside them the selected printout's pages as they print, drawn by the
// print engine page by page (with the settings it printed with, or the current ones), with page
// navigation, zoom and fit-to-width. Printouts can be printed again, saved as PDF, deleted, and
// a "Quernel PDF" printout's file shown; one waiting for a decision is printed or discarded.
// Resizable; the store and its rules are the core's (TKeptPrintouts).
class TfrmRecentPrintouts final : public QWidget {
  public:
    // Without dialogs, the real ones.
    TfrmRecentPrintouts(TQuernelCore& core, IRecentPrintoutsDialogs* dialogs = nullptr,
                        QWidget* parent = nullptr);
    ~TfrmRecentPrintouts() override;

    // Shows the window with the printout selected (the newest when empty or unknown).
    void ShowPrintout(const std::string& id = {});
    // Shows the store's list again, keeping the selection.
    void RefreshList();

    // The selected printout's id; empty when none.
    std::string SelectedId() const;
    // The page shown (1-based) and the page count (0 while not known).
    int Page() const { return page_; }
    int PageCount() const { return pageCount_; }
    // The image of the page shown, as drawn.
    const QImage& PageImage() const { return image_; }
    // The zoom in per cent of the page's real size.
    int Zoom() const;

  protected:
    void resizeEvent(QResizeEvent* event) override;

  private:
    class QtDialogs;

    void SelectionChanged();
    void ShowButtons();
    void LoadSelected();
    void DrawPage();
    void CountPages();
    void GoToPage(int page);
    void SetZoom(int percent);
    void FitWidth();
    void Reprint();
    void PrintWaiting();
    void Discard();
    void SavePdf();
    void Delete();
    void ShowFile();
    const TPrintoutRecord* Selected() const;
    TPrintJobSetup PreviewSetup() const;

    TQuernelCore& core_;
    TKeptPrintouts& printouts_;
    std::unique_ptr<IRecentPrintoutsDialogs> ownDialogs_;
    IRecentPrintoutsDialogs* dialogs_;

    QTableWidget* lvPrintouts_ = nullptr;
    QComboBox* cbPreviewSettings_ = nullptr;
    QPushButton* btFirstPage_ = nullptr;
    QPushButton* btPrevPage_ = nullptr;
    QPushButton* btNextPage_ = nullptr;
    QPushButton* btLastPage_ = nullptr;
    QLabel* labPage_ = nullptr;
    QComboBox* cbZoom_ = nullptr;
    QCheckBox* cbFitWidth_ = nullptr;
    QScrollArea* saPreview_ = nullptr;
    QLabel* imgPage_ = nullptr;
    QLabel* labPreviewNote_ = nullptr;
    QPushButton* btPrint_ = nullptr;
    QPushButton* btDiscard_ = nullptr;
    QPushButton* btReprint_ = nullptr;
    QPushButton* btSavePdf_ = nullptr;
    QPushButton* btDelete_ = nullptr;
    QPushButton* btShowFile_ = nullptr;

    // The selected printout: its id, bytes and the page shown.
    std::string loadedId_;
    Bytes data_;
    int page_ = 0;
    int pageCount_ = 0;
    QImage image_;
    double zoom_ = 1.0;
    bool updatingList_ = false;
    bool refitQueued_ = false;
};

}  // namespace quernel
