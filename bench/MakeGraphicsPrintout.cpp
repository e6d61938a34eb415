// Writes a printout of invoice pages for the graphics benchmark: on every page a 24-pin
// graphics band (ESC * 39, 180 dots an inch, 8 inches wide: a bar chart that differs from page
// to page, so no two pictures are the same), then 60 lines of text and a form feed.
//   make_graphics_printout PAGES PRINTOUT.prn
// Seeded: the same arguments give the same file.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_graphics_printout PAGES PRINTOUT.prn\n");
        return 2;
    }
    const int pages = std::atoi(argv[1]);
    std::ofstream out(argv[2], std::ios::binary);
    std::mt19937 rng(20240309);
    constexpr int kColumns = 1440;  // 8 inches
    out << "\x1b@";
    for (int page = 0; page < pages; ++page) {
        // The band: bars 12 columns wide with a gap of 4, each of a height of 1..24 dots.
        std::string band = "\x1b*\x27";
        band += static_cast<char>(kColumns & 0xFF);
        band += static_cast<char>(kColumns >> 8);
        int height = 0;
        for (int x = 0; x < kColumns; ++x) {
            if (x % 16 == 0) height = 1 + static_cast<int>(rng() % 24);
            const std::uint32_t column =
                x % 16 < 12 ? ((1u << height) - 1) : (x % 64 == 63 ? 0xFFFFFFu : 0u);
            band += static_cast<char>((column >> 16) & 0xFF);
            band += static_cast<char>((column >> 8) & 0xFF);
            band += static_cast<char>(column & 0xFF);
        }
        out << band << "\r\x1bJ\x18";
        out << "\x1b"
               "E"
               "Faktura nr "
            << page + 1
            << "/2024\x1b"
               "F\r\n";
        for (int line = 0; line < 60; ++line) {
            out << "Pozycja " << line + 1 << "  towar " << rng() % 1000 << "  ilosc "
                << 1 + rng() % 50 << "  cena " << rng() % 10000 << "," << 10 + rng() % 90 << "\r\n";
        }
        out << "\x0c";
    }
    return out ? 0 : 1;
}
