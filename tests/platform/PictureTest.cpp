#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <QBuffer>
#include <QImage>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine/RenderCommand.h"
#include "platform/QtPageCanvas.h"
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

    // A pixel of a picture decoded and compressed as RGB (FlateDecode, no predictor).
    static QRgb PixelOf(const IPicture& picture, int x, int y) {
        const TPdfImage& pdf = *dynamic_cast<const TPdfPicture&>(picture).PdfImage();
        EXPECT_NE(pdf.image.dictionary.find("/DeviceRGB/Filter/FlateDecode"), std::string::npos)
            << pdf.image.dictionary;
        const std::string pixels = test::Inflate(pdf.image.data);
        const auto at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(pdf.width) +
                         static_cast<std::size_t>(x)) *
                        3;
        if (pixels.size() < at + 3) return 0;
        const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(pixels[i]); };
        return qRgb(byte(at), byte(at + 1), byte(at + 2));
    }

    // Prints one page with the picture stretched over (60, 60)..(180, 180) at 60 dpi and
    // answers the PDF.
    fs::path PrintPicture(const IPicture& picture, const std::string& title) {
        QtPrinterPlatform printer;
        printer.SetTitle(title);
        printer.BeginDoc();
        printer.StretchDraw(TRect{600, 600, 1800, 1800}, picture);
        printer.EndDoc();
        return printer.LastOutputPath();
    }

    // The middles of the quarters of a 64 x 64 picture printed by PrintPicture are on the page as
    // in the source, and the page is white around it.
    void ExpectQuartersOnPage(const fs::path& pdf, const QImage& source) {
        const QImage page = test::RasterisePage(pdf, 1, 60, temp_.path());
        for (const QPoint point :
             {QPoint(90, 90), QPoint(150, 90), QPoint(90, 150), QPoint(150, 150)}) {
            const QRgb expected =
                source.pixel((point.x() - 60) * 64 / 120, (point.y() - 60) * 64 / 120);
            EXPECT_TRUE(Near(page.pixel(point), expected))
                << point.x() << "," << point.y() << ": " << std::hex << page.pixel(point) << " for "
                << expected;
        }
        EXPECT_TRUE(Near(page.pixel(55, 55), qRgb(255, 255, 255)));
    }

    // quernel-render of a test printout with the picture behind every page into out.pdf.
    int RenderWithBackground(const fs::path& picture, std::ostream& err) {
        const fs::path pdf = temp_ / "out.pdf";
        const RenderArgs args =
            ParseRenderArgs({(fs::path(QUERNEL_TEST_DATA_DIR) / "faktura_cp852.prn").string(),
                             "--background", picture.string(), "-o", pdf.string()});
        EXPECT_TRUE(args.error.empty()) << args.error;
        QtPrinterPlatform printer;
        printer.SetOutputFile(pdf);
        return RunRender(args.options, printer, loader_, QUERNEL_SHIPPED_DATA_DIR, err);
    }

    // Whether the page pixel is within 40 of the colour in every channel.
    static bool Near(QRgb got, QRgb expected) {
        return std::abs(qRed(got) - qRed(expected)) <= 40 &&
               std::abs(qGreen(got) - qGreen(expected)) <= 40 &&
               std::abs(qBlue(got) - qBlue(expected)) <= 40;
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
        ExpectQuartersOnPage(PrintPicture(*picture, name), Quadrants());
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
    const TPdfPicture picture(PdfImageFromImage(image));

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

// A 1-bit picture is a stencil: its dots black, the rest showing what lies beneath; the same
// bits drawn on every page are stored once. QtPageCanvas draws it the same way.
TEST_F(PlatformPicture, BitmapIsAStencilStoredOnceAndDrawnLikeTheCanvasDrawsIt) {
    // 32 x 8 dots: the left half a solid bar, the right half empty but for a dot in each corner.
    TBitmap bar = TBitmap::Blank(32, 8);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 16; ++x) bar.SetDot(x, y);
    }
    bar.SetDot(31, 0);
    bar.SetDot(31, 7);
    TBitmap other = bar;
    other.SetDot(20, 4);
    const TRect rect{600, 600, 1800, 900};  // 37.5 device pixels a dot across, 37.5 down
    const TFontDesc font = test::Font("Liberation Mono", 200, 120);

    QtPrinterPlatform printer;
    printer.SetTitle("stencil");
    printer.BeginDoc();
    for (int page = 0; page < 3; ++page) {
        if (page > 0) printer.NewPage();
        printer.TextOut(1300, 650, font, ToBytes("HH"));
        printer.DrawBitmap(rect, bar);
    }
    printer.DrawBitmap(TRect{600, 1200, 1800, 1500}, other);
    printer.EndDoc();
    const fs::path pdf = printer.LastOutputPath();

    const auto uses = test::PdfImageUses(pdf);
    ASSERT_EQ(uses.size(), 4u);
    std::set<std::string> objects;
    for (const auto& use : uses) {
        EXPECT_EQ(use.type, "stencil");
        EXPECT_EQ(use.bitsPerComponent, 1);
        EXPECT_EQ(use.width, 32);
        EXPECT_EQ(use.height, 8);
        objects.insert(use.object);
    }
    EXPECT_EQ(objects.size(), 2u);

    // At 60 dpi the bar is x 60..120, y 60..90; the text (x 130..154) shows through the empty
    // half; the corner dots are black.
    const QImage page = test::RasterisePage(pdf, 1, 60, temp_.path());
    EXPECT_EQ(page.pixel(90, 75), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(170, 75), qRgb(255, 255, 255));
    EXPECT_GT(test::InkIn(page, QRect(130, 65, 24, 20), 100).count, 20);
    EXPECT_EQ(page.pixel(178, 61), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(178, 88), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(170, 61), qRgb(255, 255, 255));

    QImage canvasImage(250, 200, QImage::Format_RGB32);
    canvasImage.fill(Qt::white);
    {
        QPainter painter(&canvasImage);
        painter.scale(0.1, 0.1);
        QtPageCanvas canvas;
        canvas.Begin(painter);
        canvas.DrawBitmap(rect, bar);
        canvas.End();
    }
    for (const QPoint p :
         {QPoint(90, 75), QPoint(170, 75), QPoint(178, 61), QPoint(178, 88), QPoint(170, 61)}) {
        EXPECT_EQ(qGray(canvasImage.pixel(p)) < 128, qGray(page.pixel(p)) < 128)
            << p.x() << "," << p.y();
    }
}

