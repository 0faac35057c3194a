// Printing a page's list as a plain text report: a title, a rule, a column header line, 35 rows
// per page and a centred page number, at fixed places in twips on the printable area, in the
// printer's default font. The ARP page, the RMON history page and the RMON alarm and event
// page each call one of the Print...Report functions from their Print command.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class QAbstractItemModel;
namespace platform {
class ListView;
}
class QWidget;

// What one report prints. Positions are twips (1/1440 inch) from the top-left corner of the
// printable area, y growing upward, so everything on the page stands at negative y.
struct TableReport {
    platform::ListView* list = nullptr; // read when printing, never changed
    QString title;                      // also the print job's document name
    int headerX = 0;
    int rowX = 0;
    QString headerFormat; // formatted with headerArgs once per page
    QStringList headerArgs;
    QString rowFormat; // formatted with the texts of columns, in that order
    QList<int> columns;
    QString footerFormat; // one %d: the page number
    // "raw" or empty. Kept with the description but not handed to the print system: Qt gives
    // it PDF or PostScript, which a raw queue would send to the printer unconverted.
    QString dataType;
    // With failures reported the page shows "Can't get printer information!" or "Print error!";
    // without, a failed report ends silently.
    bool reportFailures = false;
    // Columns at measured places instead of the formats' blanks, which line up only in a font
    // of fixed pitch: each column as wide as its widest text (header argument or cell) and a
    // quarter inch from the next, from rowX; the first left-aligned, the others right-aligned.
    bool tabulated = false;
    const QAbstractItemModel* model = nullptr; // read instead of list when given
    // Tabulated only: the columns (by their place in columns) that stand at their left edge, as
    // text reads, rather than at their right edge, as numbers do; empty: the first alone.
    QList<bool> leftAligned = {};
    // Tabulated only: the most twips a column may take (0 or none given: as wide as its widest
    // text). A longer text is cut with an ellipsis, and so is what would run past the
    // printable area's right edge.
    QList<int> maxWidths = {};
};

// Prints the report under page (the owner of the print dialog and of the messages). An empty
// list prints nothing and asks nothing; a cancelled dialog prints nothing. Pages: rows / 35 + 1,
// so a multiple of 35 rows ends with a page that has no rows.
void Print(QWidget* page, const TableReport& report);

// The four reports, each from its page's Print command.
// The ARP list (Interface, IP, MAC, Type); sets the page's title to "ARP Information" first.
void PrintArpReport(QWidget* page, platform::ListView* list);
// The alarm list's eleven columns but the sample value (4); title: the page's title + " - 控制表".
void PrintAlarmReport(QWidget* page, platform::ListView* alarms);
// The event list's six columns; title: the page's title + " - 事件表".
void PrintEventReport(QWidget* page, platform::ListView* events);
// The sample list's five columns; the title names the selected control entry (column 0 of the
// selected control row, of the first row when none is selected).
void PrintHistoryReport(QWidget* page, platform::ListView* samples, platform::ListView* controls);
// The alarm report while the alarm list has the keyboard focus, else the event report.
void PrintAlarmOrEventReport(QWidget* page, platform::ListView* alarms, platform::ListView* events);

// The Print buttons stay hidden; the standard print shortcut (Ctrl+P) anywhere in the page's
// window runs print, the page's Print command.
void InstallPrintShortcut(QWidget* page, std::function<void()> print);

// printf on text: %s and %d (both take the next argument's text), an optional '-' and a field
// width, and %%. A field is padded with blanks to its width (on the left unless '-') and never
// cut. Widths count as the double-byte code page the reports were laid out in counts bytes: one
// for ASCII, two for any other character. A missing argument formats as empty text.
QString FormatPrintf(QStringView format, const QStringList& args);
