// Writes a background picture for the picture benchmark: an A4 sheet at 300 dpi (2480 x 3508
// pixels) that looks like a scanned letterhead (a tinted paper with grain, a coloured logo and
// band, a frame, lines of grey text), as a JPEG (quality 90) and as a PNG:
//   make_picture PICTURE.jpg PICTURE.png
// Seeded: the same files every time.
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QImageWriter>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

#include <cstdio>
#include <random>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_picture PICTURE.jpg PICTURE.png\n");
        return 2;
    }
    QGuiApplication app(argc, argv);
    constexpr int kWidth = 2480, kHeight = 3508;
    QImage image(kWidth, kHeight, QImage::Format_RGB32);
    image.fill(QColor(250, 248, 240));
    std::mt19937 random(15);
    // Paper grain: every pixel a little lighter or darker.
    std::uniform_int_distribution<int> grain(-6, 6);
    for (int y = 0; y < kHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < kWidth; ++x) {
            const int d = grain(random);
            line[x] = qRgb(250 + std::min(d, 5), 248 + d, 240 + d);
        }
    }
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        QLinearGradient band(0, 0, kWidth, 0);
        band.setColorAt(0, QColor(20, 60, 140));
        band.setColorAt(1, QColor(120, 180, 230));
        painter.fillRect(0, 0, kWidth, 260, band);
        QRadialGradient logo(320, 520, 180);
        logo.setColorAt(0, QColor(230, 120, 30));
        logo.setColorAt(1, QColor(160, 30, 20));
        painter.setBrush(logo);
        painter.setPen(Qt::NoPen);
        painter.drawEllipse(QPoint(320, 520), 180, 180);
        painter.setPen(QPen(QColor(20, 60, 140), 6));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(120, 120, kWidth - 240, kHeight - 240);
        QFont font("DejaVu Sans");
        font.setPixelSize(90);
        font.setBold(true);
        painter.setFont(font);
        painter.setPen(QColor(20, 60, 140));
        painter.drawText(560, 560, "Przedsiębiorstwo Handlowe");
        font.setPixelSize(42);
        font.setBold(false);
        painter.setFont(font);
        painter.setPen(QColor(110, 110, 110));
        for (int row = 0; row < 6; ++row) {
            painter.drawText(560, 660 + row * 60,
                             "ul. Przykładowa 12, 00-950 Warszawa, NIP 000-000-00-00");
        }
        painter.drawText(200, kHeight - 200, "Bank: 00 0000 0000 0000 0000 0000 0000");
    }
    QImageWriter jpeg(QString::fromLocal8Bit(argv[1]), "jpeg");
    jpeg.setQuality(90);
    QImageWriter png(QString::fromLocal8Bit(argv[2]), "png");
    if (!jpeg.write(image) || !png.write(image)) {
        std::fprintf(stderr, "make_picture: cannot write the pictures\n");
        return 1;
    }
    return 0;
}
