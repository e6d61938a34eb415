#include "ui/Splash.h"

#include <QGuiApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

namespace quernel {

namespace {

constexpr int kSize = 300;
constexpr double kOpacity = 220.0 / 255.0;

}  // namespace

TSplashForm::TSplashForm() : picture_(Picture()) {
    setObjectName("SplashForm");
    setWindowFlags(Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kSize, kSize);
    setWindowOpacity(kOpacity);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.center() - QPoint(kSize / 2, kSize / 2));
    }
}

QImage TSplashForm::Picture() {
    QImage image(kSize, kSize, QImage::Format_ARGB32_Premultiplied);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, kSize);
    sky.setColorAt(0, QColor(0x1d, 0x3b, 0x6e));
    sky.setColorAt(1, QColor(0x0b, 0x18, 0x30));
    p.fillRect(image.rect(), sky);

    // A sheet of continuous paper with its punched margins, slightly turned.
    p.save();
    p.translate(150, 116);
    p.rotate(-6);
    const QRectF sheet(-80, -95, 160, 190);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0, 0, 0, 90));
    p.drawRect(sheet.translated(5, 6));
    p.setBrush(QColor(0xfb, 0xfa, 0xf2));
    p.drawRect(sheet);
    p.setBrush(QColor(0xd8, 0xec, 0xd8));
    for (int band = 0; band < 6; ++band) {
        p.drawRect(QRectF(-62, -80 + band * 30, 124, 14));
    }
    p.setBrush(QColor(0x1d, 0x3b, 0x6e));
    for (int hole = 0; hole < 12; ++hole) {
        const double y = -88 + hole * 16;
        p.drawEllipse(QPointF(-72, y), 3, 3);
        p.drawEllipse(QPointF(72, y), 3, 3);
    }
    // Lines of text, as a DOS program prints them.
    p.setBrush(QColor(0x33, 0x33, 0x33));
    const int widths[] = {90, 110, 70, 116, 100, 60, 112, 84, 96, 40};
    for (int line = 0; line < 10; ++line) {
        p.drawRect(QRectF(-58, -76 + line * 16, widths[line], 4));
    }
    p.restore();

    QFont title = p.font();
    title.setBold(true);
    title.setPixelSize(34);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 222, kSize, 40), Qt::AlignCenter, "Quernel");
    return image;
}

void TSplashForm::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, picture_);
    QFont font = p.font();
    font.setPixelSize(14);
    p.setFont(font);
    p.setPen(QColor(0xd0, 0xdc, 0xf0));
    p.drawText(QRect(0, 262, kSize, 26), Qt::AlignCenter, "Uruchamianie....");
}

}  // namespace quernel
