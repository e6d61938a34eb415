#include "host/CloseControl.h"

namespace quernel {

bool TCloseControl::CloseRequested() {
    const TCloseAnswer answer = ending_ ? TCloseAnswer::kClose : actions_.ask();
    switch (answer) {
        case TCloseAnswer::kClose:
            actions_.save();
            actions_.quit();
            return true;
        case TCloseAnswer::kHide:
            actions_.hide();
            return false;
        case TCloseAnswer::kCancel:
            break;
    }
    return false;
}

void TCloseControl::SessionEnding() {
    ending_ = true;
    actions_.save();
}

}  // namespace quernel
