// What the page tests share: reading a dialog's controls and lists by id, clicking as a person
// does, and the pictures for the README.
#pragma once

#include "pages/pagecommon.h"
#include "platform/listview.h"
#include "platform/platform.h"
#include "tests/common/simsession.h"

#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <initializer_list>

inline QStringList texts(QWidget* page, std::initializer_list<int> ids) {
    QStringList out;
    for (int id : ids)
        out << ItemText(page, id);
    return out;
}

inline QStringList row(platform::ListView* list, int r) {
    return list->rowTexts(r);
}

inline QList<QStringList> rows(platform::ListView* list) {
    QList<QStringList> out;
    for (int r = 0; r < list->rowCount(); ++r)
        out << row(list, r);
    return out;
}

inline QStringList column(platform::ListView* list, int c) {
    QStringList out;
    for (int r = 0; r < list->rowCount(); ++r)
        out << list->text(r, c);
    return out;
}

inline bool enabled(QWidget* page, int id) {
    return platform::DialogItem(page, id)->isEnabled();
}

// A person's click on the push button with this id; the button must be there and enabled.
inline void click(QWidget* page, int id) {
    auto* b = platform::Item<QPushButton>(page, id);
    QVERIFY2(b, qPrintable(QStringLiteral("no button %1").arg(id)));
    QVERIFY2(b->isEnabled(), qPrintable(QStringLiteral("button %1 is disabled").arg(id)));
    QTest::mouseClick(b, Qt::LeftButton);
}

// A click on a list row (and a double-click after it, as a person's double-click comes).
inline void clickRow(platform::ListView* list, int r, bool twice = false) {
    QVERIFY(r >= 0 && r < list->rowCount());
    list->scrollToRow(r);
    const QPoint at = list->rowRect(r).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    if (twice) {
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
    }
}

// With TALVEX_SHOT_DIR set, the page's picture goes there under name.
inline void saveShot(QWidget* page, const char* name) {
    const QString dir = qEnvironmentVariable("TALVEX_SHOT_DIR");
    if (!dir.isEmpty()) page->grab().save(dir + QLatin1Char('/') + QLatin1String(name));
}

// Pages run on their own: a system directory without the panel file (nothing polls), every
// message box answered OK, the session toward the simulator. False when noPanel is no directory.
inline bool UsePagesAlone(const QTemporaryDir& noPanel) {
    if (!noPanel.isValid()) return false;
    qputenv("TALVEX_SYSTEM_DIR", noPanel.path().toUtf8());
    platform::SetMessageBoxHook(
        [](QWidget*, const QString&, bool) { return platform::Answer::Ok; });
    UseSimulator();
    return true;
}