// A JPEG file is stored in the PDF as it is: its bytes are the image stream, read as DCT data
// with the file's size and colours; poppler draws it in place. Baseline and progressive colour
// files and gray ones.
TEST_F(PlatformPicture, JpegFileIsStoredAsItIs) {
    struct TCase {
        const char* name;
        bool gray;
        bool progressive;
    };
    for (const TCase c : {TCase{"baseline.jpg", false, false},
                          TCase{"progressive.jpg", false, true}, TCase{"gray.jpg", true, false}}) {
        SCOPED_TRACE(c.name);
        const fs::path file = temp_ / c.name;
        const QImage source =
            c.gray ? Quadrants().convertToFormat(QImage::Format_Grayscale8) : Quadrants();
        {
            QImageWriter writer(QString::fromStdString(file.string()), "jpeg");
            writer.setQuality(95);
            writer.setProgressiveScanWrite(c.progressive);
            ASSERT_TRUE(writer.write(source));
        }
        const auto picture = loader_.Load(file);
        ASSERT_NE(picture, nullptr);
        const fs::path pdf = PrintPicture(*picture, c.name);

        const auto uses = test::PdfImageUses(pdf);
        ASSERT_EQ(uses.size(), 1u);
        EXPECT_EQ(uses[0].encoding, "jpeg");
        EXPECT_EQ(uses[0].color, c.gray ? "gray" : "rgb");
        EXPECT_EQ(uses[0].width, 64);
        EXPECT_EQ(uses[0].height, 64);
        const std::string bytes = ToString(ReadWholeFile(file));
        const auto streams = test::PdfStreams(pdf);
        EXPECT_EQ(std::count(streams.begin(), streams.end(), bytes), 1);

        ExpectQuartersOnPage(pdf, source);
    }
}

