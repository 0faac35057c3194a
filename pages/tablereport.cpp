#include "pages/tablereport.h"

#include "platform/listview.h"
#include "platform/platform.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QKeySequence>
#include <QPainter>
#include <QPrinter>
#include <QShortcut>
#include <QTransform>

#include <algorithm>

namespace {

constexpr int kRowsPerPage = 35;
constexpr int kRowStep = 360;
constexpr int kTitleX = 1340, kTitleY = -360;
constexpr int kRuleLeft = 720, kRuleRight = 6480, kRuleY = -620;
constexpr int kHeaderY = -980;
constexpr int kFirstRowY = -1440;
constexpr int kFooterY = -14400;
// The page number is centred on an assumed 8-inch page, whatever the paper.
constexpr int kAssumedPageWidth = 11520;

int CodePageWidth(QStringView text) {
    int width = 0;
    for (QChar c : text)
        width += c.unicode() < 0x80 ? 1 : c.isLowSurrogate() ? 0 : 2;
    return width;
}

// Whether the accepted dialog left anything to print on: a printer of the system, or a file.
// Without either (no printer installed and the PDF file not chosen) there is no device to draw
// on, as when the desktop's dialog hands back no printer device context.
bool HasPrintDevice(const QPrinter& printer) {
    if (!printer.isValid()) return false;
    return printer.outputFormat() == QPrinter::NativeFormat ? !printer.printerName().isEmpty()
                                                            : !printer.outputFileName().isEmpty();
}

// Draws on the printer in twips, y upward, from the top-left of the printable area. The painter
// itself stays in device pixels so that text keeps the default font's size on the printer.
class TwipsPage {
public:
    explicit TwipsPage(QPainter& painter)
        : m_painter(painter), m_metrics(painter.font(), painter.device()),
          m_toDevice(QTransform::fromScale(painter.device()->logicalDpiX() / 1440.0,
                                           -painter.device()->logicalDpiY() / 1440.0)) {}

    // Text whose character cell has its top-left corner at (x, y).
    void text(int x, int y, const QString& s) {
        m_painter.drawText(m_toDevice.map(QPointF(x, y)) + QPointF(0, m_metrics.ascent()), s);
    }
    void line(int x1, int y1, int x2, int y2) {
        m_painter.drawLine(m_toDevice.map(QLineF(x1, y1, x2, y2)));
    }
    // The text's width in whole twips, as the device reports extents in logical units.
    int width(const QString& s) const {
        return int(m_metrics.horizontalAdvance(s) / m_toDevice.m11());
    }
    // The text cut to at most twips wide, an ellipsis at its end.
    QString elided(const QString& s, int twips) const {
        return m_metrics.elidedText(s, Qt::ElideRight, twips * m_toDevice.m11());
    }
    // The printable area's width in twips.
    int pageWidth() const { return int(m_painter.device()->width() / m_toDevice.m11()); }

private:
    QPainter& m_painter;
    QFontMetricsF m_metrics;
    QTransform m_toDevice;
};

constexpr int kColumnGap = 360;

// A cell of the report's rows: from its model when it has one, else from its list.
QString CellText(const TableReport& report, int row, int column) {
    return report.model ? report.model->index(row, column).data().toString()
                        : report.list->text(row, column);
}

struct Column {
    int left;
    int width;
    bool leftAligned;
};

// Where a tabulated report's columns stand: each as wide as its widest text within its bound,
// the last ending at the page's right edge at the latest.
QList<Column> TabulatedColumns(const TwipsPage& page, const TableReport& report, int rows) {
    QList<Column> out;
    int x = report.rowX;
    for (qsizetype i = 0; i < report.columns.size(); ++i) {
        int width = page.width(report.headerArgs.value(i));
        for (int r = 0; r < rows; ++r)
            width = std::max(width, page.width(CellText(report, r, report.columns[i])));
        if (const int most = report.maxWidths.value(i); most > 0) width = std::min(width, most);
        width = std::max(0, std::min(width, page.pageWidth() - x));
        out << Column{x, width,
                      report.leftAligned.isEmpty() ? i == 0 : report.leftAligned.value(i)};
        x += width + kColumnGap;
    }
    return out;
}

// One line of a tabulated report, each text at its column's edge.
void TabulatedLine(TwipsPage& page, const QList<Column>& columns, int y, const QStringList& texts) {
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const Column& c = columns[i];
        const QString text = page.width(texts.value(i)) > c.width
                                 ? page.elided(texts.value(i), c.width)
                                 : texts.value(i);
        page.text(c.leftAligned ? c.left : c.left + c.width - page.width(text), y, text);
    }
}

