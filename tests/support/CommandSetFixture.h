#pragma once

#include <filesystem>
#include <ostream>
#include <string>

#include "engine/QN_Print.h"
#include "host/FileUtil.h"
#include "support/PrintFixture.h"

namespace quernel {
inline void PrintTo(const TPoint& p, std::ostream* os) {
    *os << "(" << p.x << ", " << p.y << ")";
}
inline void PrintTo(const TRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << " - " << r.right << ", " << r.bottom << ")";
}
}  // namespace quernel

namespace quernel::test {

// Renders printouts with a command set on the recording printer (600 dpi, 4960 x 7014 pixels
// printable, 100-pixel strips), on the grid of a fresh installation: 80 x 67, 5 mm margins.
// There the line start is 118 pixels from the left and the top, an inch of the emulated
// printer is 590.5 pixels along a line (10 cells of 4724 / 80) and 606 across (6 lines of
// 101).
class CommandSetFixture : public PrintFixture {
  protected:
    static constexpr double kOrigin = 118;
    static constexpr double kInchAlong = 590.5;
    static constexpr double kInchDown = 606;
    static constexpr int kLine = 101;

    static Bytes B(const std::string& s) { return Bytes(s.begin(), s.end()); }

    static Bytes DataFile(const char* name) {
        return ReadWholeFile(std::filesystem::path(QUERNEL_TEST_DATA_DIR) / name);
    }
    static TEscapeSequences ShippedTable() {
        return ReadSequenceFile(std::filesystem::path(QUERNEL_SHIPPED_DATA_DIR) / "Seq" /
                                "EPSON+HP.seq");
    }

    // One print job: the built-in entries, `table` over them, and the command set.
    void Render(const Bytes& data, TCommandSet set, const TEscapeSequences& table = {},
                int orientation = 0) {
        TPrintInterface job(services);
        job.SetPage(5, 5, 5, 5, 80, 67, 120, 46, orientation, 1);
        job.LoadDefaultSequences();
        job.AddSequences(table);
        job.SetCommandSet(set);
        job.BeginJob("test");
        job.PrintData(data, 0, false, false, status);
        job.EndJob();
    }

    // The drawn text of the last document, one string per sheet.
    std::vector<std::string> Pages() const { return printer.PageTexts(); }
    int PageCount() const { return printer.documents.back().pages; }

    // Pixel positions of the emulated printer's inches from the grid's corner.
    static int Along(double inches) { return static_cast<int>(kOrigin + inches * kInchAlong); }
    static int Down(double inches) { return static_cast<int>(kOrigin + inches * kInchDown); }

    TPrinterStatus status;
};

}  // namespace quernel::test
