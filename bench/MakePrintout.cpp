// Writes a realistic DOS printout for the rendering benchmark, and the same text as plain
// UTF-8 for the system's text-to-PDF filters:
//   make_printout PAGES PRINTOUT.prn PLAIN.txt
// The printout has 66 lines of up to 80 characters per page in code page 852 with CR LF line
// ends, a form feed per page and about one ESC/P code per line (bold, underline, condensed,
// double width). The plain text has the codes stripped and LF line ends. Seeded: the same
// arguments give the same files.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "engine/CodePages.h"

namespace {

const std::vector<std::string> kWords = {
    "faktura",    "VAT",     "nr",      "z",        "dnia",      "sprzedawca", "nabywca",
    "towar",      "usługa",  "ilość",   "cena",     "netto",     "brutto",     "wartość",
    "razem",      "do",      "zapłaty", "termin",   "płatności", "przelew",    "gotówka",
    "konto",      "bank",    "NIP",     "REGON",    "ulica",     "miasto",     "Łódź",
    "Kraków",     "Gdańsk",  "Poznań",  "Wrocław",  "zażółć",    "gęślą",      "jaźń",
    "szt.",       "kg",      "m2",      "rabat",    "stawka",    "podatek",    "należność",
    "księgowość", "magazyn", "dostawa", "odbiorca", "wystawił",  "podpis",     "pieczęć",
};

// UTF-8 text to code page 852 bytes, through the table the renderer draws with.
std::string ToCp852(const std::string& utf8) {
    const auto& table = quernel::CodePageTable(quernel::CodePage::kCp852);
    std::string out;
    for (std::size_t i = 0; i < utf8.size();) {
        char32_t cp = static_cast<unsigned char>(utf8[i]);
        int extra = cp >= 0xF0 ? 3 : cp >= 0xE0 ? 2 : cp >= 0xC0 ? 1 : 0;
        if (extra > 0) cp &= (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) cp = (cp << 6) | (utf8[i + k] & 0x3F);
        i += 1 + extra;
        char byte = '?';
        for (int b = 0; b < 256; ++b) {
            if (table[b] == cp) {
                byte = static_cast<char>(b);
                break;
            }
        }
        out += byte;
    }
    return out;
}

std::size_t Utf8Length(const std::string& s) {
    std::size_t n = 0;
    for (unsigned char c : s) n += (c & 0xC0) != 0x80;
    return n;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: make_printout PAGES PRINTOUT.prn PLAIN.txt\n");
        return 2;
    }
    const int pages = std::atoi(argv[1]);
    std::ofstream prn(argv[2], std::ios::binary);
    std::ofstream plain(argv[3], std::ios::binary);
    std::mt19937 rng(20241207);
    const std::pair<const char*, const char*> codes[] = {{"\x1b"
                                                          "E",
                                                          "\x1b"
                                                          "F"},
                                                         {"\x1b"
                                                          "-1",
                                                          "\x1b"
                                                          "-0"},
                                                         {"\x0f", "\x12"},
                                                         {"\x0e", ""}};
    for (int page = 0; page < pages; ++page) {
        for (int line = 0; line < 66; ++line) {
            // A line of words, sometimes with an amount, up to 80 characters.
            std::string text;
            while (true) {
                std::string word = kWords[rng() % kWords.size()];
                if (rng() % 6 == 0)
                    word = std::to_string(rng() % 100000) + "," + std::to_string(10 + rng() % 90);
                if (Utf8Length(text) + 1 + Utf8Length(word) > 80) break;
                if (!text.empty()) text += ' ';
                text += word;
            }
            // About one code per line: around a word in the middle, or at the line start.
            const auto& [on, off] = codes[rng() % 4];
            const std::size_t cut = text.find(' ', text.size() / 2);
            std::string encoded;
            if (*off == '\0' || cut == std::string::npos) {
                encoded = on + ToCp852(text);
            } else {
                const std::size_t end = text.find(' ', cut + 1);
                encoded = ToCp852(text.substr(0, cut + 1)) + on +
                          ToCp852(text.substr(cut + 1, end - cut - 1)) + off +
                          (end == std::string::npos ? "" : ToCp852(text.substr(end)));
            }
            prn << encoded << "\r\n";
            plain << text << "\n";
        }
        prn << "\x0c";
        plain << "\x0c";
    }
    return prn && plain ? 0 : 1;
}
