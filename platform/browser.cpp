#include "platform/platform.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

// The browser association: the desktop entry the http scheme is given and its command line.

namespace platform {

namespace {

QStringList xdgDirs(const char* homeVar, const QString& homeDefault, const char* dirsVar,
                    const QString& dirsDefault) {
    QString home = qEnvironmentVariable(homeVar);
    if (home.isEmpty()) home = QDir::homePath() + homeDefault;
    QString dirs = qEnvironmentVariable(dirsVar);
    if (dirs.isEmpty()) dirs = dirsDefault;
    return QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The keys of [group] in an ini-style desktop file, values as written (blanks around "="
// dropped), without QSettings' escaping rules. Only a regular file is read.
QHash<QString, QString> desktopGroup(const QString& path, const QString& group) {
    QHash<QString, QString> values;
    if (!QFileInfo(path).isFile()) return values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return values;
    bool inGroup = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inGroup || eq <= 0 || line.startsWith(QLatin1Char('#'))) continue;
        const QString key = line.left(eq).trimmed();
        if (!values.contains(key)) values.insert(key, line.mid(eq + 1).trimmed());
    }
    return values;
}

// The escapes of the string type: \s, \n, \t, \r and \\; any other backslash stays.
QString unescapeString(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            out += c;
            continue;
        }
        switch (value[i + 1].unicode()) {
        case 's':
            out += QLatin1Char(' ');
            break;
        case 'n':
            out += QLatin1Char('\n');
            break;
        case 't':
            out += QLatin1Char('\t');
            break;
        case 'r':
            out += QLatin1Char('\r');
            break;
        case '\\':
            out += QLatin1Char('\\');
            break;
        default:
            out += c;
            continue;
        }
        ++i;
    }
    return out;
}

QStringList dataDirs() {
    return xdgDirs("XDG_DATA_HOME", QStringLiteral("/.local/share"), "XDG_DATA_DIRS",
                   QStringLiteral("/usr/local/share:/usr/share"));
}

// The desktop id the mimeapps.list files give the http scheme, the user's first.
QString mimeappsHttpId() {
    QStringList lists;
    for (const QString& d : xdgDirs("XDG_CONFIG_HOME", QStringLiteral("/.config"),
                                    "XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        lists << d + QStringLiteral("/mimeapps.list");
    for (const QString& d : dataDirs())
        lists << d + QStringLiteral("/applications/mimeapps.list");
    for (const QString& list : lists) {
        const QString id = desktopGroup(list, QStringLiteral("Default Applications"))
                               .value(QStringLiteral("x-scheme-handler/http"))
                               .section(QLatin1Char(';'), 0, 0);
        if (!id.isEmpty()) return id;
    }
    return {};
}

DesktopEntry entryById(const QString& id) {
    if (id.isEmpty() || id.contains(QLatin1Char('/'))) return {};
    for (const QString& d : dataDirs()) {
        const QString file = d + QStringLiteral("/applications/") + id;
        if (!QFileInfo(file).isFile()) continue;
        const QHash<QString, QString> values = desktopGroup(file, QStringLiteral("Desktop Entry"));
        return {file, values.value(QStringLiteral("Exec")),
                unescapeString(values.value(QStringLiteral("Name"))),
                unescapeString(values.value(QStringLiteral("Icon")))};
    }
    return {};
}

struct ExecWord {
    QString text;
    bool quoted = false; // some of it stood in double quotes
};

// Splits an Exec value (string escapes already resolved) at blanks outside double quotes;
// false when a quote is not closed.
bool splitExec(const QString& exec, QList<ExecWord>& words) {
    ExecWord word;
    bool inWord = false, inQuotes = false;
    for (qsizetype i = 0; i < exec.size(); ++i) {
        const QChar c = exec[i];
        if (inQuotes) {
            if (c == QLatin1Char('"')) {
                inQuotes = false;
            } else if (c == QLatin1Char('\\') && i + 1 < exec.size() &&
                       QStringLiteral("\"`$\\").contains(exec[i + 1])) {
                word.text += exec[++i];
            } else {
                word.text += c;
            }
        } else if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n')) {
            if (inWord) words << word;
            word = {};
            inWord = false;
        } else if (c == QLatin1Char('"')) {
            inQuotes = inWord = word.quoted = true;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inQuotes) return false;
    if (inWord) words << word;
    return true;
}

} // namespace

DesktopEntry HttpDesktopEntry() {
    return entryById(mimeappsHttpId());
}

void FindHttpDesktopEntry(std::function<void(const DesktopEntry&)> done) {
    const QString id = mimeappsHttpId();
    const QString xdg =
        id.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("xdg-settings")) : QString();
    if (!id.isEmpty() || xdg.isEmpty() || !QCoreApplication::instance()) {
        done(entryById(id));
        return;
    }
    // xdg-settings may take seconds: it answers through the event loop, never by waiting.
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(
        process, &QProcess::finished, process,
        [process, done](int code, QProcess::ExitStatus status) {
            const QString answer = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
            process->deleteLater();
            done(status == QProcess::NormalExit && code == 0 ? entryById(answer) : DesktopEntry{});
        });
    QObject::connect(process, &QProcess::errorOccurred, process,
                     [process, done](QProcess::ProcessError error) {
                         if (error != QProcess::FailedToStart)
                             return; // a crash or the kill below still ends in finished
                         process->deleteLater();
                         done({});
                     });
    QTimer::singleShot(3000, process, [process] { process->kill(); });
    process->start(xdg, {QStringLiteral("get"), QStringLiteral("default-web-browser")});
}

QStringList DesktopExecArguments(const DesktopEntry& entry, const QString& url) {
    QList<ExecWord> words;
    if (!splitExec(unescapeString(entry.exec), words)) return {};
    QStringList args;
    bool tookUrl = false;
    for (const ExecWord& w : words) {
        // Codes that stand as a word of their own may give no word, or two.
        if (!w.quoted && w.text.size() == 2 && w.text[0] == QLatin1Char('%')) {
            const char code = char(w.text[1].unicode());
            if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                tookUrl = true;
                if (!url.isEmpty()) args << url;
                continue;
            }
            if (code == 'i') {
                if (!entry.icon.isEmpty()) args << QStringLiteral("--icon") << entry.icon;
                continue;
            }
        }
        QString text;
        bool onlyCodes = !w.text.isEmpty();
        for (qsizetype i = 0; i < w.text.size(); ++i) {
            if (w.text[i] != QLatin1Char('%')) {
                text += w.text[i];
                onlyCodes = false;
                continue;
            }
            if (++i == w.text.size())
                break; // a lone percent sign at the end: dropped like an unknown code
            switch (w.text[i].unicode()) {
            case '%':
                text += QLatin1Char('%');
                onlyCodes = false;
                break;
            case 'f':
            case 'F':
            case 'u':
            case 'U':
                text += url;
                tookUrl = true;
                break;
            case 'c':
                text += entry.name;
                break;
            case 'k':
                text += entry.file;
                break;
            default:
                break; // %i inside a word, %d %D %n %N %v %m and unknown codes
            }
        }
        if (!text.isEmpty() || !onlyCodes || w.quoted) args << text;
    }
    if (args.isEmpty()) return {};
    if (!tookUrl && !url.isEmpty()) args << url;
    return args;
}

} // namespace platform
