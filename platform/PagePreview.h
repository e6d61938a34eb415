#pragma once

#include <QImage>

#include "engine/PrintJobSetup.h"

namespace quernel {

// A page of a printout drawn into an image, and how far the printout was followed for it.
struct TPreviewPage {
    QImage image;  // null when the printout has no such page
    int page = 0;  // the page drawn (1-based)
    // The printout's page count when the drawing ran to its end; 0 when it stopped after the
    // page drawn.
    int pageCount = 0;
};

// Draws printouts' pages through the print engine into images: the renderer runs over the
// printout as it would print, with every page but the wanted one left undrawn, and stops at the
// end of the wanted page, so the first page of a long printout shows at once. Direct (RAW)
// printouts are drawn as the engine draws them without direct mode. Needs a QGuiApplication.
class TPagePreview {
  public:
    // The sheet of a printer without known metrics: A4 at 600 dpi, no unprintable strips.
    static TDeviceCaps DefaultCaps();

    // Page `page` (1-based) at `dotsPerInch` on a white sheet; a null image when the printout
    // has fewer pages. The sheet is the set-up's caps (DefaultCaps when it has none). Printer
    // errors of the engine (margins that leave no page) propagate.
    static TPreviewPage DrawPage(const TPrintJobSetup& setup, ByteView data, int page,
                                 double dotsPerInch);
    // The pages the printout prints, drawing nothing.
    static int CountPages(const TPrintJobSetup& setup, ByteView data);
};

}  // namespace quernel
