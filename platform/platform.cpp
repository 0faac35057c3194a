#include "platform/platform.h"

#include "platform/listview.h"

#include "platform/stretch.h"
#include "res/dialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScrollArea>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <limits>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

MessageBoxHook g_messageBoxHook;
bool g_unattended = false;
RunModalHook g_runModalHook;
PrintDialogHook g_printDialogHook;
SaveFileHook g_saveFileHook;

} // namespace

Answer MessageBox(QWidget* owner, const QString& text, bool okCancel) {
    if (g_messageBoxHook)
        return g_messageBoxHook(owner, text, okCancel);
    if (g_unattended) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()), qPrintable(text));
        return Answer::Cancel;
    }
    QMessageBox box(okCancel ? QMessageBox::Question : QMessageBox::Information,
                    QCoreApplication::applicationName(), text,
                    okCancel ? QMessageBox::Ok | QMessageBox::Cancel : QMessageBox::Ok, owner);
    return box.exec() == QMessageBox::Ok ? Answer::Ok : Answer::Cancel;
}

int RunModal(QDialog* dialog) {
    if (g_runModalHook)
        return g_runModalHook(dialog);
    return dialog->exec();
}

void SetUnattended(bool unattended) {
    g_unattended = unattended;
}

void SetMessageBoxHook(MessageBoxHook hook) {
    g_messageBoxHook = std::move(hook);
}

void SetRunModalHook(RunModalHook hook) {
    g_runModalHook = std::move(hook);
}

bool PrintDialog(QWidget* owner, QPrinter& printer) {
    printer.setPrintRange(QPrinter::AllPages);
    // Without a printer a PDF file is the one place a report can go: the operator is told so,
    // and the file is offered under the document's name in the home directory.
    const bool noPrinter = QPrinterInfo::availablePrinterNames().isEmpty();
    if (noPrinter) {
        MessageBox(owner, QStringLiteral(
                              "No printer is installed: the report can be printed to a PDF file."));
        QString name = printer.docName().trimmed();
        name.replace(QLatin1Char('/'), QLatin1Char('-'));
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QDir::home().filePath(
            (name.isEmpty() ? QStringLiteral("report") : name) + QStringLiteral(".pdf")));
    }
#if QT_CONFIG(printdialog)
    QPrintDialog dialog(&printer, owner);
    // PrintCollateCopies stays: the copies and their collation are the printer's to make.
    // PrintToFile puts "Print to File (PDF)" under the printers, and alone when there are none.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintCollateCopies |
                      QAbstractPrintDialog::PrintShowPageSize);
    if (g_printDialogHook)
        return g_printDialogHook(&dialog);
    return dialog.exec() == QDialog::Accepted;
#else
    // A Qt without its print dialog prints to PDF files only: the file is asked for instead.
    const QString file =
        QFileDialog::getSaveFileName(owner, QStringLiteral("Print to PDF file"),
                                     printer.outputFileName(), QStringLiteral("PDF files (*.pdf)"));
    if (file.isEmpty()) return false;
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    return true;
#endif
}

void SetPrintDialogHook(PrintDialogHook hook) {
    g_printDialogHook = std::move(hook);
}

QString SaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                     const QString& filter) {
    if (g_saveFileHook) return g_saveFileHook(caption, suggested);
    if (g_unattended) return {};
    return QFileDialog::getSaveFileName(owner, caption, suggested, filter);
}

void SetSaveFileHook(SaveFileHook hook) {
    g_saveFileHook = std::move(hook);
}

WaitCursor::WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor() {
    if (qobject_cast<QApplication*>(QCoreApplication::instance()))
        QApplication::restoreOverrideCursor();
}

// ---- dialogs from templates --------------------------------------------------------------

namespace {

struct BaseUnits {
    int x, y;
};

BaseUnits baseUnits(const QString& family, int points) {
    QFont font(family, points);
    QFontMetrics fm(font);
    static const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    int x = (fm.horizontalAdvance(alphabet) / 26 + 1) / 2;
    return {std::max(x, 1), std::max(fm.height(), 1)};
}

} // namespace

void BuildDialog(QDialog* dialog, int templateId) {
    if (const res::DlgTemplate* t = res::Dialog(templateId))
        BuildDialog(dialog, *t);
}

