// A table as an outside client reads it, column by column (net-snmp's snmpwalk), and the holes
// tests make in the simulator's tables: what a list page that reads the same table must show.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class SimProcess;

// One column: each instance suffix (".1.192.168.100.10") with its value as snmpwalk prints it
// (quotes removed, a hex string "00 1A 2B" as 00:1A:2B), in the agent's order. A column the
// agent lacks gives none.
struct ColumnCell {
    QString instance;
    QString value;
};
QList<ColumnCell> SnmpwalkColumn(quint16 port, const QString& community, const QString& column);

// Whether instance a comes before b, arc by arc.
bool InstanceLess(const QString& a, const QString& b);

// The rows a page that walks these columns together lists: one per instance any column has, in
// OID order, with each column's text (through its translation, when one is given) or a blank
// where that column has no cell.
struct TableColumn {
    QString oid;
    std::function<QString(const QString&)> text = {};
};
QList<QStringList> SnmpwalkTable(quint16 port, const QString& community,
                                 const QList<TableColumn>& columns);

// The holes a list must survive, made in one column of the simulator's table.
enum class Hole {
    Column,       // the whole column missing
    Middle,       // one cell in the middle of the column
    FirstAndLast, // its first and its last cell
    EndsEarly,    // its last third: the column ends before the others
};
// Deletes the cells of kind from column (as walked: the column OID with any instance prefix the
// walk starts below) and returns the rows, counted from 0 in the column's order, that lost
// their cell; the column must be whole before. Fails the caller's QVERIFY through ok.
QList<int> MakeHoles(SimProcess& sim, Hole kind, const QString& column, const QString& community,
                     bool* ok);
