// The table reports through Qt's real printing path into PDF files, read back with poppler's
// pdfinfo and pdftotext; the print dialog answered through its platform hook.
#include "events/decode.h"
#include "events/journal.h"
#include "events/model.h"
#include "pages/deviceeventsdlg.h"
#include "pages/pagecommon.h"
#include "pages/tablereport.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "tests/common/peers.h"

#include <QComboBox>
#include <QDialog>
#include <QFontDatabase>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

namespace {

const QString kNoPrinter =
    QStringLiteral("No printer is installed: the report can be printed to a PDF file.");

struct Word {
    QString text;
    double xMin, yMin, xMax;
};

// pdftotext -bbox: the words of each page with their boxes, in points from the page's top-left.
QList<QList<Word>> PdfWords(const QString& pdf) {
    const QString html = RunTool(QStringLiteral("pdftotext"), {"-bbox", pdf, "-"});
    QList<QList<Word>> pages;
    static const QRegularExpression tag(QStringLiteral(
        R"re(<page |<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="[\d.]+">([^<]*)</word>)re"));
    for (auto m = tag.globalMatch(html); m.hasNext();) {
        const auto w = m.next();
        if (w.captured(0) == QStringLiteral("<page "))
            pages.append(QList<Word>());
        else if (!pages.isEmpty())
            pages.last().append(
                {w.captured(4).replace(QStringLiteral("&amp;"), QStringLiteral("&")),
                 w.captured(1).toDouble(), w.captured(2).toDouble(), w.captured(3).toDouble()});
    }
    return pages;
}

const Word* Find(const QList<Word>& words, const QString& text) {
    for (const Word& w : words)
        if (w.text == text) return &w;
    return nullptr;
}

// The lines of one page as pdftotext -layout reads them, blanks runs collapsed, empty lines gone.
QStringList PdfLines(const QString& pdf, int page) {
    const QString text =
        RunTool(QStringLiteral("pdftotext"),
                {"-layout", "-f", QString::number(page), "-l", QString::number(page), pdf, "-"});
    QStringList lines;
    for (const QString& line : text.split(QLatin1Char('\n')))
        if (!line.simplified().isEmpty()) lines << line.simplified();
    return lines;
}

QString PdfInfo(const QString& pdf, const QString& field) {
    const QString info = RunTool(QStringLiteral("pdfinfo"), {pdf});
    static const QRegularExpression line(QStringLiteral("^(\\w+):\\s*(.*)$"),
                                         QRegularExpression::MultilineOption);
    for (auto m = line.globalMatch(info); m.hasNext();) {
        const auto f = m.next();
        if (f.captured(1) == field) return f.captured(2).trimmed();
    }
    return {};
}

void AddRow(platform::ListView* list, const QStringList& texts) {
    list->appendRow(texts);
}

// An ARP list as the page walks it; interface indexes of ten digits fill their field, so each
// row starts at the row x.
void FillArp(platform::ListView* list, int rows, bool wideIndex = false) {
    list->setHeadings(QStringList(4));
    for (int r = 0; r < rows; ++r)
        AddRow(list, {wideIndex ? QString::number(1000000000 + r) : QString::number(1 + r % 48),
                      QStringLiteral("192.168.%1.%2").arg(r / 200).arg(r % 200 + 2),
                      QStringLiteral("00:1A:2B:3C:%1:%2")
                          .arg(r / 256 % 256, 2, 16, QLatin1Char('0'))
                          .arg(r % 256, 2, 16, QLatin1Char('0'))
                          .toUpper(),
                      r % 7 == 0 ? QStringLiteral("Static") : QStringLiteral("Dynamic")});
}

void FillAlarms(platform::ListView* list, int rows) {
    list->setHeadings(QStringList(11));
    for (int r = 1; r <= rows; ++r)
        AddRow(list, {QString::number(r), QStringLiteral("30"),
                      QStringLiteral("1.3.6.1.2.1.16.1.1.1.5.%1").arg(r),
                      r % 2 ? QStringLiteral("deltaValue") : QStringLiteral("absoluteValue"),
                      QStringLiteral("4711"), QStringLiteral("Rising/Falling"),
                      QString::number(1000 * r), QString::number(100 * r), QStringLiteral("1"),
                      QStringLiteral("2"), QStringLiteral("Orvane")});
}

void FillEvents(platform::ListView* list, int rows) {
    list->setHeadings(QStringList(6));
    for (int r = 1; r <= rows; ++r)
        AddRow(list,
               {QString::number(r), QStringLiteral("rising-%1").arg(r), QStringLiteral("Log"),
                QStringLiteral("public"), QStringLiteral("0:01:02.03"), QStringLiteral("Orvane")});
}

void FillSamples(platform::ListView* list, int rows) {
    list->setHeadings(QStringList(5));
    for (int r = 0; r < rows; ++r)
        AddRow(list, {UptimeText(qint64(r) * 3000 + 360000), QString::number(1500 * r),
                      QString::number(12 * r), QString::number(r % 100), QStringLiteral("0")});
}

} // namespace

