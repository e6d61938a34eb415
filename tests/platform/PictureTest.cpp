#include <stdlib.h>

#include <QImage>

#include <map>
#include <sstream>

#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/Fifo.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;

class PlatformPicture : public ::testing::Test {
  protected:
    PlatformPicture() { ::setenv("QUERNEL_PDF_DIR", (temp_ / "pdf").c_str(), 1); }

    // 64 x 64 pixels in four quarters: red, green / blue, yellow.
    static QImage Quadrants() {
        QImage image(64, 64, QImage::Format_RGB32);
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                image.setPixel(x, y,
                               y < 32 ? (x < 32 ? qRgb(255, 0, 0) : qRgb(0, 255, 0))
                                      : (x < 32 ? qRgb(0, 0, 255) : qRgb(255, 255, 0)));
            }
        }
        return image;
    }

    test::TempDir temp_;
    QtPictureLoader loader_;
};

TEST_F(PlatformPicture, ImageFormatsLoadByContentOtherFilesDoNot) {
    const QImage image = Quadrants();
    ASSERT_TRUE(image.save(QString::fromStdString((temp_ / "pic.png").string()), "PNG"));
    ASSERT_TRUE(image.save(QString::fromStdString((temp_ / "pic.bmp").string()), "BMP"));
    ASSERT_TRUE(image.save(QString::fromStdString((temp_ / "png-inside.dat").string()), "PNG"));
    test::WriteFile(temp_ / "notes.png", std::string("not a picture\n"));
    test::WriteFile(temp_ / "empty.bmp", std::string());

    for (const char* name : {"pic.png", "pic.bmp", "png-inside.dat"}) {
        const auto picture = loader_.Load(temp_ / name);
        ASSERT_NE(picture, nullptr) << name;
        EXPECT_EQ(picture->Width(), 64);
        EXPECT_EQ(picture->Height(), 64);
        const auto& loaded = dynamic_cast<const QtPicture&>(*picture).Image();
        EXPECT_EQ(loaded.pixel(40, 40), qRgb(255, 255, 0)) << name;
    }
    EXPECT_EQ(loader_.Load(temp_ / "notes.png"), nullptr);
    EXPECT_EQ(loader_.Load(temp_ / "empty.bmp"), nullptr);
    EXPECT_EQ(loader_.Load(temp_ / "missing.png"), nullptr);
    EXPECT_EQ(loader_.Load(temp_.path()), nullptr);
}

// A pipe chosen as the picture would wait for a writer forever: it is no picture.
TEST_F(PlatformPicture, APipeIsNoPictureAndDoesNotBlock) {
    const fs::path fifo = temp_ / "logo.png";
    test::MakeFifo(fifo);
    std::shared_ptr<const IPicture> picture;
    EXPECT_TRUE(test::ReturnsWithoutAWriter(fifo, [&] { picture = loader_.Load(fifo); }));
    EXPECT_EQ(picture, nullptr);
    EXPECT_EQ(loader_.Load("/dev/zero"), nullptr);
}