// An opaque 8-bit PNG file's compressed pixels are the image stream as they are (with the PNG
// predictors): RGB, gray and palette files. Others are decoded and compressed: a file with
// transparent parts keeps them as a soft mask.
TEST_F(PlatformPicture, PngPixelsAreStoredAsTheyAreCompressed) {
    struct TCase {
        const char* name;
        QImage::Format format;
        const char* color;  // as pdfimages names it
    };
    for (const TCase c : {TCase{"rgb.png", QImage::Format_RGB32, "rgb"},
                          TCase{"gray.png", QImage::Format_Grayscale8, "gray"},
                          TCase{"palette.png", QImage::Format_Indexed8, "index"},
                          TCase{"alpha.png", QImage::Format_ARGB32, "rgb"}}) {
        SCOPED_TRACE(c.name);
        const fs::path file = temp_ / c.name;
        QImage source = Quadrants().convertToFormat(c.format);
        const bool alpha = c.format == QImage::Format_ARGB32;
        if (alpha) {
            for (int y = 0; y < 8; ++y) {
                for (int x = 0; x < 64; ++x) source.setPixel(x, y, qRgba(0, 0, 0, 0));
            }
        }
        ASSERT_TRUE(source.save(QString::fromStdString(file.string()), "PNG"));
        const auto picture = loader_.Load(file);
        ASSERT_NE(picture, nullptr);
        const fs::path pdf = PrintPicture(*picture, c.name);

        const auto uses = test::PdfImageUses(pdf);
        ASSERT_EQ(uses.size(), alpha ? 2u : 1u);
        EXPECT_EQ(uses[0].color, c.color);
        EXPECT_EQ(uses[0].width, 64);
        if (alpha) {
            EXPECT_EQ(uses[1].type, "smask");
        }
        // The file's one IDAT chunk: its data is in the PDF as it is, or not at all.
        const std::string bytes = ToString(ReadWholeFile(file));
        const std::size_t idat = bytes.find("IDAT");
        ASSERT_NE(idat, std::string::npos);
        std::size_t length = 0;
        for (std::size_t i = idat - 4; i < idat; ++i) {
            length = (length << 8) | static_cast<unsigned char>(bytes[i]);
        }
        const std::string pixels = bytes.substr(idat + 4, length);
        EXPECT_EQ(ToString(ReadWholeFile(pdf)).find(pixels) != std::string::npos, !alpha);

        ExpectQuartersOnPage(pdf, source);
        if (alpha) {
            // The transparent strip at the top shows the white page.
            const QImage page = test::RasterisePage(pdf, 1, 60, temp_.path());
            EXPECT_EQ(page.pixel(100, 62), qRgb(255, 255, 255));
        }
    }
}

// Adobe's CMYK JPEG files hold inverted values: stored as they are, the PDF says so, and the
// colours come out as the file means them rather than as their complements.
TEST_F(PlatformPicture, AdobeCmykJpegKeepsItsColours) {
    const fs::path file = fs::path(QUERNEL_TEST_DATA_DIR) / "adobe_cmyk.jpg";
    const auto picture = loader_.Load(file);
    ASSERT_NE(picture, nullptr);
    const fs::path pdf = PrintPicture(*picture, "cmyk");
    const auto uses = test::PdfImageUses(pdf);
    ASSERT_EQ(uses.size(), 1u);
    EXPECT_EQ(uses[0].encoding, "jpeg");
    EXPECT_EQ(uses[0].color, "cmyk");
    const auto streams = test::PdfStreams(pdf);
    EXPECT_EQ(std::count(streams.begin(), streams.end(), ToString(ReadWholeFile(file))), 1);

    // The left half cyan, the right half magenta.
    const QImage page = test::RasterisePage(pdf, 1, 60, temp_.path());
    const QRgb left = page.pixel(90, 120);
    const QRgb right = page.pixel(150, 120);
    EXPECT_LT(qRed(left), 80) << std::hex << left;
    EXPECT_GT(qGreen(left), 120) << std::hex << left;
    EXPECT_GT(qBlue(left), 180) << std::hex << left;
    EXPECT_GT(qRed(right), 180) << std::hex << right;
    EXPECT_LT(qGreen(right), 80) << std::hex << right;
    EXPECT_GT(qBlue(right), 80) << std::hex << right;
}