void BuildDialog(QDialog* dialog, const res::DlgTemplate& t) {
    const QString family = QString::fromLatin1(t.font);
    const BaseUnits bu = baseUnits(family, t.pointSize);
    auto px = [&](int x, int y, int w, int h) {
        return QRect(x * bu.x / 4, y * bu.y / 8, w * bu.x / 4, h * bu.y / 8);
    };
    dialog->setFont(QFont(family, t.pointSize));
    dialog->setWindowTitle(QString::fromUtf8(t.caption));
    dialog->setFixedSize(px(0, 0, t.w, t.h).size());
    QList<PlacedControl> placed;
    QLabel* caption = nullptr; // a label's text names the control that follows it
    for (int i = 0; i < t.count; ++i) {
        const res::DlgItem& it = t.items[i];
        const QString text = QString::fromUtf8(it.text);
        QWidget* w = nullptr;     // what is placed
        QWidget* named = nullptr; // what the id names, when not w
        switch (it.kind) {
        case res::Ctl::Static:
        case res::Ctl::Value: {
            auto* label = new QLabel(text, dialog);
            if (it.kind == res::Ctl::Value) {
                label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
                label->setTextInteractionFlags(Qt::TextSelectableByMouse);
            }
            w = label;
            if (it.flags & res::Large) {
                // A multi-line text scrolls when it is longer than its box.
                label->setWordWrap(true);
                label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                auto* scroll = new QScrollArea(dialog);
                scroll->setFrameStyle(label->frameStyle());
                label->setFrameStyle(QFrame::NoFrame);
                scroll->setWidgetResizable(true);
                scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
                scroll->setWidget(label);
                w = scroll;
                named = label;
            }
            break;
        }
        case res::Ctl::Edit: {
            auto* edit = new QLineEdit(text, dialog);
            if (caption) caption->setBuddy(edit);
            edit->setReadOnly(it.flags & res::ReadOnly);
            if (it.flags & res::Digits)
                edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
            w = edit;
            break;
        }
        case res::Ctl::Button:
        case res::Ctl::DefButton: {
            auto* button = new QPushButton(text, dialog);
            button->setAutoDefault(false);
            button->setDefault(it.kind == res::Ctl::DefButton);
            w = button;
            break;
        }
        case res::Ctl::Check:
            w = new QCheckBox(text, dialog);
            break;
        case res::Ctl::Group:
            w = new QGroupBox(text, dialog);
            w->lower();
            break;
        case res::Ctl::List:
        case res::Ctl::ModelList: {
            // A ModelList shows a model the page sets, with the same look as a ListView.
            QTreeView* list = nullptr;
            if (it.kind == res::Ctl::List) {
                list = new ListView(dialog);
            } else {
                list = new QTreeView(dialog);
                SetListLook(list);
            }
            list->setSelectionMode(it.flags & res::MultiSelect
                                       ? QAbstractItemView::ExtendedSelection
                                       : QAbstractItemView::SingleSelection);
            w = list;
            break;
        }
        case res::Ctl::Combo:
            w = new QComboBox(dialog);
            break;
        }
        caption = it.kind == res::Ctl::Static ? qobject_cast<QLabel*>(w) : nullptr;
        QRect geometry = px(it.x, it.y, it.w, it.h);
        // A drop-down list's template height includes its opened list; closed it is one line.
        if (it.kind == res::Ctl::Combo)
            geometry.setHeight(std::min(geometry.height(), w->sizeHint().height()));
        w->setGeometry(geometry);
        placed.append({w, geometry, it.kind == res::Ctl::List || it.kind == res::Ctl::ModelList});
        if (it.id != -1)
            (named ? named : w)->setObjectName(QString::number(it.id));
        if (it.flags & res::Hidden)
            w->hide();
        if (it.flags & res::Disabled)
            w->setEnabled(false);
    }
    // Group boxes stand behind the controls drawn inside them.
    for (QGroupBox* g : dialog->findChildren<QGroupBox*>(Qt::FindDirectChildrenOnly))
        g->lower();
    StretchWithLists(dialog, placed);
}

QWidget* DialogItem(QWidget* dialog, int id) {
    return dialog ? dialog->findChild<QWidget*>(QString::number(id)) : nullptr;
}

void LimitTyping(QLineEdit* edit, int limit) {
    edit->setProperty("typingLimit", limit);
    edit->setMaxLength(limit);
    // Whatever the box holds may shrink, never grow past the limit again.
    QObject::connect(edit, &QLineEdit::textChanged, edit, [edit, limit](const QString& text) {
        edit->setMaxLength(std::max(limit, int(text.size())));
    });
}

void SetEditText(QLineEdit* edit, const QString& text) {
    const QVariant limit = edit->property("typingLimit");
    if (limit.isValid())
        edit->setMaxLength(std::max(limit.toInt(), int(text.size())));
    edit->setText(text);
}

QString FieldName(const QWidget* control) {
    for (const QLabel* label : control->window()->findChildren<QLabel*>())
        if (label->buddy() == control) {
            QString name = label->text();
            name.remove(QLatin1Char('&'));
            while (!name.isEmpty() && (name.back() == QLatin1Char(':') || name.back().isSpace()))
                name.chop(1);
            return name.trimmed();
        }
    return {};
}

