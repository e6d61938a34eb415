#include "platform/CommandLine.h"

#include <QProcess>
#include <QString>
#include <QStringList>

namespace quernel {

void StartCommandLine(const std::string& commandLine) {
    QStringList words = QProcess::splitCommand(QString::fromStdString(commandLine));
    if (words.isEmpty()) return;
    const QString program = words.takeFirst();
    QProcess::startDetached(program, words, QStringLiteral("."));
}

}  // namespace quernel