// The picture fills its rectangle on the page; text drawn before it lies underneath, text
// drawn after it on top.
TEST_F(PlatformPicture, StretchDrawFillsTheRectangleInDrawingOrder) {
    const fs::path file = temp_ / "pic.png";
    ASSERT_TRUE(Quadrants().save(QString::fromStdString(file.string()), "PNG"));
    const auto picture = loader_.Load(file);
    ASSERT_NE(picture, nullptr);

    QtPrinterPlatform printer;
    const TFontDesc font = test::Font("Liberation Mono", 200, 120);
    printer.SetTitle("picture");
    printer.BeginDoc();
    printer.TextOut(650, 650, font, ToBytes("HH"));  // under the red quarter
    printer.StretchDraw(TRect{600, 600, 1800, 1800}, *picture);
    printer.TextOut(1250, 650, font, ToBytes("HH"));  // over the green quarter
    printer.EndDoc();

    // At 60 dpi a page pixel at 600 dpi is a tenth: the rectangle is 60..180.
    const QImage page = test::RasterisePage(printer.LastOutputPath(), 1, 60, temp_.path());
    const auto near = [&](int x, int y, QRgb expected) {
        const QRgb got = page.pixel(x, y);
        EXPECT_NEAR(qRed(got), qRed(expected), 40) << x << "," << y;
        EXPECT_NEAR(qGreen(got), qGreen(expected), 40) << x << "," << y;
        EXPECT_NEAR(qBlue(got), qBlue(expected), 40) << x << "," << y;
    };
    near(90, 150, qRgb(0, 0, 255));
    near(150, 150, qRgb(255, 255, 0));
    near(55, 55, qRgb(255, 255, 255));
    near(185, 185, qRgb(255, 255, 255));
    near(62, 178, qRgb(0, 0, 255));
    near(178, 62, qRgb(0, 255, 0));
    int notRed = 0;
    for (int y = 62; y < 118; ++y) {
        for (int x = 62; x < 118; ++x) {
            const QRgb got = page.pixel(x, y);
            if (qRed(got) < 215 || qGreen(got) > 40 || qBlue(got) > 40) ++notRed;
        }
    }
    EXPECT_EQ(notRed, 0);
    EXPECT_GT(test::InkIn(page, QRect(122, 62, 56, 56), 100).count, 50);
}

// A picture drawn on every page is stored once; its transparent part shows what lies beneath.
TEST_F(PlatformPicture, PictureOnEveryPageIsStoredOnceAndKeepsItsTransparency) {
    // The top half opaque blue, the bottom half transparent.
    QImage image(64, 64, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 64; ++x) image.setPixel(x, y, qRgba(0, 0, 255, 255));
    }
    const QtPicture picture(image);

    QtPrinterPlatform printer;
    printer.SetTitle("logo");
    printer.BeginDoc();
    for (int page = 0; page < 3; ++page) {
        if (page > 0) printer.NewPage();
        printer.TextOut(650, 1250, test::Font("Liberation Mono", 200, 120), ToBytes("HH"));
        printer.StretchDraw(TRect{600, 600, 1800, 1800}, picture);
    }
    printer.EndDoc();
    const fs::path pdf = printer.LastOutputPath();

    // pdfimages lists every use: page, number, type, ..., object number.
    std::istringstream list(test::RunCommand("pdfimages -list " + test::Quote(pdf)));
    std::string line;
    std::set<std::string> objects;
    std::map<std::string, int> uses;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        std::string page, number, type, width, height, color, comp, bpc, enc, interp, object;
        if (!(fields >> page >> number >> type >> width >> height >> color >> comp >> bpc >> enc >>
              interp >> object) ||
            (type != "image" && type != "smask")) {
            continue;
        }
        ++uses[type];
        objects.insert(type + " " + object);
    }
    EXPECT_EQ(uses["image"], 3);
    EXPECT_EQ(uses["smask"], 3);
    EXPECT_EQ(objects.size(), 2u);
    const std::string file = ToString(ReadWholeFile(pdf));
    std::size_t stored = 0;
    for (auto at = file.find("/Subtype/Image"); at != std::string::npos;
         at = file.find("/Subtype/Image", at + 1)) {
        ++stored;
    }
    EXPECT_EQ(stored, 2u);  // the picture and its transparency

    // At 60 dpi the rectangle is 60..180; its top half is blue, the text shows through below.
    const QImage page = test::RasterisePage(pdf, 3, 60, temp_.path());
    EXPECT_EQ(page.pixel(120, 90), qRgb(0, 0, 255));
    EXPECT_EQ(page.pixel(170, 170), qRgb(255, 255, 255));
    EXPECT_GT(test::InkIn(page, QRect(62, 122, 30, 22), 100).count, 20);
}

TEST_F(PlatformPicture, PictureOfAnotherPlatformIsRefused) {
    struct TForeign : IPicture {
        int Width() const override { return 1; }
        int Height() const override { return 1; }
    } foreign;
    QtPrinterPlatform printer;
    printer.BeginDoc();
    EXPECT_THROW(printer.StretchDraw(TRect{0, 0, 10, 10}, foreign), PrinterError);
    printer.AbortDoc();
}

}  // namespace
}  // namespace quernel