bool ReadInteger(QLineEdit* edit, int& out) {
    return ReadInteger(edit, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), out);
}

bool ReadInteger(QLineEdit* edit, int min, int max, int& out) {
    bool ok = false;
    const int value = edit->text().trimmed().toInt(&ok);
    if (ok && value >= min && value <= max) {
        out = value;
        return true;
    }
    const bool bounded = min != std::numeric_limits<int>::min() || max != std::numeric_limits<int>::max();
    QString prompt =
        bounded ? QStringLiteral("Please enter an integer between %1 and %2.").arg(min).arg(max)
                : QStringLiteral("Please enter an integer.");
    // The framework's sentence stands; the box names the field by its caption in the dialog, as
    // the other boxes name what they are about before a colon.
    if (const QString name = FieldName(edit); !name.isEmpty())
        prompt = name + QStringLiteral(": ") + prompt;
    MessageBox(edit->window(), prompt);
    edit->setFocus();
    edit->selectAll();
    return false;
}

// ---- files, programs, processes ----------------------------------------------------------

QString SystemDirectory() {
    QString dir = qEnvironmentVariable("TALVEX_SYSTEM_DIR");
    if (!dir.isEmpty())
        return dir;
    const QString programDir = QCoreApplication::applicationDirPath();
#ifdef TALVEX_DATA_FROM_BIN
    // Relative to the program, so that an installed tree works wherever it was unpacked.
    const QString installed =
        QDir::cleanPath(programDir + QStringLiteral("/" TALVEX_DATA_FROM_BIN));
    if (QFileInfo::exists(installed))
        return installed;
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
    if (name.isEmpty())
        return {};
    if (name.contains(QLatin1Char('/'))) {
        QFileInfo fi(name);
        return fi.isFile() ? fi.absoluteFilePath() : QString();
    }
    QString exact = QStandardPaths::findExecutable(name);
    if (!exact.isEmpty())
        return exact;
    const QStringList path = qEnvironmentVariable("PATH").split(QLatin1Char(':'), Qt::SkipEmptyParts);
    for (const QString& dir : path) {
        const QStringList entries = QDir(dir).entryList(QDir::Files | QDir::Executable);
        for (const QString& e : entries)
            if (e.compare(name, Qt::CaseInsensitive) == 0)
                return QDir(dir).absoluteFilePath(e);
    }
    return {};
}

bool StartDetached(const QString& program, const QStringList& args) {
    return !program.isEmpty() && QProcess::startDetached(program, args);
}

bool StartCommandLine(const QString& commandLine, bool inTerminal, QString* missing) {
    auto notFound = [missing](const QString& name) {
        if (missing)
            *missing = name;
        return false;
    };
    QStringList words = commandLine.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return false;
    const QString name = words.takeFirst();
    QString program = FindProgram(name);
    if (program.isEmpty())
        return notFound(name);
    if (!inTerminal)
        return StartDetached(program, words);
    const QString chosen = qEnvironmentVariable("TERMINAL");
    QString terminal = FindProgram(chosen);
    if (terminal.isEmpty())
        terminal = FindProgram(QStringLiteral("x-terminal-emulator"));
    if (terminal.isEmpty())
        return notFound(chosen.isEmpty() ? QStringLiteral("x-terminal-emulator") : chosen);
    return StartDetached(terminal, QStringList{QStringLiteral("-e"), program} + words);
}

