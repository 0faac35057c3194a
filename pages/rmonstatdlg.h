// The RMON Ethernet statistics probes: one row per probe (its index and the interface it
// watches), with probes added and deleted, and the two counter displays opened from here.
// The displays read the probes through the page: the index of every probe the last walk
// recorded, in slots 1 to recordedRows().
#pragma once

#include "pages/listwalk.h"
#include "pages/pagecommon.h"
#include "pages/rmoncommon.h"

#include <QDialog>
#include <QSet>

#include <array>

namespace platform {
class ListView;
}

class CRmonStatDlg : public QDialog {
    Q_OBJECT
public:
    CRmonStatDlg();

    // Slots of the row-index table; rows a walk lists beyond them are not recorded, so no
    // display reaches them.
    static constexpr int kSlots = 256;
    static constexpr int kGroupSize = 24;
    int recordedRows() const { return m_recorded; }
    // The index text of slot (1 to recordedRows()); empty for any other slot.
    QString recordedIndex(int slot) const;
    // The data source slot's probe watches, as the list shows it ("Interface #5").
    QString recordedSource(int slot) const;
    // Groups of 24 probes the group display pages through: the recorded rows / 24 rounded up.
    int groupCount() const { return (m_recorded + kGroupSize - 1) / kGroupSize; }

    platform::ListView* list() const { return m_walk->list(); }
    const ListWalk& walk() const { return *m_walk; }
    const RmonEntrySets& entrySets() const { return *m_sets; }
    // The device's interface indexes as read so far.
    const QSet<int>& interfaceIndexes() const { return m_ifIndexes; }
    bool interfacesRead() const { return !m_interfaces.busy(); }

private:
    void startWalk();
    void OnRowAdded(int row);
    void OnClick();
    void OnDoubleClick();
    void OnAdd();
    void OnDelete();
    void OnRefresh();
    void OnParameter();
    void OnInterface();
    void OnInterfaceResponse(unsigned short status, CSnmpMsg* msg);
    void setPortTitle(int port);

    ListWalk* m_walk;
    RmonEntrySets* m_sets;
    SnmpChannel m_interfaces; // the walk of ifIndex
    QSet<int> m_ifIndexes;
    struct Slot {
        QString index, source;
    };
    std::array<Slot, kSlots + 1> m_slots; // slot 0 unused
    int m_recorded = 0;
};

// The probe to add: its index, the interface number it watches and its owner, unchecked.
class CRmonAddDlg : public QDialog {
    Q_OBJECT
public:
    explicit CRmonAddDlg(QWidget* parent = nullptr);

    QString m_index;
    QString m_sourcePort;
    QString m_property = QStringLiteral("Orvane");
};
