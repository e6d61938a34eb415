// PDF output measurement: pages of 80 x 66 characters of words (some with Polish letters)
// drawn through IPrinterPlatform into "Quernel PDF", one TextOut per character at the
// renderer's positions (x = Trunc(left + i * 59.05)), as quernel-render draws a printout.
//
//   quernel_pdf_bench [--pages N] [--text FILE] [--printout FILE] [--dry] OUTPUT_FOLDER
//
// prints the time of the drawing and of the whole document and the file size per page. It
// writes the same text as plain UTF-8 (LF line ends, a form feed after each page) to the
// --text file, for CUPS's texttopdf, and as a DOS printout (code page 852, CR LF, form feeds)
// to the --printout file, for quernel-render; --dry only writes them.
// bench/pdf_vs_texttopdf.sh runs all three under /usr/bin/time for the peak memory.

#include <stdlib.h>

#include <QGuiApplication>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/CodePages.h"
#include "platform/QtPrinterPlatform.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kColumns = 80;
constexpr int kLines = 66;
constexpr int kLeft = 118;  // 5 mm at 600 dpi
constexpr int kTop = 118;
constexpr int kLineHeight = 101;
constexpr double kAdvance = 59.05;

// Words of an invoice-like Polish text, a few English ones and numbers.
const char* const kWords[] = {
    "Zażółć",    "gęślą",      "jaźń",        "faktura", "numer",  "data",    "sprzedaży",
    "nabywca",   "sprzedawca", "ulica",       "Łódź",    "Kraków", "Gdańsk",  "Poznań",
    "wartość",   "netto",      "brutto",      "podatek", "VAT",    "złotych", "groszy",
    "ilość",     "cena",       "jednostkowa", "razem",   "do",     "zapłaty", "termin",
    "płatności", "przelew",    "konto",       "bank",    "towar",  "usługa",  "sztuk",
    "kilogram",  "metr",       "pozycja",     "rabat",   "uwagi",  "the",     "and",
    "of",        "invoice",    "total",       "amount",  "paid",   "due",     "1234",
    "56,78",     "2024-03-09", "100,00",      "23%",     "NIP:",   "PL",      "-",
    "w",         "z",          "na",          "i",       "że",     "się",     "jest",
    "był",       "który",      "może",        "będzie",  "także",  "przez",   "oraz",
    "dla",       "przy"};

// Unicode -> the code page's byte.
std::map<char32_t, std::uint8_t> Encoder(quernel::CodePage page) {
    std::map<char32_t, std::uint8_t> map;
    const auto& table = quernel::CodePageTable(page);
    for (int b = 0; b < 256; ++b) map.emplace(table[static_cast<std::size_t>(b)], b);
    return map;
}

std::u32string Decode(const std::string& utf8) {
    const QString text = QString::fromUtf8(utf8);
    std::u32string out;
    for (char32_t c : text.toUcs4()) out += c;
    return out;
}

// The pages as lines of code points, each at most kColumns long.
std::vector<std::u32string> MakeLines(int pages) {
    std::mt19937 random(12345);
    std::vector<std::u32string> words;
    for (const char* w : kWords) words.push_back(Decode(w));
    std::uniform_int_distribution<std::size_t> pick(0, words.size() - 1);
    std::vector<std::u32string> lines;
    for (int i = 0; i < pages * kLines; ++i) {
        std::u32string line;
        for (;;) {
            const std::u32string& w = words[pick(random)];
            if (line.size() + (line.empty() ? 0 : 1) + w.size() > kColumns) break;
            if (!line.empty()) line += U' ';
            line += w;
        }
        lines.push_back(line);
    }
    return lines;
}

void WritePrintout(const fs::path& path, const std::vector<std::u32string>& lines) {
    const auto cp852 = Encoder(quernel::CodePage::kCp852);
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        for (char32_t c : lines[i]) out << static_cast<char>(cp852.at(c));
        out << ((i + 1) % kLines == 0 ? "\f" : "\r\n");
    }
}

void WriteText(const fs::path& path, const std::vector<std::u32string>& lines) {
    std::ofstream out(path, std::ios::binary);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::string utf8;
        for (char32_t c : lines[i]) quernel::AppendUtf8(utf8, c);
        out << utf8 << '\n';
        if ((i + 1) % kLines == 0) out << '\f';
    }
}

}  // namespace

int main(int argc, char** argv) {
    int pages = 1000;
    fs::path textFile;
    fs::path printoutFile;
    fs::path folder;
    bool dry = false;  // prepare the text only: the baseline of a profile
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--pages") == 0 && i + 1 < argc) {
            pages = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--dry") == 0) {
            dry = true;
        } else if (std::strcmp(argv[i], "--text") == 0 && i + 1 < argc) {
            textFile = argv[++i];
        } else if (std::strcmp(argv[i], "--printout") == 0 && i + 1 < argc) {
            printoutFile = argv[++i];
        } else {
            folder = argv[i];
        }
    }
    if (folder.empty() || pages < 1) {
        std::fprintf(stderr,
                     "usage: quernel_pdf_bench [--pages N] [--text FILE] [--printout FILE] "
                     "[--dry] FOLDER\n");
        return 2;
    }
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("QUERNEL_PDF_DIR", folder.c_str(), 1);
    QGuiApplication app(argc, argv);

    const std::vector<std::u32string> lines = MakeLines(pages);
    if (!textFile.empty()) WriteText(textFile, lines);
    if (!printoutFile.empty()) WritePrintout(printoutFile, lines);
    const auto cp1250 = Encoder(quernel::CodePage::kCp1250);
    std::vector<std::vector<std::uint8_t>> bytes;
    for (const auto& line : lines) {
        std::vector<std::uint8_t> b;
        for (char32_t c : line) b.push_back(cp1250.at(c));
        bytes.push_back(std::move(b));
    }

    if (dry) return 0;
    quernel::QtPrinterPlatform printer;
    printer.SetPrinterIndex(quernel::FindPrinterByName(printer, "Quernel PDF"));
    quernel::TFontDesc font;
    font.faceName = "Liberation Mono";
    font.height = kLineHeight;
    font.width = static_cast<int>(kAdvance);
    font.charset = 238;

    const auto start = Clock::now();
    const std::clock_t cpuStart = std::clock();
    printer.SetTitle("Benchmark");
    printer.BeginDoc();
    std::size_t characters = 0;
    for (std::size_t l = 0; l < bytes.size(); ++l) {
        if (l > 0 && l % kLines == 0) printer.NewPage();
        const int y = kTop + static_cast<int>(l % kLines) * kLineHeight;
        const auto& line = bytes[l];
        for (std::size_t i = 0; i < line.size(); ++i) {
            const int x = static_cast<int>(kLeft + static_cast<double>(i) * kAdvance);
            printer.TextOut(x, y, font, quernel::ByteView(&line[i], 1));
        }
        characters += line.size();
    }
    const auto drawn = Clock::now();
    printer.EndDoc();
    const double ending = std::chrono::duration<double>(Clock::now() - drawn).count();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const double cpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;

    const auto size = fs::file_size(printer.LastOutputPath());
    std::printf("pages %d, characters %zu, EndDoc %.3f s\n", pages, characters, ending);
    std::printf("PDF: %.3f s (%.3f s CPU), %.2f KiB per page, %s\n", seconds, cpu,
                static_cast<double>(size) / 1024.0 / pages, printer.LastOutputPath().c_str());
    return 0;
}