// A JPEG file cut short is no picture, though its start decodes (the rest would print gray,
// and a reader given the file as it is may refuse the page): the picture check says so, and a
// background set from it is cleared, so printouts go on without it; quernel-render refuses it
// with a message and writes nothing.
TEST_F(PlatformPicture, CutJpegIsNoPicture) {
    QByteArray whole;
    {
        QBuffer buffer(&whole);
        buffer.open(QIODevice::WriteOnly);
        ASSERT_TRUE(Quadrants().save(&buffer, "JPEG", 95));
    }
    const fs::path good = temp_ / "good.jpg";
    test::WriteFile(good, whole.toStdString());
    // Cut inside the compressed data, and just before the end marker.
    const qsizetype scan = whole.indexOf(QByteArray("\xFF\xDA", 2));
    ASSERT_GT(scan, 0);
    for (const qsizetype cut : {(scan + whole.size()) / 2, whole.size() - 2}) {
        SCOPED_TRACE(cut);
        const fs::path file = temp_ / ("cut" + std::to_string(cut) + ".jpg");
        test::WriteFile(file, whole.left(cut).toStdString());
        // What the file's own start says is not enough: it decodes.
        EXPECT_FALSE(QImage(QString::fromStdString(file.string())).isNull());

        EXPECT_EQ(loader_.Load(file), nullptr);
        TBackgroundPicture background(loader_);
        EXPECT_FALSE(background.PictureFileUsable(file));
        background.SetBackground(good, 5, 5, 5, 5);
        ASSERT_TRUE(background.HasPicture());
        background.SetBackground(file, 5, 5, 5, 5);
        EXPECT_FALSE(background.HasPicture());

        std::ostringstream err;
        EXPECT_EQ(RenderWithBackground(file, err), 1);
        EXPECT_NE(err.str().find("Nie można wczytać obrazu " + file.string()), std::string::npos)
            << err.str();
        EXPECT_FALSE(fs::exists(temp_ / "out.pdf"));
    }
    // The whole file prints under every page, stored once as it is.
    std::ostringstream err;
    ASSERT_EQ(RenderWithBackground(good, err), 0) << err.str();
    const auto uses = test::PdfImageUses(temp_ / "out.pdf");
    ASSERT_FALSE(uses.empty());
    for (const auto& use : uses) {
        EXPECT_EQ(use.encoding, "jpeg");
        EXPECT_EQ(use.object, uses[0].object);
    }
}

// The same file loaded again is the same picture, compressed once; a file written or replaced
// since (also with its old size and time) is read again.
TEST_F(PlatformPicture, ChangedPictureFileIsReadAgain) {
    // BMP files of one size are of one length whatever their colour.
    const auto save = [](QRgb colour, const fs::path& file) {
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(colour);
        return image.save(QString::fromStdString(file.string()), "BMP");
    };
    const fs::path file = temp_ / "logo.bmp";
    ASSERT_TRUE(save(qRgb(255, 0, 0), file));
    const auto red = loader_.Load(file);
    ASSERT_NE(red, nullptr);
    EXPECT_EQ(PixelOf(*red, 5, 5), qRgb(255, 0, 0));
    EXPECT_EQ(loader_.Load(file), red);

    // Replaced by another file under the name.
    const fs::path other = temp_ / "other.bmp";
    ASSERT_TRUE(save(qRgb(0, 0, 255), other));
    fs::rename(other, file);
    const auto blue = loader_.Load(file);
    ASSERT_NE(blue, nullptr);
    EXPECT_EQ(PixelOf(*blue, 5, 5), qRgb(0, 0, 255));

    // Written over in place, its time put back as it was.
    struct stat before {};
    ASSERT_EQ(::stat(file.c_str(), &before), 0);
    ASSERT_TRUE(save(qRgb(0, 255, 0), other));
    const std::string green = ToString(ReadWholeFile(other));
    ASSERT_EQ(green.size(), static_cast<std::size_t>(before.st_size));
    {
        std::ofstream out(file, std::ios::binary | std::ios::in | std::ios::out);
        out.write(green.data(), static_cast<std::streamsize>(green.size()));
    }
    const timespec times[2] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const auto again = loader_.Load(file);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(PixelOf(*again, 5, 5), qRgb(0, 255, 0));

    // Gone: no picture.
    fs::remove(file);
    EXPECT_EQ(loader_.Load(file), nullptr);
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
