#include "platform/CommandLine.h"

#include <QProcess>
#include <QString>
#include <QStringList>

#include "host/BrowserCommand.h"

namespace quernel {

void StartCommandLine(const std::string& commandLine) {
    StartProgram(SplitCommandLine(commandLine));
}

void StartProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) return;
    QStringList arguments;
    for (std::size_t i = 1; i < argv.size(); ++i) arguments << QString::fromStdString(argv[i]);
    QProcess::startDetached(QString::fromStdString(argv[0]), arguments, QStringLiteral("."));
}

}  // namespace quernel
