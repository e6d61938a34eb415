#pragma once

class QCoreApplication;

namespace quernel {

// Qt's own texts (standard buttons, the file and print dialogs) in Polish, the language of the
// whole window, whatever the session's locale. Without Qt's translations installed they stay
// English; answers whether they were found.
bool InstallQtTranslations(QCoreApplication& app);

}  // namespace quernel
