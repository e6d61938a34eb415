#include <zint.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "engine/EscPCommand.h"
#include "engine/EscPLanguage.h"

// ESC/P 2 bar codes (ESC ( B), encoded by the zint library and drawn as a picture of their bars
// at the print position, with the human-readable characters under them.

namespace quernel {

using namespace escp;

namespace {

// The bar codes of ESC ( B k, in the order of k.
enum TBarcodeKind { kEan13, kEan8, kInterleaved2of5, kUpcA, kUpcE, kCode39, kCode128, kPostnet };

struct TSymbolDeleter {
    void operator()(zint_symbol* s) const { ZBarcode_Delete(s); }
};

// The zint symbology of a kind; with a check digit the printer adds, or one given in the data.
int Symbology(int kind, std::size_t digits) {
    switch (kind) {
        case kEan13:
            return digits >= 13 ? BARCODE_EANX_CHK : BARCODE_EANX;
        case kEan8:
            return digits >= 8 ? BARCODE_EANX_CHK : BARCODE_EANX;
        case kInterleaved2of5:
            return BARCODE_C25INTER;
        case kUpcA:
            return digits >= 12 ? BARCODE_UPCA_CHK : BARCODE_UPCA;
        case kUpcE:
            return digits >= 8 ? BARCODE_UPCE_CHK : BARCODE_UPCE;
        case kCode39:
            return BARCODE_CODE39;
        case kCode128:
            return BARCODE_CODE128;
        case kPostnet:
            return BARCODE_POSTNET;
        default:
            return 0;
    }
}

bool ModuleSet(const zint_symbol& s, int row, int x) {
    return (s.encoded_data[row][x >> 3] >> (x & 7)) & 1;
}

}  // namespace

bool TEscPLanguage::BarcodeCommand(const TEscPCommand& cmd, IPage* page) {
    if (cmd.key != Ext('B')) return false;
    if (page) Barcode(cmd, *page);
    return true;
}

void TEscPLanguage::Barcode(const TEscPCommand& cmd, IPage& page) {
    // k m s v1 v2 c, then the data: the kind, the module width in dots, the space adjustment
    // in half dots, the bar length in dots, the control flags (bit 0: the printer adds the
    // check digit; bit 1: no human-readable characters).
    if (cmd.params.size() < 7) return;
    const int kind = cmd.Arg(0);
    const int module = std::clamp(cmd.Arg(1), 2, 5);
    const int adjust = std::clamp(static_cast<int>(static_cast<std::int8_t>(cmd.Arg(2))), -3, 3);
    const bool nine = pins_ == TPins::k9;
    const double dot = nine ? 1.0 / 120 : 1.0 / 180;
    const double barLength = cmd.Word(3) * (nine ? 1.0 / 72 : 1.0 / 180);
    const bool addCheck = (cmd.Arg(5) & 1) != 0;
    const bool readable = (cmd.Arg(5) & 2) == 0;
    ByteView data = cmd.params.subspan(6);
    // Code 128 data starts with the code set (A, B or C); the encoder chooses the sets itself.
    if (kind == kCode128 && !data.empty() && data[0] >= 'A' && data[0] <= 'C') {
        data = data.subspan(1);
    }
    const int symbology = Symbology(kind, data.size());
    if (symbology == 0 || data.empty() || (barLength <= 0 && kind != kPostnet)) return;

    const std::unique_ptr<zint_symbol, TSymbolDeleter> symbol(ZBarcode_Create());
    if (!symbol) return;
    symbol->symbology = symbology;
    if (addCheck && (kind == kInterleaved2of5 || kind == kCode39)) symbol->option_2 = 1;
    if (ZBarcode_Encode(symbol.get(), data.data(), static_cast<int>(data.size())) >= ZINT_ERROR) {
        return;  // data the bar code cannot hold: nothing is printed, as on the printer
    }
    const zint_symbol& s = *symbol;

    // One column a half dot, so that the space adjustment widens or narrows each space.
    const int half = 2 * module;
    std::vector<int> runs;  // widths in half dots, bars and spaces alternating, bars first
    for (int x = 0; x < s.width;) {
        const bool bar = ModuleSet(s, s.rows - 1, x);
        int n = 0;
        while (x < s.width && ModuleSet(s, s.rows - 1, x) == bar) ++n, ++x;
        runs.push_back(std::max(1, n * half + (bar ? 0 : adjust)));
    }
    int width = 0;
    for (int w : runs) width += w;
    // POSTNET: long bars 0.125 inch, short ones 0.050, drawn as 3 rows over 2.
    const bool postnet = kind == kPostnet;
    const int rows = postnet ? 5 : 1;
    const double height = postnet ? 0.125 : barLength;
    TBitmap bars = TBitmap::Blank(width, rows);
    int x = 0, module_x = 0;
    bool bar = true;
    for (int w : runs) {
        const int modules = bar ? (w / half) : 0;
        for (int i = 0; bar && i < w; ++i) {
            // The module of this column, for POSTNET's long bars (set in the top row too).
            const int m = module_x + std::min(i / half, modules - 1);
            for (int y = 0; y < rows; ++y) {
                if (!postnet || y >= 3 || ModuleSet(s, 0, m)) bars.SetDot(x + i, y);
            }
        }
        if (bar) {
            module_x += modules;
        } else {
            module_x += std::max(0, (w - adjust) / half);
        }
        x += w;
        bar = !bar;
    }
    const double along = page.Along(), down = page.Down();
    const double barsWidth = width * dot / 2;
    page.DrawPicture(bars, along, down, barsWidth, height);

    const std::string text(reinterpret_cast<const char*>(s.text));
    if (readable && !text.empty() && !postnet) {
        // The characters centred under the bars, in the pitch in force or narrower to fit.
        const double pitch = page.Pitch();
        const double cpi = std::max(pitch, text.size() / barsWidth);
        page.SetPitch(cpi);
        page.MoveDown(down + height);
        page.MoveAlong(along + (barsWidth - text.size() / cpi) / 2);
        page.Print(ByteView(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
        page.SetPitch(pitch);
        page.MoveDown(down);
    }
    page.MoveAlong(along + barsWidth);
}

}  // namespace quernel
