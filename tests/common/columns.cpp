#include "tests/common/columns.h"

#include "tests/common/peers.h"

#include <QMap>
#include <QRegularExpression>

#include <algorithm>

QList<ColumnCell> SnmpwalkColumn(quint16 port, const QString& community, const QString& column) {
    static const QRegularExpression hex(QStringLiteral("^([0-9A-F]{2} )*[0-9A-F]{2}$"));
    const QString prefix = QLatin1Char('.') + column;
    const QString out =
        RunTool(QStringLiteral("snmpwalk"), {"-v2c", "-c", community, "-On", "-Oq", "-t1", "-r1",
                                             "127.0.0.1:" + QString::number(port), column});
    QList<ColumnCell> cells;
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const qsizetype blank = line.indexOf(QLatin1Char(' '));
        const QString oid = line.left(blank);
        // "No Such Object available on this agent at this OID" and the like: no cell.
        if (!oid.startsWith(prefix + QLatin1Char('.')))
            continue;
        QString value = blank < 0 ? QString() : line.mid(blank + 1).trimmed();
        if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) &&
            value.endsWith(QLatin1Char('"')))
            value = value.mid(1, value.size() - 2).trimmed();
        if (hex.match(value).hasMatch())
            value.replace(QLatin1Char(' '), QLatin1Char(':'));
        cells.append({oid.mid(prefix.size()), value});
    }
    return cells;
}

bool InstanceLess(const QString& a, const QString& b) {
    const QStringList x = a.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    const QStringList y = b.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (qsizetype i = 0; i < x.size() && i < y.size(); ++i)
        if (x[i].toULongLong() != y[i].toULongLong())
            return x[i].toULongLong() < y[i].toULongLong();
    return x.size() < y.size();
}

QList<QStringList> SnmpwalkTable(quint16 port, const QString& community,
                                 const QList<TableColumn>& columns) {
    QList<QMap<QString, QString>> byColumn;
    QStringList instances;
    for (const TableColumn& c : columns) {
        QMap<QString, QString> cells;
        for (const ColumnCell& cell : SnmpwalkColumn(port, community, c.oid)) {
            cells.insert(cell.instance, c.text ? c.text(cell.value) : cell.value);
            if (!instances.contains(cell.instance))
                instances << cell.instance;
        }
        byColumn << cells;
    }
    std::sort(instances.begin(), instances.end(), InstanceLess);
    QList<QStringList> rows;
    for (const QString& instance : std::as_const(instances)) {
        QStringList row;
        for (const auto& cells : std::as_const(byColumn))
            row << cells.value(instance);
        rows << row;
    }
    return rows;
}

QList<int> MakeHoles(SimProcess& sim, Hole kind, const QString& column, const QString& community,
                     bool* ok) {
    *ok = false;
    const QList<ColumnCell> cells = SnmpwalkColumn(sim.port(), community, column);
    const int n = int(cells.size());
    if (n == 0)
        return {};
    QList<int> rows;
    switch (kind) {
    case Hole::Column:
        *ok = sim.command(QStringLiteral("delbelow ") + column) == QLatin1String("ok");
        for (int r = 0; r < n; ++r)
            rows << r;
        return rows;
    case Hole::Middle:
        rows << n / 2;
        break;
    case Hole::FirstAndLast:
        rows << 0;
        if (n > 1)
            rows << n - 1;
        break;
    case Hole::EndsEarly:
        for (int r = n - std::max(1, n / 3); r < n; ++r)
            rows << r;
        break;
    }
    *ok = true;
    for (int r : std::as_const(rows))
        *ok &=
            sim.command(QStringLiteral("del ") + column + cells[r].instance) == QLatin1String("ok");
    return rows;
}