class TestReport : public QObject {
    Q_OBJECT

public:
    enum Kind { Arp, Alarm, Event, History };
    enum Outcome { Pdf, Cancel, NoDevice, Unwritable };

private:
    QTemporaryDir m_dir;
    Outcome m_outcome = Pdf;
    QString m_pdf;
    int m_dialogs = 0;
    QPrintDialog::PrintDialogOptions m_options;
    QWidget* m_dialogOwner = nullptr;
    QPrinter::PrintRange m_range = QPrinter::Selection;
    QPointF m_origin; // the printable area's top-left on the PDF page, in points
    QStringList m_messages;
    QWidget* m_messageOwner = nullptr;
    QStringList m_notices; // that no printer is installed, apart from the messages above

    // The next dialog is answered with outcome; an accepted job writes to a fresh file in the
    // test's directory, whose path is returned.
    QString answer(Outcome outcome) {
        static int serial = 0;
        m_outcome = outcome;
        m_pdf = m_dir.filePath(QStringLiteral("report-%1.pdf").arg(++serial));
        return m_pdf;
    }

    bool onPrintDialog(QPrintDialog* dialog) {
        ++m_dialogs;
        m_options = dialog->options();
        m_dialogOwner = dialog->parentWidget();
        QPrinter& printer = *dialog->printer();
        m_range = printer.printRange();
        printer.setOutputFormat(QPrinter::PdfFormat);
        switch (m_outcome) {
        case Pdf:
        case Cancel: // a file is named, and must stay unwritten
            printer.setOutputFileName(m_pdf);
            break;
        case NoDevice:
            printer.setOutputFileName({});
            break;
        case Unwritable:
            printer.setOutputFileName(m_dir.filePath(QStringLiteral("no-such-dir/report.pdf")));
            break;
        }
        m_origin = printer.pageRect(QPrinter::Point).topLeft();
        return m_outcome != Cancel;
    }

    static void print(Kind kind, QWidget* page, platform::ListView* list,
                      platform::ListView* controls = nullptr) {
        switch (kind) {
        case Arp:
            return PrintArpReport(page, list);
        case Alarm:
            return PrintAlarmReport(page, list);
        case Event:
            return PrintEventReport(page, list);
        case History:
            return PrintHistoryReport(page, list, controls);
        }
    }

    static void fill(Kind kind, platform::ListView* list, int rows) {
        switch (kind) {
        case Arp:
            return FillArp(list, rows);
        case Alarm:
            return FillAlarms(list, rows);
        case Event:
            return FillEvents(list, rows);
        case History:
            return FillSamples(list, rows);
        }
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        platform::SetPrintDialogHook([this](QPrintDialog* d) { return onPrintDialog(d); });
        platform::SetMessageBoxHook([this](QWidget* owner, const QString& text, bool) {
            if (text == kNoPrinter) {
                m_notices << text;
                return platform::Answer::Ok;
            }
            m_messages << text;
            m_messageOwner = owner;
            return platform::Answer::Ok;
        });
    }

