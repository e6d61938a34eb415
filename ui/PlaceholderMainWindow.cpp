// PLACEHOLDER: see PlaceholderMainWindow.h. Replaced by the real main window.
#include "ui/PlaceholderMainWindow.h"

#include <QCloseEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "host/CloseControl.h"
#include "host/VersionInfo.h"

namespace quernel {

namespace {

class PlaceholderWindow final : public QWidget, public IMainWindow, public IHistoryView {
  public:
    explicit PlaceholderWindow(TCloseControl& close) : close_(close) {
        setWindowTitle(kApplicationTitle);
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel("&Historia:", this));
        history_ = new QPlainTextEdit(this);
        history_->setReadOnly(true);
        history_->setLineWrapMode(QPlainTextEdit::NoWrap);
        layout->addWidget(history_);
        resize(640, 400);
    }
    void ShowAtStart() override { show(); }
    void Restore() override {
        showNormal();
        raise();
        activateWindow();
    }
    // Without a tray icon the window goes to the taskbar.
    void Minimise() override { showMinimized(); }
    void SetEnding() override {}
    void AppendLine(const std::string& line) override {
        history_->appendPlainText(QString::fromStdString(line));
    }

  protected:
    void closeEvent(QCloseEvent* event) override {
        if (close_.CloseRequested()) {
            event->accept();
        } else {
            event->ignore();
        }
    }

  private:
    TCloseControl& close_;
    QPlainTextEdit* history_;
};

class MessageBoxErrors final : public IErrorReport {
  public:
    void ShowError(const std::string& message) override {
        QMessageBox::critical(nullptr, kApplicationTitle, QString::fromStdString(message));
    }
};

}  // namespace

TWindowFactories PlaceholderWindowFactories() {
    TWindowFactories factories;
    factories.errorReport = [] { return std::make_unique<MessageBoxErrors>(); };
    factories.mainWindow = [](TMainWindowContext& context) {
        auto window = std::make_unique<PlaceholderWindow>(context.close);
        IHistoryView* history = window.get();
        return TMainWindowParts{std::move(window), history};
    };
    return factories;
}

}  // namespace quernel