void DrawPage(TwipsPage& page, const TableReport& report, int number, int rows,
              const QList<Column>& edges) {
    page.text(kTitleX, kTitleY, report.title);
    page.line(kRuleLeft, kRuleY, kRuleRight, kRuleY);
    if (report.tabulated)
        TabulatedLine(page, edges, kHeaderY, report.headerArgs);
    else
        page.text(report.headerX, kHeaderY, FormatPrintf(report.headerFormat, report.headerArgs));
    for (int r = kRowsPerPage * (number - 1); r < kRowsPerPage * number && r < rows; ++r) {
        QStringList texts;
        for (int c : report.columns)
            texts << CellText(report, r, c);
        const int y = kFirstRowY - kRowStep * (r % kRowsPerPage);
        if (report.tabulated)
            TabulatedLine(page, edges, y, texts);
        else
            page.text(report.rowX, y, FormatPrintf(report.rowFormat, texts));
    }
    const QString footer = FormatPrintf(report.footerFormat, {QString::number(number)});
    page.text((kAssumedPageWidth - page.width(footer)) / 2, kFooterY, footer);
}

const QString kRmonFooter = QStringLiteral("第 %d 頁");

} // namespace

QString FormatPrintf(QStringView format, const QStringList& args) {
    QString out;
    qsizetype next = 0;
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('%')) {
            out += format[i];
            continue;
        }
        qsizetype j = i + 1;
        if (j < format.size() && format[j] == QLatin1Char('%')) {
            out += QLatin1Char('%');
            i = j;
            continue;
        }
        const bool left = j < format.size() && format[j] == QLatin1Char('-');
        if (left) ++j;
        int width = 0;
        for (; j < format.size() && format[j].isDigit(); ++j)
            width = std::min(width * 10 + format[j].digitValue(), 1000);
        if (j >= format.size() ||
            (format[j] != QLatin1Char('s') && format[j] != QLatin1Char('d'))) {
            out += format[i]; // not a conversion this formatter knows: kept as written
            continue;
        }
        const QString arg = args.value(next++);
        const QString pad(std::max(0, width - CodePageWidth(arg)), QLatin1Char(' '));
        out += left ? arg + pad : pad + arg;
        i = j;
    }
    return out;
}

void Print(QWidget* page, const TableReport& report) {
    const int rows = report.model  ? report.model->rowCount()
                     : report.list ? report.list->rowCount()
                                   : 0;
    if (rows < 1) return;
    QPrinter printer(QPrinter::HighResolution);
    // Named before the dialog, which proposes the name for a PDF file.
    printer.setDocName(report.title);
    if (!platform::PrintDialog(page, printer)) return;
    if (!HasPrintDevice(printer)) {
        if (report.reportFailures)
            platform::MessageBox(page, QStringLiteral("Can't get printer information!"));
        return;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (report.reportFailures) platform::MessageBox(page, QStringLiteral("Print error!"));
        return;
    }
    TwipsPage twips(painter);
    const QList<Column> edges =
        report.tabulated ? TabulatedColumns(twips, report, rows) : QList<Column>();
    const int pages = rows / kRowsPerPage + 1;
    for (int number = 1; number <= pages; ++number) {
        DrawPage(twips, report, number, rows, edges);
        // Ending the last page is ending the job; every other page ends as the next begins.
        if (number < pages && !printer.newPage()) {
            printer.abort();
            break;
        }
    }
    painter.end();
}