    void cleanupTestCase() {
        platform::SetPrintDialogHook({});
        platform::SetMessageBoxHook({});
    }

    void init() {
        m_dialogs = 0;
        m_messages.clear();
        m_messageOwner = nullptr;
        m_notices.clear();
    }

    // The real dialog offers a PDF file, under the printers or alone; with no printer the
    // operator is told so, and the file proposed is the report's title in the home directory.
    // Printing to it writes the report there.
    void printsToPdf() {
        const bool printers = !QPrinterInfo::availablePrinterNames().isEmpty();
        QTemporaryDir home;
        const QByteArray oldHome = qgetenv("HOME");
        qputenv("HOME", home.path().toUtf8());
        QStringList entries;
        QString proposed, chosen = home.filePath(QStringLiteral("chosen.pdf"));
        platform::SetPrintDialogHook([&](QPrintDialog* dialog) {
            dialog->show();
            auto* devices = dialog->findChild<QComboBox*>(QStringLiteral("printers"));
            auto* file = dialog->findChild<QLineEdit*>(QStringLiteral("filename"));
            if (!devices || !file) return false;
            for (int i = 0; i < devices->count(); ++i)
                entries << devices->itemText(i);
            devices->setCurrentIndex(devices->findText(QStringLiteral("Print to File (PDF)")));
            proposed = file->text();
            if (printers) file->setText(chosen);
            dialog->accept();
            return dialog->result() == QDialog::Accepted;
        });
        QWidget page;
        platform::ListView list;
        FillArp(&list, 3);
        PrintArpReport(&page, &list);
        platform::SetPrintDialogHook([this](QPrintDialog* d) { return onPrintDialog(d); });
        qputenv("HOME", oldHome);
        QVERIFY(entries.contains(QStringLiteral("Print to File (PDF)")));
        if (!printers) {
            QCOMPARE(entries.size(), 1);
            QCOMPARE(m_notices, QStringList{kNoPrinter});
            QCOMPARE(proposed, home.filePath(QStringLiteral("ARP Information.pdf")));
            chosen = proposed;
        } else {
            QVERIFY(m_notices.isEmpty());
        }
        QVERIFY(m_messages.isEmpty());
        QCOMPARE(PdfInfo(chosen, "Title"), QStringLiteral("ARP Information"));
        QCOMPARE(PdfLines(chosen, 1).value(2),
                 QStringLiteral("1 192.168.0.2 00:1A:2B:3C:00:00 Static"));
    }

    void pageCount_data() {
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("pages");
        QTest::addColumn<int>("lastPageRows");
        QTest::newRow("1") << 1 << 1 << 1;
        QTest::newRow("34") << 34 << 1 << 34;
        QTest::newRow("35") << 35 << 2 << 0;
        QTest::newRow("36") << 36 << 2 << 1;
        QTest::newRow("70") << 70 << 3 << 0;
    }

    void pageCount() {
        QFETCH(int, rows);
        QFETCH(int, pages);
        QFETCH(int, lastPageRows);
        QWidget page;
        platform::ListView list;
        FillArp(&list, rows);
        const QString pdf = answer(Pdf);
        PrintArpReport(&page, &list);
        QCOMPARE(page.windowTitle(), QStringLiteral("ARP Information"));
        QCOMPARE(PdfInfo(pdf, "Pages").toInt(), pages);
        QCOMPARE(PdfInfo(pdf, "Title"), QStringLiteral("ARP Information"));
        QCOMPARE(list.rowCount(), rows);
        // Every page has title, header and number around its rows.
        for (int p = 1; p <= pages; ++p) {
            const QStringList lines = PdfLines(pdf, p);
            const int onPage = p < pages ? 35 : lastPageRows;
            QCOMPARE(lines.size(), 3 + onPage);
            QCOMPARE(lines[0], QStringLiteral("ARP Information"));
            QCOMPARE(lines[1], QStringLiteral("Interface IP MAC Type"));
            QCOMPARE(lines.last(), QStringLiteral("%1 Page").arg(p));
            if (onPage > 0) {
                const int first = 35 * (p - 1);
                QCOMPARE(lines[2], QStringList({list.text(first, 0), list.text(first, 1),
                                                list.text(first, 2), list.text(first, 3)})
                                       .join(' '));
            }
        }
        QVERIFY(m_messages.isEmpty());
    }

