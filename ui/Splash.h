#pragma once

#include <QImage>
#include <QWidget>

namespace quernel {

// The splash window shown while the program starts: borderless, on top of other windows,
// centred on the screen, a 300 x 300 picture with the line "Uruchamianie....", slightly
// transparent.
class TSplashForm final : public QWidget {
  public:
    TSplashForm();

    // The picture: a sheet of continuous printer paper on the program's colours.
    static QImage Picture();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QImage picture_;
};

}  // namespace quernel
