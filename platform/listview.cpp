#include "platform/listview.h"

#include <QHeaderView>
#include <QItemSelectionModel>

#include <algorithm>

#include <cstring>

namespace platform {

// Each row is its texts one after another in one block, each as its UTF-8 length (one byte, or
// a marker byte and four bytes when it is longer) and its bytes; a row costs its texts and one
// offset.
class ListModel : public QAbstractItemModel {
public:
    using QAbstractItemModel::QAbstractItemModel;

    QStringList headings;

    int rows() const { return int(m_starts.size()); }

    QString text(int row, int column) const {
        if (row < 0 || row >= rows() || column < 0) return {};
        const char* p = m_texts.constData() + m_starts[row];
        const char* end = m_texts.constData() + rowEnd(row);
        for (int c = 0; p < end; ++c) {
            const qsizetype length = readLength(p);
            if (c == column) return QString::fromUtf8(p, length);
            p += length;
        }
        return {};
    }

    void append(const QList<QStringList>& rows) {
        if (rows.isEmpty()) return;
        beginInsertRows({}, this->rows(), this->rows() + int(rows.size()) - 1);
        for (const QStringList& row : rows) {
            m_starts.append(m_texts.size());
            for (const QString& cell : row) {
                const QByteArray utf8 = cell.toUtf8();
                writeLength(utf8.size());
                m_texts.append(utf8);
            }
        }
        endInsertRows();
    }

    void clear() {
        beginResetModel();
        m_texts = {};
        m_starts = {};
        endResetModel();
    }

    void squeeze() {
        m_texts.squeeze();
        m_starts.squeeze();
    }

    void setHeadings(const QStringList& texts) {
        beginResetModel();
        headings = texts;
        endResetModel();
    }

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        if (parent.isValid() || row < 0 || row >= rows() || column < 0 || column >= headings.size())
            return {};
        return createIndex(row, column);
    }
    QModelIndex parent(const QModelIndex&) const override { return {}; }
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows();
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(headings.size());
    }
    bool hasChildren(const QModelIndex& parent = {}) const override {
        return !parent.isValid() && rows() > 0;
    }
    Qt::ItemFlags flags(const QModelIndex& index) const override {
        return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren
                               : Qt::NoItemFlags;
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole || !index.isValid()) return {};
        return text(index.row(), index.column());
    }
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
        if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
        return headings.value(section);
    }

private:
    static constexpr unsigned char kLongLength = 0xFF;

    qsizetype rowEnd(int row) const {
        return row + 1 < rows() ? m_starts[row + 1] : m_texts.size();
    }

    void writeLength(qsizetype length) {
        if (length < kLongLength) {
            m_texts.append(char(length));
            return;
        }
        const quint32 n = quint32(std::min<qsizetype>(length, 0xFFFFFFFF));
        char bytes[5] = {char(kLongLength)};
        std::memcpy(bytes + 1, &n, sizeof n);
        m_texts.append(bytes, sizeof bytes);
    }

    static qsizetype readLength(const char*& p) {
        const auto first = static_cast<unsigned char>(*p++);
        if (first != kLongLength) return first;
        quint32 n;
        std::memcpy(&n, p, sizeof n);
        p += sizeof n;
        return n;
    }

    QByteArray m_texts;
    QList<qsizetype> m_starts; // where each row's texts begin
};

void SetListLook(QTreeView* view) {
    view->setRootIsDecorated(false);
    view->setItemsExpandable(false);
    view->setUniformRowHeights(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setAllColumnsShowFocus(true);
    view->header()->setSectionsClickable(false);
    view->header()->setSectionsMovable(false);
    view->header()->setStretchLastSection(false);
}

ListView::ListView(QWidget* parent) : QTreeView(parent), m_model(new ListModel(this)) {
    setModel(m_model);
    SetListLook(this);
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &ListView::rowSelectionChanged);
    connect(this, &QAbstractItemView::doubleClicked, this,
            [this](const QModelIndex& index) { emit rowDoubleClicked(index.row()); });
}

ListView::~ListView() = default;

void ListView::setHeadings(const QStringList& headings) {
    m_model->setHeadings(headings);
}

int ListView::columnCount() const {
    return int(m_model->headings.size());
}

QString ListView::heading(int column) const {
    return m_model->headings.value(column);
}

int ListView::rowCount() const {
    return m_model->rows();
}

QString ListView::text(int row, int column) const {
    return m_model->text(row, column);
}

QStringList ListView::rowTexts(int row) const {
    QStringList texts;
    for (int c = 0; c < columnCount(); ++c)
        texts << text(row, c);
    return texts;
}

void ListView::appendRows(const QList<QStringList>& rows) {
    m_model->append(rows);
}

void ListView::clear() {
    selectionModel()->clear();
    m_model->clear();
}

void ListView::squeeze() {
    m_model->squeeze();
}

QList<int> ListView::selectedRows() const {
    QList<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection())
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows << r;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool ListView::isRowSelected(int row) const {
    return selectionModel()->isRowSelected(row, {});
}

void ListView::setRowSelected(int row, bool selected) {
    const QModelIndex index = m_model->index(row, 0);
    if (index.isValid())
        selectionModel()->select(
            index, (selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect) |
                       QItemSelectionModel::Rows);
}

void ListView::setCurrentRow(int row) {
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid()) return;
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                 QItemSelectionModel::Rows);
    scrollTo(index);
}

int ListView::currentRow() const {
    return currentIndex().isValid() ? currentIndex().row() : -1;
}

int ListView::rowAt(const QPoint& viewportPos) const {
    const QModelIndex index = indexAt(viewportPos);
    return index.isValid() ? index.row() : -1;
}

QRect ListView::rowRect(int row) const {
    if (row < 0 || row >= rowCount() || columnCount() == 0) return {};
    return visualRect(m_model->index(row, 0))
        .united(visualRect(m_model->index(row, columnCount() - 1)));
}

void ListView::scrollToRow(int row) {
    const QModelIndex index = m_model->index(row, 0);
    if (index.isValid()) scrollTo(index);
}

} // namespace platform
