#include "ui/ErrorBox.h"

#include <QMessageBox>
#include <algorithm>

#include "ui/AppTitle.h"

namespace quernel {

TErrorBox::TErrorBox(ShowFunction show) : show_(std::move(show)) {
    if (!show_) {
        show_ = [](QWidget* parent, const QString& text) {
            QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kAppTitle), text,
                            QMessageBox::Ok, parent);
            // A file name in the text is shown as it is, never read as markup.
            box.setTextFormat(Qt::PlainText);
            box.exec();
        };
    }
}

void TErrorBox::ShowError(const std::string& message) {
    if (showing_) {
        if (waiting_.size() < kMaxWaiting &&
            std::find(waiting_.begin(), waiting_.end(), message) == waiting_.end()) {
            waiting_.push_back(message);
        }
        return;
    }
    showing_ = true;
    waiting_.push_back(message);
    while (!waiting_.empty()) {
        const std::string next = waiting_.front();
        waiting_.pop_front();
        show_(parent_, QString::fromStdString(next));
    }
    showing_ = false;
}

}  // namespace quernel
