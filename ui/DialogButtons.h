#pragma once

class QDialog;
class QHBoxLayout;

namespace quernel {

// The row of a dialog's two buttons at the right: the default button (object name "btOk"
// unless given) accepts, "&Anuluj" ("btCancel" unless given) rejects.
// Makes the dialog at least as wide as its title needs beside the title bar's buttons, so the
// title is never cut.
void KeepTitleWhole(QDialog& dialog);

QHBoxLayout* AcceptRejectRow(QDialog& dialog, const char* acceptCaption = "&Ok",
                             const char* acceptName = "btOk", const char* rejectName = "btCancel");

}  // namespace quernel
