// The list control of every list page: a report view of rows of texts, whole rows selected.
// A forwarding table may hold a hundred thousand rows, so the rows are kept as texts packed
// one after another rather than as an object per row, and a row is only turned back into
// strings when it is painted or read.
#pragma once

#include <QStringList>
#include <QTreeView>

namespace platform {

class ListModel;

// The look of every list, whoever holds its rows: a report view without tree decoration, whole
// rows selected, headings that neither sort, move nor stretch. ListView has it; a list on a
// model of a page's own is given it here.
void SetListLook(QTreeView* view);

class ListView : public QTreeView {
    Q_OBJECT
public:
    explicit ListView(QWidget* parent = nullptr);
    ~ListView() override;

    // One column a heading; the texts a row holds beyond them are kept but not shown.
    void setHeadings(const QStringList& headings);
    int columnCount() const;
    QString heading(int column) const;

    int rowCount() const;
    // Any text the row holds, shown or not; empty beyond the row's texts.
    QString text(int row, int column) const;
    // The texts of the shown columns.
    QStringList rowTexts(int row) const;
    void appendRows(const QList<QStringList>& rows);
    void appendRow(const QStringList& texts) { appendRows({texts}); }
    // Empties the list; a selection it had is reported gone.
    void clear();
    // Gives back memory left over from appending once a list is complete.
    void squeeze();

    // Selected rows in list order.
    QList<int> selectedRows() const;
    bool isRowSelected(int row) const;
    // Selects (or deselects) the row beside any other selection the list allows.
    void setRowSelected(int row, bool selected = true);
    // Makes the row the current and only selected one and brings it into sight.
    void setCurrentRow(int row);
    int currentRow() const;                     // -1: none
    int rowAt(const QPoint& viewportPos) const; // -1: beside the rows
    QRect rowRect(int row) const;               // in viewport coordinates
    void scrollToRow(int row);

signals:
    // The selection changed, whether by a person, by code or by emptying the list.
    void rowSelectionChanged();
    void rowDoubleClicked(int row);

private:
    ListModel* m_model;
};

} // namespace platform
