#include <algorithm>
#include <sstream>

#include "engine/RenderCommand.h"
#include "platform/QtPicture.h"
#include "platform/QtPrinterPlatform.h"
#include "tests/fakes/FakeClock.h"
#include "tests/platform/PlatformTestSupport.h"
#include "tests/support/TempDir.h"

namespace quernel {
namespace {

namespace fs = std::filesystem;

// The test printouts with printer commands, rendered into PDF files as quernel-render does,
// with the shipped table and map: pictures counted with pdfimages, text read with pdftotext.
class PlatformCommandSetPdf : public ::testing::Test {
  protected:
    fs::path Render(const char* printout, const std::string& commands) {
        const fs::path pdf = temp_ / (std::string(printout) + ".pdf");
        RenderArgs args = ParseRenderArgs({(fs::path(QUERNEL_TEST_DATA_DIR) / printout).string(),
                                           "--commands", commands, "-o", pdf.string()});
        EXPECT_TRUE(args.error.empty()) << args.error;
        QtPrinterPlatform printer(clock_);
        printer.SetOutputFile(pdf);
        QtPictureLoader pictures;
        std::ostringstream err;
        EXPECT_EQ(RunRender(args.options, printer, pictures, QUERNEL_SHIPPED_DATA_DIR, err), 0)
            << err.str();
        return pdf;
    }
    static std::string Layout(const fs::path& pdf) {
        return test::RunCommand("pdftotext -layout " + test::Quote(pdf) + " -");
    }
    static int Stencils(const fs::path& pdf) {
        const auto uses = test::PdfImageUses(pdf);
        return static_cast<int>(std::count_if(uses.begin(), uses.end(), [](const auto& use) {
            return use.type == "stencil" && use.bitsPerComponent == 1;
        }));
    }

    test::TempDir temp_;
    test::FakeClock clock_{test::FakeClock::FromLocal(2024, 3, 9, 17, 5, 1)};
};

TEST_F(PlatformCommandSetPdf, InvoiceLogoIsTwoStencilsAboveItsText) {
    const fs::path pdf = Render("escp_invoice_logo.prn", "escp");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 2);
    const std::string text = Layout(pdf);
    EXPECT_NE(text.find("FAKTURA 12/2024"), std::string::npos) << text;
    EXPECT_NE(text.find("Grüße"), std::string::npos) << text;
    EXPECT_NE(text.find("Netto"), std::string::npos);
    // The table alone prints the logo's bytes as text, over many pages: what the option mends.
    const fs::path table = Render("escp_invoice_logo.prn", "table");
    EXPECT_GT(test::PdfPageCount(table), 1);
    EXPECT_EQ(Stencils(table), 0);
}

TEST_F(PlatformCommandSetPdf, ScreenDumpIsOnePageOfSmallPictures) {
    const fs::path pdf = Render("escp_screen_dump.prn", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 60);
    EXPECT_TRUE(test::PdfPageText(pdf, 1).find_first_not_of(" \n\f") == std::string::npos);
    EXPECT_LT(fs::file_size(pdf), 40u * 1024);
}

TEST_F(PlatformCommandSetPdf, PclRasterPageAndPjlJob) {
    fs::path pdf = Render("pcl_raster_page.pcl", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    EXPECT_EQ(Stencils(pdf), 2);  // the picture and the rule
    EXPECT_NE(Layout(pdf).find("Rysunek 1"), std::string::npos);

    pdf = Render("pcl_pjl_lineprinter.pcl", "auto");
    EXPECT_EQ(test::PdfPageCount(pdf), 1);
    const std::string text = Layout(pdf);
    EXPECT_EQ(text.find("PJL"), std::string::npos) << text;
    std::string digits;
    for (int i = 0; i < 128; ++i) digits += static_cast<char>('0' + i % 10);
    EXPECT_NE(text.find(digits + "\n"), std::string::npos) << text;
    EXPECT_NE(text.find("Raport dzienny"), std::string::npos);
}

}  // namespace
}  // namespace quernel
