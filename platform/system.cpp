#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <sys/socket.h>
#include <unistd.h>

// The system directory, programs found and started, the socket layer.

namespace platform {

QString SystemDirectory() {
    QString dir = qEnvironmentVariable("TALVEX_SYSTEM_DIR");
    if (!dir.isEmpty()) return dir;
    const QString programDir = QCoreApplication::applicationDirPath();
#ifdef TALVEX_DATA_FROM_BIN
    // Relative to the program, so that an installed tree works wherever it was unpacked.
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/" TALVEX_DATA_FROM_BIN));
    if (QFileInfo::exists(installed)) return installed;
#else
    const QString installed = programDir;
#endif
#if defined(TALVEX_BUILD_TREE) && defined(TALVEX_SOURCE_DATA_DIR)
    // Only a program run from the build tree falls back to the sources' copy: an installed one
    // must never depend on a source tree that happens to be there.
    const QString buildTree = QFileInfo(QStringLiteral(TALVEX_BUILD_TREE)).canonicalFilePath();
    if (!buildTree.isEmpty() &&
        (programDir == buildTree || programDir.startsWith(buildTree + QLatin1Char('/'))))
        return QStringLiteral(TALVEX_SOURCE_DATA_DIR);
#endif
    return installed;
}

QString FindProgram(const QString& name) {
    if (name.isEmpty()) return {};
    if (name.contains(QLatin1Char('/'))) {
        QFileInfo fi(name);
        return fi.isFile() ? fi.absoluteFilePath() : QString();
    }
    QString exact = QStandardPaths::findExecutable(name);
    if (!exact.isEmpty()) return exact;
    const QStringList path =
        qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : path) {
        const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Executable);
        for (const QString& e : entries)
            if (e.compare(name, Qt::CaseInsensitive) == 0) return QDir(dir).absoluteFilePath(e);
    }
    return {};
}

bool StartDetached(const QString& program, const QStringList& args) {
    return !program.isEmpty() && QProcess::startDetached(program, args);
}

bool StartCommandLine(const QString& commandLine, bool inTerminal, QString* missing) {
    auto notFound = [missing](const QString& name) {
        if (missing) *missing = name;
        return false;
    };
    QStringList words = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty()) return false;
    const QString name = words.takeFirst();
    QString program = FindProgram(name);
    if (program.isEmpty()) return notFound(name);
    if (!inTerminal) return StartDetached(program, words);
    const QString chosen = qEnvironmentVariable("TERMINAL");
    QString terminal = FindProgram(chosen);
    if (terminal.isEmpty()) terminal = FindProgram(QStringLiteral("x-terminal-emulator"));
    if (terminal.isEmpty())
        return notFound(chosen.isEmpty() ? QStringLiteral("x-terminal-emulator") : chosen);
    return StartDetached(terminal, QStringList{QStringLiteral("-e"), program} + words);
}

bool SocketLayerAvailable() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

} // namespace platform