    // Positions read back in points (20 twips) from the printable area's top-left.
    void positions() {
        QWidget page;
        platform::ListView list;
        FillArp(&list, 36, true);
        const QString pdf = answer(Pdf);
        PrintArpReport(&page, &list);
        const QList<QList<Word>> words = PdfWords(pdf);
        QCOMPARE(words.size(), 2);
        auto at = [&](int p, const QString& text) {
            const Word* w = Find(words[p - 1], text);
            return w ? *w : Word{text, -1, -1, -1};
        };
        const Word row0 = at(1, "1000000000");
        QVERIFY(qAbs(row0.xMin - (m_origin.x() + 18)) < 0.1); // row x 360
        QVERIFY2(qAbs(row0.yMin - (m_origin.y() + 72)) < 0.5,
                 qPrintable(QString::number(row0.yMin)));
        QVERIFY(qAbs(at(1, "1000000001").yMin - row0.yMin - 18) < 0.01);
        QVERIFY(qAbs(at(1, "1000000034").yMin - row0.yMin - 34 * 18) < 0.01);
        // Row 35 stands where row 0 stood.
        const Word row35 = at(2, "1000000035");
        QCOMPARE(row35.xMin, row0.xMin);
        QCOMPARE(row35.yMin, row0.yMin);
        QVERIFY(qAbs(at(2, "ARP").xMin - (m_origin.x() + 67)) < 0.1); // title x 1340
        QVERIFY(qAbs(at(2, "ARP").yMin - (m_origin.y() + 18)) < 0.5);

        // " 2 Page": the run from its leading blank to the end of "Page" is centred on 4 inches.
        const Word digit = at(2, "2"), word = at(2, "Page");
        const double blank = word.xMin - digit.xMax;
        QVERIFY(blank > 0);
        QVERIFY(qAbs(digit.yMin - (m_origin.y() + 720)) < 0.5);
        const double centre = (digit.xMin - blank + word.xMax) / 2;
        QVERIFY2(qAbs(centre - (m_origin.x() + 288)) < 0.1,
                 qPrintable(QString::number(centre - m_origin.x())));
    }

    void historyTitle_data() {
        QTest::addColumn<int>("selected");
        QTest::addColumn<QString>("index");
        QTest::newRow("none selected: first") << -1 << "3";
        QTest::newRow("third selected") << 2 << "9";
    }

    void historyTitle() {
        QFETCH(int, selected);
        QFETCH(QString, index);
        QWidget page;
        platform::ListView controls, samples;
        controls.setHeadings(QStringList(5));
        for (const char* i : {"3", "5", "9"})
            AddRow(&controls, {i, "Interface #1", "Orvane", "50", "30"});
        if (selected >= 0) controls.setRowSelected(selected);
        FillSamples(&samples, 4);
        const QString pdf = answer(Pdf);
        PrintHistoryReport(&page, &samples, &controls);
        QCOMPARE(PdfInfo(pdf, "Title"), QStringLiteral("RMON2:歷史記錄表 -  控制表項 ") + index);
        const QStringList lines = PdfLines(pdf, 1);
        QCOMPARE(lines.value(0), QStringLiteral("RMON2:歷史記錄表 - 控制表項 ") + index);
        QCOMPARE(lines.value(2), QStringLiteral("1 Hours 0 Minutes 0 0 0 0"));
    }

