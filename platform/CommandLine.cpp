#include "platform/CommandLine.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include "host/BrowserCommand.h"

namespace quernel {

void StartCommandLine(const std::string& commandLine) {
    const std::vector<std::string> words = SplitCommandLine(commandLine);
    if (words.empty()) return;
    QStringList arguments;
    for (std::size_t i = 1; i < words.size(); ++i) arguments << QString::fromStdString(words[i]);
    QProcess::startDetached(QString::fromStdString(words[0]), arguments, QStringLiteral("."));
}

}  // namespace quernel
