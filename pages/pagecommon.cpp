#include "pages/pagecommon.h"

#include "platform/listview.h"
#include "platform/platform.h"
#include "res/ids.h"
#include "res/stringtable.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QTimerEvent>

#include <algorithm>

void InitPage(QDialog* page, int templateId, const QString& caption) {
    platform::BuildDialog(page, templateId);
    page->setWindowIcon(platform::Icon(447));
    page->setWindowTitle(caption);
    page->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void OnClicked(QDialog* page, int id, std::function<void()> action) {
    if (auto* b = platform::Item<QPushButton>(page, id))
        QObject::connect(b, &QPushButton::clicked, page, std::move(action));
}

namespace {

class FirstShow : public QObject {
public:
    FirstShow(QDialog* page, int id) : QObject(page), m_page(page), m_id(id) { page->installEventFilter(this); }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Show) {
            m_page->removeEventFilter(this);
            QTimer::singleShot(0, m_page, [page = m_page, id = m_id] {
                if (auto* b = platform::Item<QPushButton>(page, id))
                    b->click();
            });
        }
        return false;
    }

private:
    QDialog* m_page;
    int m_id;
};

} // namespace

void ClickWhenFirstShown(QDialog* page, int id) {
    new FirstShow(page, id);
}

void EnableItem(QWidget* page, int id, bool enabled) {
    if (QWidget* w = platform::DialogItem(page, id))
        w->setEnabled(enabled);
}

int SelectedRow(platform::ListView* list) {
    const QList<int> selected = list->selectedRows();
    return selected.isEmpty() ? -1 : selected.first();
}

void SetItemText(QWidget* page, int id, const QString& text) {
    QWidget* w = platform::DialogItem(page, id);
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        platform::SetEditText(edit, text);
}

QString ItemText(QWidget* page, int id) {
    QWidget* w = platform::DialogItem(page, id);
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text();
    return {};
}

namespace {

// Ctrl+C in a list: the view's own copy would take only the current cell's text.
class RowCopier : public QObject {
public:
    explicit RowCopier(QTreeView* list) : QObject(list), m_list(list) {
        list->installEventFilter(this);
    }
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::ShortcutOverride)
            return false;
        auto* key = static_cast<QKeyEvent*>(event);
        if (!key->matches(QKeySequence::Copy)) return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // the key comes to the list, not to a shortcut
            return true;
        }
        QGuiApplication::clipboard()->setText(SelectedRowsText(m_list));
        return true;
    }

private:
    QTreeView* m_list;
};

} // namespace

void SetupListColumns(platform::ListView* list, std::initializer_list<int> headingIds) {
    QStringList headings;
    for (int id : headingIds)
        headings << QString::fromUtf8(res::String(id));
    SetupListColumns(list, headings);
}

void SetupListColumns(platform::ListView* list, const QStringList& headings) {
    list->setHeadings(headings);
    SetupListColumns(static_cast<QTreeView*>(list));
}

void SetupListColumns(QTreeView* list) {
    QHeaderView* header = list->header();
    header->setSectionsClickable(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    const QFontMetrics fm(header->font());
    const QAbstractItemModel* model = list->model();
    for (int c = 0; model && c < model->columnCount(); ++c)
        header->resizeSection(
            c, fm.horizontalAdvance(model->headerData(c, Qt::Horizontal).toString()) + 15);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setAllColumnsShowFocus(true);
    list->setRootIsDecorated(false);
    if (!list->property("copiesRows").toBool()) {
        list->setProperty("copiesRows", true);
        new RowCopier(list);
    }
}

QString SelectedRowsText(QTreeView* list) {
    // A tab or line break inside a value would split its cell or its row.
    auto cell = [](QString text) {
        for (QChar c : {QLatin1Char('\t'), QLatin1Char('\n'), QLatin1Char('\r')})
            text.replace(c, QLatin1Char(' '));
        return text.trimmed();
    };
    const QAbstractItemModel* model = list->model();
    QStringList lines;
    QStringList headings;
    for (int c = 0; c < model->columnCount(); ++c)
        headings << cell(model->headerData(c, Qt::Horizontal).toString());
    lines << headings.join(QLatin1Char('\t'));
    QModelIndexList selected = list->selectionModel()->selectedRows();
    std::sort(selected.begin(), selected.end(),
              [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected) {
        QStringList cells;
        for (int c = 0; c < model->columnCount(); ++c)
            cells << cell(model->index(index.row(), c).data().toString());
        lines << cells.join(QLatin1Char('\t'));
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString UptimeText(qint64 ticks) {
    const qint64 t = ticks < 0 ? -ticks : ticks;
    return QString::number(t / 360000) + QString::fromUtf8(res::String(123)) + QString::number(t % 360000 / 6000) +
           QString::fromUtf8(res::String(124));
}

CTimedGetPage::CTimedGetPage(int templateId, const QString& caption, QvTableRef table,
                             std::initializer_list<int> fields)
    : m_table(table), m_fields(fields) {
    InitPage(this, templateId, caption);
    OnClicked(this, res::timed::kRefresh, [this] { OnRefresh(); });
    OnClicked(this, res::timed::kClose, [this] { reject(); });
    {
        platform::WaitCursor wait;
        request();
    }
    startTimer(kPageTimerMs);
}

void CTimedGetPage::OnRefresh() {
    platform::WaitCursor wait;
    request();
}

void CTimedGetPage::OnTimer() {
    request();
}

void CTimedGetPage::timerEvent(QTimerEvent*) {
    OnTimer();
}

void CTimedGetPage::request() {
    m_snmp.request(this, m_table, &CTimedGetPage::OnSnmpResponse, SNMP_PDU_GET);
}

void CTimedGetPage::OnSnmpResponse(unsigned short status, CSnmpMsg* msg) {
    m_snmp.takeResponse(status, msg);
    if (m_snmp.values().size() < m_fields.size()) return;
    for (qsizetype i = 0; i < m_fields.size(); ++i)
        SetItemText(this, m_fields[i], m_snmp.values()[i]);
}