    // The history report's columns line up under their headings whatever the digits' widths:
    // the time's left edges, the rates' right edges.
    void historyColumnsAlign() {
        QWidget page;
        platform::ListView controls, samples;
        controls.setHeadings(QStringList(5));
        AddRow(&controls, {"1"});
        samples.setHeadings(QStringList(5));
        AddRow(&samples, {"0 Hours 0 Minutes ", "1", "1", "0.00", "0.03"});
        AddRow(&samples, {"12 Hours 41 Minutes ", "1234567", "98765", "100.00", "1111.11"});
        AddRow(&samples, {"123 Hours 7 Minutes ", "42", "7000", "9.99", "4.10"});
        const QString pdf = answer(Pdf);
        PrintHistoryReport(&page, &samples, &controls);
        const QList<Word> words = PdfWords(pdf).value(0);
        auto wordsOnLine = [&](const Word* first) {
            QList<Word> line;
            for (const Word& w : words)
                if (qAbs(w.yMin - first->yMin) < 0.5) line << w;
            std::sort(line.begin(), line.end(),
                      [](const Word& a, const Word& b) { return a.xMin < b.xMin; });
            return line;
        };
        const Word* time = Find(words, "時間");
        QVERIFY(time);
        const QList<Word> header = wordsOnLine(time);
        QCOMPARE(header.size(), 6); // "利用率 %" is two words
        const double left = header[0].xMin;
        const QList<double> rights = {header[1].xMax, header[2].xMax, header[4].xMax,
                                      header[5].xMax};
        for (const char* first : {"0", "12", "123"}) {
            const Word* w = nullptr;
            for (const Word& x : words)
                if (x.text == first && qAbs(x.xMin - left) < 0.1) w = &x;
            QVERIFY2(w, first);
            const QList<Word> row = wordsOnLine(w);
            QCOMPARE(row.size(), 8); // four words of time, four rates
            for (int c = 0; c < 4; ++c)
                QVERIFY2(qAbs(row[4 + c].xMax - rights[c]) < 0.1,
                         qPrintable(QStringLiteral("%1: %2 against %3")
                                        .arg(row[4 + c].text)
                                        .arg(row[4 + c].xMax)
                                        .arg(rights[c])));
        }
    }

    void alarmColumns() {
        QWidget page;
        page.setWindowTitle(QStringLiteral(" Alarm & Event Information"));
        platform::ListView alarms;
        alarms.setHeadings(QStringList(11));
        // Texts that fit their fields, so that each column stands apart.
        for (int r = 0; r < 3; ++r) {
            QStringList row;
            for (int c = 0; c < 11; ++c)
                row << QStringLiteral("%1c%2").arg(QChar('a' + r)).arg(c);
            AddRow(&alarms, row);
        }
        const QString pdf = answer(Pdf);
        PrintAlarmReport(&page, &alarms);
        QCOMPARE(PdfInfo(pdf, "Title"), QStringLiteral("Alarm & Event Information - 控制表"));
        const QStringList lines = PdfLines(pdf, 1);
        QCOMPARE(lines.size(), 6);
        QCOMPARE(lines[3], QStringLiteral("bc0 bc1 bc2 bc3 bc5 bc6 bc7 bc8 bc9 bc10"));
        // Realistic values overrun their fields and run together, as the fixed widths make them.
        FillAlarms(&alarms, 1);
        const QString again = answer(Pdf);
        PrintAlarmReport(&page, &alarms);
        QCOMPARE(PdfLines(again, 1).value(5),
                 QStringLiteral(
                     "1 30 1.3.6.1.2.1.16.1.1.1.5.1deltaValueRising/Falling 1000 100 1 2 Orvane"));
    }

