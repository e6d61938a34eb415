#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QRect>

#include <cstdio>
#include <filesystem>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/PrinterPlatform.h"
#include "engine/RenderCommand.h"
#include "host/Bytes.h"
#include "host/Clock.h"
#include "host/FileUtil.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"

namespace quernel::test {

// Runs a shell command and answers what it wrote on standard output; throws when it fails.
inline std::string RunCommand(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot run " + command);
    std::string out;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    if (::pclose(pipe) != 0) throw std::runtime_error("failed: " + command);
    return out;
}

inline std::string Quote(const std::filesystem::path& path) {
    std::string out = "'";
    for (char c : path.string()) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

inline int PdfPageCount(const std::filesystem::path& pdf) {
    const std::string info = RunCommand("pdfinfo " + Quote(pdf));
    const auto at = info.find("Pages:");
    if (at == std::string::npos) throw std::runtime_error("no page count for " + pdf.string());
    return std::stoi(info.substr(at + 6));
}

// The text of one page (1-based), as poppler extracts it.
inline std::string PdfPageText(const std::filesystem::path& pdf, int page) {
    const std::string n = std::to_string(page);
    return RunCommand("pdftotext -f " + n + " -l " + n + " " + Quote(pdf) + " -");
}

// One page rasterised at `dpi`.
inline QImage RasterisePage(const std::filesystem::path& pdf, int page, int dpi,
                            const std::filesystem::path& folder) {
    const std::string n = std::to_string(page);
    const auto base = folder / ("page" + n);
    RunCommand("pdftoppm -r " + std::to_string(dpi) + " -f " + n + " -l " + n +
               " -singlefile -png " + Quote(pdf) + " " + Quote(base));
    QImage image;
    if (!image.load(QString::fromStdString(base.string() + ".png"))) {
        throw std::runtime_error("no raster of " + pdf.string());
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

// zlib data (RFC 1950) inflated; throws when it does not inflate.
inline std::string Inflate(std::string_view packed) {
    // qUncompress wants the size first; it is only a first guess.
    QByteArray data(4, '\0');
    data[0] = 0x01;  // 16 MiB
    data.append(packed.data(), static_cast<qsizetype>(packed.size()));
    const QByteArray plain = qUncompress(data);
    if (plain.isEmpty()) throw std::runtime_error("data that does not inflate");
    return std::string(plain.constData(), static_cast<std::size_t>(plain.size()));
}

// The data of every stream in a PDF file, inflated when it is FlateDecode-compressed, in file
// order. Reads the stream dictionaries' direct /Length, as Quernel writes them.
inline std::vector<std::string> PdfStreams(const std::filesystem::path& pdf) {
    const std::string file = ToString(ReadWholeFile(pdf));
    std::vector<std::string> streams;
    for (std::size_t at = file.find(">>\nstream\n"); at != std::string::npos;
         at = file.find(">>\nstream\n", at)) {
        const std::size_t open = file.rfind("<<", at);
        const std::string dictionary = file.substr(open, at - open);
        const std::size_t length = dictionary.find("/Length ");
        if (open == std::string::npos || length == std::string::npos) {
            throw std::runtime_error("a stream without /Length in " + pdf.string());
        }
        const std::size_t size = std::stoul(dictionary.substr(length + 8));
        const std::size_t begin = at + 10;
        std::string data = file.substr(begin, size);
        if (dictionary.find("/FlateDecode") != std::string::npos) data = Inflate(data);
        streams.push_back(std::move(data));
        at = begin + size;
    }
    return streams;
}

// One use of a picture, as pdfimages -list gives it.
struct TPdfImageUse {
    int page = 0;
    std::string type;  // image, stencil, smask, ...
    int width = 0;
    int height = 0;
    std::string color;  // gray, rgb, cmyk, ...
    int bitsPerComponent = 0;
    std::string encoding;  // image (Flate or none), jpeg, ...
    std::string object;    // "number generation"
};

inline std::vector<TPdfImageUse> PdfImageUses(const std::filesystem::path& pdf) {
    std::istringstream list(RunCommand("pdfimages -list " + Quote(pdf)));
    std::vector<TPdfImageUse> uses;
    std::string line;
    while (std::getline(list, line)) {
        std::istringstream fields(line);
        TPdfImageUse use;
        std::string number, comp, interp, generation;
        if (fields >> use.page >> number >> use.type >> use.width >> use.height >> use.color >>
            comp >> use.bitsPerComponent >> use.encoding >> interp >> use.object >> generation) {
            use.object += " " + generation;
            uses.push_back(use);
        }
    }
    return uses;
}

// What pdffonts lists for a PDF: one line per font.
inline std::string PdfFonts(const std::filesystem::path& pdf) {
    return RunCommand("pdffonts " + Quote(pdf));
}

inline std::set<std::string> FileNames(const std::filesystem::path& folder) {
    std::set<std::string> names;
    if (!std::filesystem::exists(folder)) return names;
    for (const auto& e : std::filesystem::directory_iterator(folder)) {
        names.insert(e.path().filename().string());
    }
    return names;
}

// The dark pixels of an area: their bounding box, count and centre.
struct TInk {
    QRect box;
    int count = 0;
    double centerX = 0;
    double centerY = 0;
};

inline TInk InkIn(const QImage& image, const QRect& area, int threshold = 128) {
    TInk ink;
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    const QRect clipped = area.intersected(image.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (qGray(image.pixel(x, y)) >= threshold) continue;
            ++ink.count;
            ink.centerX += x;
            ink.centerY += y;
            left = std::min(left, x);
            right = std::max(right, x);
            top = std::min(top, y);
            bottom = std::max(bottom, y);
        }
    }
    if (ink.count > 0) {
        ink.box = QRect(QPoint(left, top), QPoint(right, bottom));
        ink.centerX /= ink.count;
        ink.centerY /= ink.count;
    }
    return ink;
}

inline TFontDesc Font(const std::string& face, int height, int width, std::uint8_t charset = 238) {
    TFontDesc f;
    f.faceName = face;
    f.height = height;
    f.width = width;
    f.charset = charset;
    return f;
}

// "Zażółć gęślą jaźń" in Windows-1250 and in DOS code page 852.
// A word as pdftotext sees it, with its box (points from the top-left).
struct PdfWord {
    std::string text;
    double left, top, right, bottom;
    double Width() const { return right - left; }
    double Height() const { return bottom - top; }
};

// The words of one page of the PDF (page 0: of every page).
inline std::vector<PdfWord> PdfWords(const std::filesystem::path& pdf, int page = 0) {
    const std::string n = std::to_string(page);
    const std::string pages = page > 0 ? "-f " + n + " -l " + n + " " : "";
    std::istringstream html(RunCommand("pdftotext -bbox " + pages + Quote(pdf) + " -"));
    std::vector<PdfWord> words;
    std::string line;
    while (std::getline(html, line)) {
        PdfWord w{};
        char text[256] = {};
        if (std::sscanf(line.c_str(),
                        " <word xMin=\"%lf\" yMin=\"%lf\" xMax=\"%lf\" yMax=\"%lf\">%255[^<]",
                        &w.left, &w.top, &w.right, &w.bottom, text) == 5) {
            w.text = text;
            words.push_back(w);
        }
    }
    return words;
}

// The first word with the text; a test failure when there is none.
inline PdfWord FindWord(const std::vector<PdfWord>& words, const std::string& text) {
    for (const PdfWord& w : words) {
        if (w.text == text) return w;
    }
    ADD_FAILURE() << "no word " << text;
    return {};
}

inline const Bytes kPolishCp1250 = ToBytes("Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ja\x9F\xF1");
inline const Bytes kPolishCp852 = ToBytes("Za\xBE\xA2\x88\x86 g\xA9\x98l\xA5 ja\xAB\xE4");
inline const std::string kPolishUtf8 = "Zażółć gęślą jaźń";

// Prints as quernel-render does with these arguments, into the PDF file their "-o" names.
inline void RenderPdf(const std::vector<std::string>& arguments, const std::filesystem::path& pdf,
                      const IClock& clock) {
    const RenderArgs args = ParseRenderArgs(arguments);
    EXPECT_TRUE(args.error.empty()) << args.error;
    QtPrinterPlatform printer(clock);
    printer.SetOutputFile(pdf);
    QtPictureLoader pictures;
    std::ostringstream err;
    EXPECT_EQ(RunRender(args.options, printer, pictures, QUERNEL_SHIPPED_DATA_DIR, err), 0)
        << err.str();
}

}  // namespace quernel::test
