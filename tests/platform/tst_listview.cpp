// The list control every list page shows its rows in: texts come back as they went in, however
// long or wherever they came from, and selections are told in list order.
#include "platform/listview.h"

#include <QSignalSpy>
#include <QTest>

class TestListView : public QObject {
    Q_OBJECT

private slots:
    void textsComeBack_data() {
        QTest::addColumn<QStringList>("texts");
        QTest::newRow("plain") << QStringList{"00 1A 2B 3C 4D 5E", "Learned", "12"};
        QTest::newRow("empty cells") << QStringList{"", "x", ""};
        // Lengths about the one-byte length's limit, counted in UTF-8 bytes.
        QTest::newRow("254 bytes") << QStringList{QString(254, 'a'), "b", "c"};
        QTest::newRow("255 bytes") << QStringList{QString(255, 'a'), "b", "c"};
        QTest::newRow("long wide")
            << QStringList{QString(100, QChar(0x4f4d)), QString(70000, 'z'), "c"};
        QTest::newRow("other scripts") << QStringList{"位元組/秒", "Größe", "\t tab and line\n"};
        QTest::newRow("beyond the columns") << QStringList{"1", "2", "3", "hidden source", "more"};
        QTest::newRow("fewer than columns") << QStringList{"only"};
    }
    void textsComeBack() {
        QFETCH(QStringList, texts);
        platform::ListView list;
        list.setHeadings({"A", "B", "C"});
        const QStringList other{"before", "", "after"};
        list.appendRows({other, texts});
        list.squeeze(); // as a walk that ended gives back its spare room
        list.appendRow(other);
        QCOMPARE(list.rowCount(), 3);
        for (int c = 0; c < std::max<int>(texts.size(), 3) + 1; ++c)
            QCOMPARE(list.text(1, c), texts.value(c));
        QCOMPARE(list.rowTexts(1), (QStringList{texts.value(0), texts.value(1), texts.value(2)}));
        QCOMPARE(list.rowTexts(0), other);
        QCOMPARE(list.rowTexts(2), other);
        QCOMPARE(list.text(3, 0), QString());
        QCOMPARE(list.text(-1, 0), QString());
        QCOMPARE(list.model()->data(list.model()->index(1, 0)).toString(), texts.value(0));
    }

    void selectionInListOrder() {
        platform::ListView list;
        list.setSelectionMode(QAbstractItemView::ExtendedSelection);
        list.setHeadings({"A", "B"});
        for (int r = 0; r < 6; ++r)
            list.appendRow({QString::number(r), "x"});
        QSignalSpy changed(&list, &platform::ListView::rowSelectionChanged);
        for (int r : {4, 1, 3})
            list.setRowSelected(r);
        QCOMPARE(list.selectedRows(), (QList<int>{1, 3, 4}));
        QVERIFY(list.isRowSelected(3) && !list.isRowSelected(2));
        list.setRowSelected(3, false);
        QCOMPARE(list.selectedRows(), (QList<int>{1, 4}));
        // Pages disable what needs a selected row when the list is emptied for a new walk.
        changed.clear();
        list.clear();
        QCOMPARE(changed.count(), 1);
        QCOMPARE(list.selectedRows(), QList<int>());
        QCOMPARE(list.rowCount(), 0);
        QCOMPARE(list.columnCount(), 2);
    }
};

QTEST_MAIN(TestListView)
#include "tst_listview.moc"