void PrintArpReport(QWidget* page, platform::ListView* list) {
    const QString title = QStringLiteral("ARP Information");
    page->setWindowTitle(title);
    Print(page, {list,
                 title,
                 420,
                 360,
                 QStringLiteral(" %10s %16s %20s %10s"),
                 {QStringLiteral("Interface"), QStringLiteral(" IP             "),
                  QStringLiteral(" MAC            "), QStringLiteral(" Type    ")},
                 QStringLiteral("%10s %16s %20s %10s"),
                 {0, 1, 2, 3},
                 QStringLiteral(" %d Page"),
                 QStringLiteral("raw"),
                 true});
}

void PrintAlarmReport(QWidget* page, platform::ListView* alarms) {
    Print(page, {alarms,
                 page->windowTitle() + QStringLiteral(" - 控制表"),
                 90,
                 90,
                 QStringLiteral("  %4s%8s%25s%8s %10s%9s%9s%9s%9s%8s"),
                 {QStringLiteral("索引"), QStringLiteral("間隔:秒"), QStringLiteral("OID       "),
                  QStringLiteral("採樣類型"), QStringLiteral("觸發方式"),
                  QStringLiteral("上升閾值"), QStringLiteral("下降閾值"),
                  QStringLiteral("上升事件"), QStringLiteral("下降事件"), QStringLiteral("屬主")},
                 QStringLiteral("%4s%8s%25s%8s%10s %7s  %5s  %5s  %5s %8s"),
                 {0, 1, 2, 3, 5, 6, 7, 8, 9, 10},
                 kRmonFooter,
                 {},
                 false});
}

void PrintEventReport(QWidget* page, platform::ListView* events) {
    Print(page,
          {events,
           page->windowTitle() + QStringLiteral(" - 事件表"),
           90,
           90,
           QStringLiteral("  %4s%20s%16s  %12s%20s%15s"),
           {QStringLiteral("索引"), QStringLiteral("描述  "), QStringLiteral("類型"),
            QStringLiteral("團體字串"), QStringLiteral("上次發送時間"), QStringLiteral("屬主")},
           QStringLiteral("%4s%20s%16s%12s%20s%15s"),
           {0, 1, 2, 3, 4, 5},
           kRmonFooter,
           {},
           false});
}

void PrintHistoryReport(QWidget* page, platform::ListView* samples, platform::ListView* controls) {
    const QList<int> selected = controls->selectedRows();
    const int control = selected.isEmpty() ? 0 : selected.first();
    const QString title = QStringLiteral("RMON2:歷史記錄表 - ") + QStringLiteral(" 控制表項 ") +
                          controls->text(control, 0);
    // The page shows rates per second, and so does the report.
    Print(page, {samples,
                 title,
                 360,
                 360,
                 {},
                 {QStringLiteral("時間"), QStringLiteral("位元組/秒"), QStringLiteral("包/秒"),
                  QStringLiteral("利用率 %"), QStringLiteral("錯誤/秒")},
                 {},
                 {0, 1, 2, 3, 4},
                 kRmonFooter,
                 {},
                 false,
                 true});
}

void PrintAlarmOrEventReport(QWidget* page, platform::ListView* alarms,
                             platform::ListView* events) {
    const QWidget* focus = QApplication::focusWidget();
    if (focus && (focus == alarms || alarms->isAncestorOf(focus)))
        PrintAlarmReport(page, alarms);
    else
        PrintEventReport(page, events);
}

void InstallPrintShortcut(QWidget* page, std::function<void()> print) {
    auto* shortcut = new QShortcut(QKeySequence::Print, page);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, page, std::move(print));
}
