#pragma once

#include <QPointer>
#include <QString>
#include <deque>
#include <functional>
#include <string>

#include "host/ErrorReport.h"

class QWidget;

namespace quernel {

// The general error report of the windowed program: a message box with the error text, after
// which the program goes on. One box at a time: errors that arrive while a box is open (its
// event loop keeps timers running) wait behind it and are shown one after another; a message
// that is already waiting is not queued twice, and at most kMaxWaiting wait, so a failure that
// repeats every tick never piles up boxes. Made before the main window; the window becomes the
// boxes' parent once it exists.
class TErrorBox final : public IErrorReport {
  public:
    static constexpr std::size_t kMaxWaiting = 20;
    using ShowFunction = std::function<void(QWidget* parent, const QString& text)>;

    // `show` shows one box and returns when it is closed; empty: a critical QMessageBox.
    explicit TErrorBox(ShowFunction show = {});

    void SetParentWindow(QWidget* parent) { parent_ = parent; }
    void ShowError(const std::string& message) override;

    // Errors waiting behind the open box.
    std::size_t Waiting() const { return waiting_.size(); }

  private:
    ShowFunction show_;
    QPointer<QWidget> parent_;
    std::deque<std::string> waiting_;
    bool showing_ = false;
};

}  // namespace quernel