namespace {

QStringList xdgDirs(const char* homeVar, const QString& homeDefault, const char* dirsVar,
                    const QString& dirsDefault) {
    QString home = qEnvironmentVariable(homeVar);
    if (home.isEmpty())
        home = QDir::homePath() + homeDefault;
    QString dirs = qEnvironmentVariable(dirsVar);
    if (dirs.isEmpty())
        dirs = dirsDefault;
    return QStringList{home} + dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

// The keys of [group] in an ini-style desktop file, values as written (blanks around "="
// dropped), without QSettings' escaping rules. Only a regular file is read.
QHash<QString, QString> desktopGroup(const QString& path, const QString& group) {
    QHash<QString, QString> values;
    if (!QFileInfo(path).isFile())
        return values;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return values;
    bool inGroup = false;
    while (!f.atEnd()) {
        const QString line = QString::fromUtf8(f.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inGroup = line == QLatin1Char('[') + group + QLatin1Char(']');
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inGroup || eq <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        const QString key = line.left(eq).trimmed();
        if (!values.contains(key))
            values.insert(key, line.mid(eq + 1).trimmed());
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
        case 's': out += QLatin1Char(' '); break;
        case 'n': out += QLatin1Char('\n'); break;
        case 't': out += QLatin1Char('\t'); break;
        case 'r': out += QLatin1Char('\r'); break;
        case '\\': out += QLatin1Char('\\'); break;
        default: out += c; continue;
        }
        ++i;
    }
    return out;
}

QStringList dataDirs() {
    return xdgDirs("XDG_DATA_HOME", QStringLiteral("/.local/share"), "XDG_DATA_DIRS", QStringLiteral("/usr/local/share:/usr/share"));
}

// The desktop id the mimeapps.list files give the http scheme, the user's first.
QString mimeappsHttpId() {
    QStringList lists;
    for (const QString& d : xdgDirs("XDG_CONFIG_HOME", QStringLiteral("/.config"), "XDG_CONFIG_DIRS", QStringLiteral("/etc/xdg")))
        lists << d + QStringLiteral("/mimeapps.list");
    for (const QString& d : dataDirs())
        lists << d + QStringLiteral("/applications/mimeapps.list");
    for (const QString& list : lists) {
        const QString id = desktopGroup(list, QStringLiteral("Default Applications"))
                               .value(QStringLiteral("x-scheme-handler/http"))
                               .section(QLatin1Char(';'), 0, 0);
        if (!id.isEmpty())
            return id;
    }
    return {};
}

DesktopEntry entryById(const QString& id) {
    if (id.isEmpty() || id.contains(QLatin1Char('/')))
        return {};
    for (const QString& d : dataDirs()) {
        const QString file = d + QStringLiteral("/applications/") + id;
        if (!QFileInfo(file).isFile())
            continue;
        const QHash<QString, QString> values = desktopGroup(file, QStringLiteral("Desktop Entry"));
        return {file, values.value(QStringLiteral("Exec")), unescapeString(values.value(QStringLiteral("Name"))),
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
            if (inWord)
                words << word;
            word = {};
            inWord = false;
        } else if (c == QLatin1Char('"')) {
            inQuotes = inWord = word.quoted = true;
        } else {
            word.text += c;
            inWord = true;
        }
    }
    if (inQuotes)
        return false;
    if (inWord)
        words << word;
    return true;
}

} // namespace

DesktopEntry HttpDesktopEntry() {
    return entryById(mimeappsHttpId());
}

void FindHttpDesktopEntry(std::function<void(const DesktopEntry&)> done) {
    const QString id = mimeappsHttpId();
    const QString xdg = id.isEmpty() ? QStandardPaths::findExecutable(QStringLiteral("xdg-settings")) : QString();
    if (!id.isEmpty() || xdg.isEmpty() || !QCoreApplication::instance()) {
        done(entryById(id));
        return;
    }
    // xdg-settings may take seconds: it answers through the event loop, never by waiting.
    auto* process = new QProcess(QCoreApplication::instance());
    QObject::connect(process, &QProcess::finished, process, [process, done](int code, QProcess::ExitStatus status) {
        const QString answer = QString::fromUtf8(process->readAllStandardOutput()).trimmed();
        process->deleteLater();
        done(status == QProcess::NormalExit && code == 0 ? entryById(answer) : DesktopEntry{});
    });
    QObject::connect(process, &QProcess::errorOccurred, process, [process, done](QProcess::ProcessError error) {
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
    if (!splitExec(unescapeString(entry.exec), words))
        return {};
    QStringList args;
    bool tookUrl = false;
    for (const ExecWord& w : words) {
        // Codes that stand as a word of their own may give no word, or two.
        if (!w.quoted && w.text.size() == 2 && w.text[0] == QLatin1Char('%')) {
            const char code = char(w.text[1].unicode());
            if (code == 'f' || code == 'F' || code == 'u' || code == 'U') {
                tookUrl = true;
                if (!url.isEmpty())
                    args << url;
                continue;
            }
            if (code == 'i') {
                if (!entry.icon.isEmpty())
                    args << QStringLiteral("--icon") << entry.icon;
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
            case '%': text += QLatin1Char('%'); onlyCodes = false; break;
            case 'f': case 'F': case 'u': case 'U': text += url; tookUrl = true; break;
            case 'c': text += entry.name; break;
            case 'k': text += entry.file; break;
            default: break; // %i inside a word, %d %D %n %N %v %m and unknown codes
            }
        }
        if (!text.isEmpty() || !onlyCodes || w.quoted)
            args << text;
    }
    if (args.isEmpty())
        return {};
    if (!tookUrl && !url.isEmpty())
        args << url;
    return args;
}

QIcon Icon(int id) {
    QIcon icon(QStringLiteral(":/images/icon%1.png").arg(id));
    if (id == 447)
        icon.addFile(QStringLiteral(":/images/icon447-64.png"));
    return icon;
}

QCursor HandCursor() {
    return QCursor(QPixmap(QStringLiteral(":/images/hand.png")), 6, 1);
}

bool SocketLayerAvailable() {
    int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace platform
