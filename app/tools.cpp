#include "app/tools.h"

#include "snmp/params.h"
#include "platform/platform.h"

#include <QDir>
#include <QPointer>
#include <QWidget>

namespace {

const QString kOspfProgram = QStringLiteral("OSPF.exe ");

// Where ext begins, accepted when ":\" is found, does not begin the text, and ext begins at
// most 4 characters before it (or anywhere after it); -1 otherwise.
qsizetype acceptedExtension(const QString& text, const QString& ext, qsizetype colon) {
    qsizetype e = text.indexOf(ext);
    if (colon <= 0 || e < 0 || e < colon - 4)
        return -1;
    return e;
}

// Starts the browser entry names with the agent address. A Windows-form association text
// starts its program file with the address; a desktop entry starts its whole command line.
// What kept it from starting, in words; empty when it started.
QString startBrowser(const platform::DesktopEntry& entry, const QString& address) {
    QString name;
    QString program;
    QStringList args;
    if (entry.exec.contains(QLatin1String(":\\"))) {
        program = name = BrowserPathFromAssociation(entry.exec);
        if (!address.isEmpty())
            args << address;
    } else {
        args = platform::DesktopExecArguments(entry, address);
        if (!args.isEmpty())
            program = platform::FindProgram(name = args.takeFirst());
    }
    if (name.isEmpty())
        return QStringLiteral("no default web browser is set.");
    if (program.isEmpty())
        return QStringLiteral("the program \"%1\" was not found.").arg(name);
    if (!platform::StartDetached(program, args))
        return QStringLiteral("\"%1\" would not start.").arg(program);
    return {};
}

} // namespace

QString TelnetCommandLine() {
    QString line = QStringLiteral("Telnet ");
    if (!g_strAgentAddress.isEmpty())
        line += g_strAgentAddress;
    return line;
}

void LaunchTelnet(QWidget* owner) {
    QString missing;
    if (platform::StartCommandLine(TelnetCommandLine(), true, &missing))
        return;
    platform::MessageBox(owner, missing.isEmpty()
                                    ? QStringLiteral("Telnet could not be started.")
                                    : QStringLiteral("Telnet could not be started: the program "
                                                     "\"%1\" was not found.")
                                          .arg(missing));
}

QString BrowserPathFromAssociation(const QString& value) {
    // The association was read into a 200-byte buffer; a longer one is unreadable.
    if (value.toLocal8Bit().size() >= 200)
        return {};
    qsizetype colon = value.indexOf(QLatin1String(":\\"));
    qsizetype e = acceptedExtension(value, QStringLiteral(".exe"), colon);
    if (e < 0)
        e = acceptedExtension(value, QStringLiteral(".EXE"), colon);
    if (e < 0)
        return {};
    QString cut = value.left(e + 4);
    return cut.mid(colon - 1);
}

QString GetBrowserPath() {
    const platform::DesktopEntry entry = platform::HttpDesktopEntry();
    if (entry.exec.contains(QLatin1String(":\\")))
        return BrowserPathFromAssociation(entry.exec);
    const QStringList command = platform::DesktopExecArguments(entry, {});
    return command.isEmpty() ? QString() : platform::FindProgram(command.first());
}

void LaunchBrowser(QWidget* owner) {
    const QString address = g_strAgentAddress;
    QPointer<QWidget> box(owner);
    platform::FindHttpDesktopEntry([address, box](const platform::DesktopEntry& entry) {
        const QString why = startBrowser(entry, address);
        if (!why.isEmpty())
            platform::MessageBox(box, QStringLiteral("The browser could not be started: ") + why);
    });
}

QString OspfCommandLine() {
    return kOspfProgram + QStringLiteral("  /N") + g_strNValue + QStringLiteral(" /I") + g_strAgentAddress +
           QStringLiteral(" /R") + g_strReadCommunity + QStringLiteral(" /W") + g_strWriteCommunity +
           (g_bUserRight ? QStringLiteral(" /UTRUE") : QStringLiteral(" /UFALSE"));
}

void LaunchOspf(QWidget* owner) {
    // The file search ignores the trailing blank, and, as on the desktop it was written for,
    // the case of the name.
    const QString name = kOspfProgram.trimmed();
    QString found;
    const QStringList entries = QDir::current().entryList(QDir::Files);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0) {
            found = QDir::current().absoluteFilePath(e);
            break;
        }
    if (found.isEmpty()) {
        platform::MessageBox(owner, QStringLiteral("Can't load OSPF!"));
        return;
    }
    QStringList args = OspfCommandLine().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    args.removeFirst();
    if (!platform::StartDetached(found, args))
        platform::MessageBox(owner, QStringLiteral("无法装载OSPF工具!"));
}