    // The Chinese texts come back as the same text, drawn in a face that has their glyphs.
    void chineseTexts_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("header");
        QTest::newRow("alarm")
            << int(Alarm) << "Alarm & Event Information - 控制表"
            << "索引 間隔:秒 OID 採樣類型 觸發方式 上升閾值 下降閾值 上升事件 下降事件 屬主";
        QTest::newRow("event") << int(Event) << "Alarm & Event Information - 事件表"
                               << "索引 描述 類型 團體字串 上次發送時間 屬主";
        QTest::newRow("history") << int(History) << "RMON2:歷史記錄表 - 控制表項 7"
                                 << "時間 位元組/秒 包/秒 利用率 % 錯誤/秒";
    }

    void chineseTexts() {
        QFETCH(int, kind);
        QFETCH(QString, title);
        QFETCH(QString, header);
        QWidget page;
        page.setWindowTitle(QStringLiteral(" Alarm & Event Information"));
        platform::ListView list, controls;
        fill(Kind(kind), &list, 2);
        controls.setHeadings(QStringList(5));
        AddRow(&controls, {"7"});
        const QString pdf = answer(Pdf);
        print(Kind(kind), &page, &list, &controls);
        const QStringList lines = PdfLines(pdf, 1);
        QCOMPARE(lines.value(0), title);
        QCOMPARE(lines.value(1), header);
        // -layout joins the page number's words; their boxes show them apart and centred.
        const QList<Word> words = PdfWords(pdf).value(0);
        const Word* first = Find(words, "第");
        const Word* last = Find(words, "頁");
        QVERIFY(first && last);
        QVERIFY(std::any_of(words.begin(), words.end(), [&](const Word& w) {
            return w.text == "1" && w.xMin > first->xMax && w.xMax < last->xMin &&
                   qAbs(w.yMin - first->yMin) < 0.5;
        }));
        QVERIFY(qAbs((first->xMin + last->xMax) / 2 - (m_origin.x() + 288)) < 0.1);

        const QStringList cjk = QFontDatabase::families(QFontDatabase::TraditionalChinese);
        QVERIFY2(!cjk.isEmpty(), "no font with Chinese glyphs: run scripts/install-deps");
        const QString fonts = RunTool(QStringLiteral("pdffonts"), {pdf}).remove(' ');
        QVERIFY2(std::any_of(cjk.begin(), cjk.end(),
                             [&](QString f) { return fonts.contains(f.remove(' ')); }),
                 qPrintable(fonts));
    }

    void nothingPrinted_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("rows");
        QTest::newRow("ARP, cancelled") << int(Arp) << 3;
        QTest::newRow("alarms, cancelled") << int(Alarm) << 3;
        QTest::newRow("events, cancelled") << int(Event) << 3;
        QTest::newRow("history, cancelled") << int(History) << 3;
        QTest::newRow("ARP, empty list") << int(Arp) << 0;
        QTest::newRow("history, empty list") << int(History) << 0;
    }

    void nothingPrinted() {
        QFETCH(int, kind);
        QFETCH(int, rows);
        QWidget page;
        platform::ListView list, controls;
        fill(Kind(kind), &list, rows);
        const QString pdf = answer(Cancel);
        print(Kind(kind), &page, &list, &controls);
        QCOMPARE(m_dialogs, rows > 0 ? 1 : 0);
        QVERIFY(!QFile::exists(pdf));
        QVERIFY(m_messages.isEmpty());
        if (rows == 0) return;
        // The dialog the operator saw: the page's, all pages, nothing else to choose.
        QCOMPARE(m_dialogOwner, &page);
        QCOMPARE(m_range, QPrinter::AllPages);
        QVERIFY(m_options.testFlag(QPrintDialog::PrintToFile));
        for (auto option : {QPrintDialog::PrintSelection, QPrintDialog::PrintPageRange,
                            QPrintDialog::PrintCurrentPage})
            QVERIFY(!m_options.testFlag(option));
    }

    void failures_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("messages");
        const QStringList none;
        QTest::newRow("ARP, no printer")
            << int(Arp) << int(NoDevice) << QStringList{"Can't get printer information!"};
        QTest::newRow("ARP, job refused")
            << int(Arp) << int(Unwritable) << QStringList{"Print error!"};
        for (auto [kind, name] :
             {std::pair{Alarm, "alarms"}, {Event, "events"}, {History, "history"}}) {
            QTest::addRow("%s, no printer", name) << int(kind) << int(NoDevice) << none;
            QTest::addRow("%s, job refused", name) << int(kind) << int(Unwritable) << none;
        }
    }

    void failures() {
        QFETCH(int, kind);
        QFETCH(int, outcome);
        QFETCH(QStringList, messages);
        QWidget page;
        platform::ListView list, controls;
        fill(Kind(kind), &list, 5);
        const QStringList before =
            QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        answer(Outcome(outcome));
        if (outcome == Unwritable)
            QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        print(Kind(kind), &page, &list, &controls);
        QCOMPARE(m_dialogs, 1);
        QCOMPARE(m_messages, messages);
        if (!messages.isEmpty()) QCOMPARE(m_messageOwner, &page);
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    }

    void formatPrintf_data() {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("text");
        QTest::newRow("right-justified") << "%10s|" << QStringList{"abc"} << "       abc|";
        QTest::newRow("never cut") << "%2s|" << QStringList{"abcdef"} << "abcdef|";
        QTest::newRow("left-justified") << "%-5s|" << QStringList{"ab"} << "ab   |";
        QTest::newRow("Chinese fills its width") << "%4s|" << QStringList{"索引"} << "索引|";
        QTest::newRow("Chinese and ASCII") << "%8s|" << QStringList{"間隔:秒"} << " 間隔:秒|";
        QTest::newRow("page number") << " %d Page" << QStringList{"12"} << " 12 Page";
        QTest::newRow("percent") << "%d%%" << QStringList{"50"} << "50%";
        QTest::newRow("argument with %") << "[%s]" << QStringList{"利用率 %"} << "[利用率 %]";
        QTest::newRow("missing argument") << "%3s|%3s|" << QStringList{"a"} << "  a|   |";
        QTest::newRow("unknown conversion") << "%5x %s" << QStringList{"a"} << "%5x a";
        QTest::newRow("trailing %") << "a%" << QStringList{} << "a%";
    }

    void formatPrintf() {
        QFETCH(QString, format);
        QFETCH(QStringList, args);
        QFETCH(QString, text);
        QCOMPARE(FormatPrintf(format, args), text);
    }

    // Ctrl+P on the alarm and event page prints the list that has the focus, the events else.
    void printShortcut_data() {
        QTest::addColumn<QString>("focus");
        QTest::addColumn<QString>("title");
        QTest::newRow("alarm list") << "alarms"
                                    << " Alarm & Event Information - 控制表";
        QTest::newRow("event list") << "events"
                                    << " Alarm & Event Information - 事件表";
        QTest::newRow("a button") << "close"
                                  << " Alarm & Event Information - 事件表";
    }

    void printShortcut() {
        QFETCH(QString, focus);
        QFETCH(QString, title);
        QDialog page;
        page.setWindowTitle(QStringLiteral(" Alarm & Event Information"));
        auto* events = new platform::ListView(&page);
        auto* alarms = new platform::ListView(&page);
        auto* close = new QPushButton(QStringLiteral("&Close"), &page);
        events->setObjectName("events");
        alarms->setObjectName("alarms");
        close->setObjectName("close");
        FillEvents(events, 2);
        FillAlarms(alarms, 2);
        InstallPrintShortcut(&page, [&] { PrintAlarmOrEventReport(&page, alarms, events); });
        page.show();
        QVERIFY(QTest::qWaitForWindowActive(&page));
        QWidget* target = page.findChild<QWidget*>(focus);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());
        const QString pdf = answer(Pdf);
        QTest::keyClick(target, Qt::Key_P, Qt::ControlModifier);
        QCOMPARE(m_dialogs, 1);
        QCOMPARE(PdfInfo(pdf, "Title"), title.trimmed());
    }

    // Page 1 of the ARP and the alarm report as pictures, into TALVEX_SHOT_DIR when it is set.
    void pictures() {
        const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR", m_dir.path());
        QWidget arpPage, alarmPage;
        alarmPage.setWindowTitle(QStringLiteral(" Alarm & Event Information"));
        platform::ListView arp, alarms;
        FillArp(&arp, 40);
        FillAlarms(&alarms, 12);
        for (auto [list, name] : {std::pair{&arp, "arp-report"}, {&alarms, "alarm-report"}}) {
            const QString pdf = answer(Pdf);
            list == &arp ? PrintArpReport(&arpPage, list) : PrintAlarmReport(&alarmPage, list);
            bool ok = false;
            RunTool(
                QStringLiteral("pdftoppm"),
                {"-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf, dir + '/' + name},
                &ok);
            QVERIFY(ok);
            QVERIFY(QImage(dir + '/' + name + ".png").width() > 500);
        }
    }

    // The Device Events report stands in columns at measured edges, each text at its heading's
    // left edge, and nothing runs past the page's printable edge, however long a summary or an
    // unknown notification's OID.
    void deviceEventsColumns() {
        const QString path = m_dir.filePath(QStringLiteral("events.sqlite"));
        {
            events::Journal journal;
            QVERIFY(journal.open(path.toStdString(), true, nullptr));
            auto add = [&](int uptime, const char* oid, const char* summary, const char* port) {
                events::Event e;
                e.receivedMs = 1700000000000 + uptime * 1000;
                e.sender = e.device = "127.0.0.1";
                e.uptime = uptime;
                e.oid = oid;
                e.event =
                    events::NotificationName(oid).empty() ? oid : events::NotificationName(oid);
                e.severity = events::DefaultSeverity(oid);
                e.summary = summary;
                e.ifIndex = *port ? 5 : 0;
                e.port = port;
                QVERIFY(journal.append(e, nullptr));
            };
            add(1, "1.3.6.1.6.3.1.1.5.1", "The device restarted (cold start)", "");
            add(2, "1.3.6.1.6.3.1.1.5.3",
                "Link down on port FastEthernet 1/5 uplink to the distribution switch in room 2 "
                "(ifIndex 5) (admin up, oper down)",
                "FastEthernet 1/5 uplink to the distribution switch");
            add(3, "1.3.6.1.4.1.58213.4.1.2.3.4.5.6.7.8.9.10.11.12.13.14.15",
                "Notification 1.3.6.1.4.1.58213.4.1.2.3.4.5.6.7.8.9.10.11.12.13.14.15: "
                "1.3.6.1.2.1.1.5.0 x",
                "");
            add(4, "1.3.6.1.6.3.1.1.5.4", "Link up on port 5", "FE 1/5");
        }
        CDeviceEventsDlg page(path, QStringLiteral("127.0.0.1"));
        QCOMPARE(page.model()->rowCount(), 4);
        const QString pdf = answer(Pdf);
        page.OnPrint();
        const QList<Word> words = PdfWords(pdf).value(0);
        QVERIFY(!words.isEmpty());
        const QStringList headings = {"Time", "Sender", "Severity", "Event", "Port", "Summary"};
        QList<double> lefts;
        for (const QString& h : headings) {
            const Word* w = Find(words, h);
            QVERIFY2(w, qPrintable(h));
            if (!lefts.isEmpty()) QVERIFY(w->xMin > lefts.last());
            lefts << w->xMin;
        }
        auto startsAt = [&](const QString& text, int column) {
            for (const Word& w : words)
                if (w.text == text && qAbs(w.xMin - lefts[column]) < 0.5) return true;
            return false;
        };
        for (const char* severity : {"Minor", "Major", "Information"})
            QVERIFY2(startsAt(severity, 2), severity);
        for (const char* event : {"coldStart", "linkDown", "linkUp"})
            QVERIFY2(startsAt(event, 3), event);
        QVERIFY(startsAt("Link", 5));
        QVERIFY(startsAt("The", 5));
        const QRegularExpressionMatch size =
            QRegularExpression(QStringLiteral("Page size: *([\\d.]+) x"))
                .match(RunTool(QStringLiteral("pdfinfo"), {pdf}));
        const double right = size.captured(1).toDouble() - m_origin.x();
        QVERIFY(right > 300);
        for (const Word& w : words)
            QVERIFY2(w.xMax <= right + 0.5,
                     qPrintable(
                         QStringLiteral("%1 ends at %2 of %3").arg(w.text).arg(w.xMax).arg(right)));
        const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR");
        if (!dir.isEmpty())
            RunTool(QStringLiteral("pdftoppm"),
                    {"-png", "-r", "80", "-f", "1", "-l", "1", "-singlefile", pdf,
                     dir + QStringLiteral("/events-report")});
    }
};

QTEST_MAIN(TestReport)
#include "tst_report.moc"
