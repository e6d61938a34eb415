#include "engine/PclCommand.h"

// PCL macros (ESC &f): a part of the printout kept under a number, run where the printout asks
// (execute, call) and at the end of every page as an overlay (a form printed under the text).

namespace quernel {

using namespace pcl;

namespace {

// Macros may run inside macros this deep, as on the printer.
constexpr int kMostMacroDepth = 2;

}  // namespace

void TPclLanguage::EndMacroDefinition(ByteView body) {
    macros_[macroId_] = body;
}

void TPclLanguage::MacroControl(int control, IPage* page) {
    switch (control) {
        case 2:  // execute
        case 3:  // call
            if (page) RunMacro(macroId_, *page);
            break;
        case 4:  // the overlay of every page from now on
            overlay_ = macroId_;
            break;
        case 5:
            overlay_ = -1;
            break;
        case 6:  // delete all
        case 7:  // delete the temporary ones, which all are here
            macros_.clear();
            break;
        case 8:
            macros_.erase(macroId_);
            break;
        default:  // 0 and 1 (a definition) are read with it; 9 and 10 change nothing here
            break;
    }
}

void TPclLanguage::RunMacro(int id, IPage& page) {
    const auto macro = macros_.find(id);
    if (macro == macros_.end() || macroDepth_ >= kMostMacroDepth) return;
    const ByteView body = macro->second;  // the printout's bytes: the map may change under it
    ++macroDepth_;
    for (std::size_t p = 0; p < body.size();) p += Step(body, p, &page).length;
    EndRaster(page);
    --macroDepth_;
}

void TPclLanguage::EndPage(IPage& page) {
    if (overlay_ >= 0) RunMacro(overlay_, page);
}

}  // namespace quernel
