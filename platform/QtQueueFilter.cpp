#include "platform/QtQueueFilter.h"

#include <QGuiApplication>
#include <cstdlib>

#include "platform/QtEnvironment.h"
#include "platform/QtFontSource.h"
#include "platform/QtPicture.h"
#include "platform/QueueFilter.h"

namespace quernel {

namespace {

// Qt's lightest platform, with the system's fonts through fontconfig: nothing is shown, and it
// loads fewer libraries than the offscreen one.
struct TQtFilterEnvironment {
    TQtFilterEnvironment() {
        ::setenv("QT_QPA_PLATFORM", "minimal:enable_fonts", 1);
        PrepareQtEnvironment(false);
    }
};

class TQtDrawing final : public IFilterDrawing {
  public:
    explicit TQtDrawing(char* program) : argv_{program, nullptr}, app_(argc_, argv_) {}
    IFontSource& Fonts() override { return fonts_; }
    IPictureLoader& Pictures() override { return pictures_; }

  private:
    TQtFilterEnvironment environment_;
    int argc_ = 1;
    char* argv_[2];
    QGuiApplication app_;
    TQtFontSource fonts_;
    QtPictureLoader pictures_;
};

}  // namespace

int RunQtQueueFilter(int argc, char** argv) {
    char* program = argv[0];
    return RunQueueFilterWith(
        argc, argv, [program] { return std::make_unique<TQtDrawing>(program); }, true);
}

}  // namespace quernel
