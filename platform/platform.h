// What a Windows desktop would give the module, on Qt: message boxes, modal runs, the wait
// cursor, dialogs from templates, the system directory, program search and start, the
// default browser's desktop entry, the print dialog and the socket layer check.
//
// Everything that would block for a person goes through MessageBox, RunModal or PrintDialog;
// tests replace them with scripted answers (SetMessageBoxHook, SetRunModalHook,
// SetPrintDialogHook).
#pragma once

#include <QCursor>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <functional>

class QDialog;
class QLineEdit;
class QPrintDialog;
class QPrinter;
class QWidget;

namespace res {
struct DlgTemplate;
}

namespace platform {

enum class Answer { Ok, Cancel };

// A plain OK box (okCancel false) or an OK/Cancel question, owned by owner.
Answer MessageBox(QWidget* owner, const QString& text, bool okCancel = false);
// An unattended run has nobody to answer: a message box's text goes to standard error instead,
// and a question is answered Cancel.
void SetUnattended(bool unattended);
// Runs a dialog modally; returns its result.
int RunModal(QDialog* dialog);

using MessageBoxHook = std::function<Answer(QWidget* owner, const QString& text, bool okCancel)>;
using RunModalHook = std::function<int(QDialog* dialog)>;
void SetMessageBoxHook(MessageBoxHook hook); // empty: real boxes again
void SetRunModalHook(RunModalHook hook);

// The system's print dialog for printer, owned by owner: all pages, no page range, no
// selection; copies and collation are left to the printer. Printing to a PDF file is always
// offered; with no printer installed the operator is told so first (a plain box), and the file
// is proposed as the printer's document name with ".pdf" in the home directory. True when the
// operator prints, with printer set up as chosen; false when cancelled.
bool PrintDialog(QWidget* owner, QPrinter& printer);
// The hook receives the dialog, built with those options on the caller's printer, instead of
// its run: it may set up dialog->printer() and answers true to print, false to cancel.
using PrintDialogHook = std::function<bool(QPrintDialog* dialog)>;
void SetPrintDialogHook(PrintDialogHook hook); // empty: the real dialog again

// The file a person saves to, asked with the system's save dialog (caption, a suggested name,
// a filter such as "CSV files (*.csv)"); empty when cancelled. Unattended: empty.
QString SaveFileName(QWidget* owner, const QString& caption, const QString& suggested,
                     const QString& filter);
using SaveFileHook = std::function<QString(const QString& caption, const QString& suggested)>;
void SetSaveFileHook(SaveFileHook hook); // empty: the real dialog again

// Shows the wait cursor for its lifetime: put one around sending a request.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

// Builds a dialog's controls from its template: caption, size and controls placed in dialog
// units of the template's font. Each control's object name is its id.
void BuildDialog(QDialog* dialog, const res::DlgTemplate& tmpl);
void BuildDialog(QDialog* dialog, int templateId);
// The control with id, or null.
QWidget* DialogItem(QWidget* dialog, int id);
template <class T> T* Item(QWidget* dialog, int id) {
    return qobject_cast<T*>(DialogItem(dialog, id));
}

// An edit box's text limit as the desktop's edit control keeps it: the operator cannot type or
// paste past limit characters, while text the program puts in with SetEditText is shown whole,
// however long (and may then be shortened, never lengthened, by typing).
void LimitTyping(QLineEdit* edit, int limit);
void SetEditText(QLineEdit* edit, const QString& text);

// The name of a dialog's control: the text of the label the template puts right before it
// ("MaxAgingTime:" gives "MaxAgingTime"), without its colon; empty when it has none.
QString FieldName(const QWidget* control);

// The framework's integer data exchange for a dialog's OK: reads edit as a decimal integer into
// out. A text that is not one ("Please enter an integer.") or lies outside min..max, bounds
// included ("Please enter an integer between 600 and 4000."), is refused: the operator is told
// in a plain message box owned by the edit's dialog, the sentence after the field's name
// ("MaxAgingTime: Please enter ..."), the focus goes back to the edit with its text selected,
// and the result is false (the dialog stays open).
bool ReadInteger(QLineEdit* edit, int& out);
bool ReadInteger(QLineEdit* edit, int min, int max, int& out);

// The directory that stands for the Windows system directory: TALVEX_SYSTEM_DIR, else the
// installed data directory beside the program's own (../share/talvex), else, for a program run
// from the build tree, the source tree's copy.
QString SystemDirectory();

// Program search as the desktop does it for a command's first word: a path is taken as it is;
// a name is looked for on PATH, exactly and then ignoring case. Empty when not found.
QString FindProgram(const QString& name);
// Starts program with args as an independent process; false when it cannot be started.
bool StartDetached(const QString& program, const QStringList& args);
// Starts a command line (first word the program, the rest its arguments split at blanks),
// optionally in the desktop's terminal emulator ($TERMINAL, else x-terminal-emulator). When a
// program is not found, missing (when given) names it.
bool StartCommandLine(const QString& commandLine, bool inTerminal = false,
                      QString* missing = nullptr);

// A desktop entry as far as starting it goes: its file and the values of its Exec, Name and
// Icon keys in [Desktop Entry], with the string escapes (\s, \n, \t, \r, \\) of Name and
// Icon resolved; Exec is kept as written, for DesktopExecArguments.
struct DesktopEntry {
    QString file;
    QString exec;
    QString name;
    QString icon;
};

// The entry of the default browser (the handler of http addresses) as a mimeapps.list names
// it; an empty entry when none does. Starts no process.
DesktopEntry HttpDesktopEntry();
// The same, asking xdg-settings when no mimeapps.list names a browser. done runs on the
// calling thread (the GUI thread): at once, or when xdg-settings has answered, which it is
// given 3 s for; the event loop keeps running meanwhile. An empty entry when none is found.
void FindHttpDesktopEntry(std::function<void(const DesktopEntry&)> done);
// The program and its arguments that entry's Exec value gives for url, by the Desktop Entry
// rules: the string escapes, then double quotes (inside which \", \`, \$ and \\ stand for the
// character); %f, %F, %u, %U give url (an argument that is nothing but one of them vanishes
// when url is empty), %i gives --icon and the icon, %c the name, %k the entry's file, %% a
// percent sign; deprecated and unknown codes give nothing. A value without %f, %F, %u or %U
// gets url as its last argument. Empty when the value is empty or a quote is not closed.
QStringList DesktopExecArguments(const DesktopEntry& entry, const QString& url);

// The module's icons by resource id: 447 (the module), 153 (set), 145 (refresh), 147 (exit).
QIcon Icon(int id);
// The module's own pointing hand, 32 x 32.
QCursor HandCursor();

// Whether a UDP socket can be opened: the socket layer check of the start-up.
bool SocketLayerAvailable();

} // namespace platform
