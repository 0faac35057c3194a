#include "pages/systeminfodlg.h"

#include "platform/platform.h"
#include "res/ids.h"
#include "snmp/params.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

namespace {

QvTable<7> g_systemGetTable{{
    QvRecord(ber::OctetString, QV_SCALAR_READ, "1.3.6.1.2.1.1.1.0", "System Description"),
    QvRecord(ber::ObjectId, QV_SCALAR_READ, "1.3.6.1.2.1.1.2.0", "System Object ID"),
    QvRecord(ber::TimeTicks, QV_SCALAR_READ, "1.3.6.1.2.1.1.3.0", "System Uptime"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.4.0", "System Contact"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.5.0", "System Name"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.6.0", "System Location"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.2.1.1.7.0", "System Service"),
}};

QvTable<3> g_systemSetTable{{
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.4.0", "System Contact"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.5.0", "System Name"),
    QvRecord(ber::OctetString, QV_SCALAR_WRITE, "1.3.6.1.2.1.1.6.0", "System Location"),
}};

using namespace res::system;

// The edit boxes and how many characters the operator may type into each.
struct EditLimit {
    int id;
    int limit;
};
constexpr EditLimit kEdits[] = {{kName, 32}, {kContact, 32}, {kLocation, 60}};
// Where each edit box's value stands in the get table and in the set table.
constexpr int kGetIndex[] = {4, 3, 5};
constexpr int kSetIndex[] = {1, 0, 2};

// sysServices bit values and their boxes; 32 and 16 have none.
constexpr struct {
    int bit;
    int box;
} kServiceBoxes[] = {
    {64, kApplication}, {32, 0},    {16, 0},        {8, kTransport},
    {4, kNetwork},      {2, kLink}, {1, kPhysical},
};

} // namespace

CSystemInfoDlg::CSystemInfoDlg() {
    InitPage(this, res::kDlgSystem, QStringLiteral("System Information"));
    OnClicked(this, kRefresh, [this] { OnRefresh(); });
    OnClicked(this, kApply, [this] { OnApply(); });
    OnClicked(this, kClose, [this] { reject(); });
    for (int i = 0; i < 3; ++i) {
        auto* edit = platform::Item<QLineEdit>(this, kEdits[i].id);
        platform::LimitTyping(edit, kEdits[i].limit);
        connect(edit, &QLineEdit::textChanged, this, [this] {
            if (g_bUserRight == 1)
                platform::Item<QPushButton>(this, kApply)->setEnabled(true);
        });
        connect(edit, &QLineEdit::textEdited, this, [this, i] { m_typed[i] = true; });
    }
    platform::Item<QPushButton>(this, kApply)->setEnabled(false);
    platform::WaitCursor wait;
    request();
}

void CSystemInfoDlg::OnRefresh() {
    platform::WaitCursor wait;
    request();
}

void CSystemInfoDlg::request() {
    m_get.request(this, g_systemGetTable, &CSystemInfoDlg::OnGetResponse, SNMP_PDU_GET);
}

void CSystemInfoDlg::OnGetResponse(unsigned short status, CSnmpMsg* msg) {
    m_get.takeResponse(status, msg);
    const QStringList& v = m_get.values();
    if (v.size() < 7) return;
    SetItemText(this, kDescr, v[0]);
    SetItemText(this, kObjectId, v[1]);
    bool ok = false;
    const qint64 ticks = v[2].toLongLong(&ok);
    if (ok) SetItemText(this, kUptime, UptimeText(ticks));
    m_strContact = v[3];
    m_strName = v[4];
    m_strLocation = v[5];
    // The boxes show this answer now, what the operator typed before it included.
    for (int i = 0; i < 3; ++i) {
        m_read[i] = m_get.arrived(kGetIndex[i]);
        m_typed[i] = false;
    }
    // The boxes show this answer alone: one checked by an earlier answer is cleared, and an
    // agent without sysServices leaves them all clear. They are the device's to say, never
    // the operator's to tick.
    for (const auto& s : kServiceBoxes)
        if (s.box) {
            platform::Item<QCheckBox>(this, s.box)->setChecked(false);
            platform::Item<QCheckBox>(this, s.box)->setEnabled(false);
        }
    const int services = v[6].toInt(&ok);
    if (ok) {
        for (int rest = services; rest > 0;) {
            for (const auto& s : kServiceBoxes)
                if (s.bit <= rest) {
                    rest -= s.bit;
                    if (s.box)
                        platform::Item<QCheckBox>(this, s.box)->setChecked(true);
                    break;
                }
        }
    }
    showValues();
    if (g_bUserRight == 0)
        for (const EditLimit& e : kEdits)
            platform::Item<QLineEdit>(this, e.id)->setReadOnly(true);
}

void CSystemInfoDlg::showValues() {
    // A longer value from the device is shown whole (and written back whole); only typing is
    // limited.
    const QString* texts[] = {&m_strName, &m_strContact, &m_strLocation};
    for (int i = 0; i < 3; ++i)
        platform::SetEditText(platform::Item<QLineEdit>(this, kEdits[i].id), *texts[i]);
}

void CSystemInfoDlg::OnApply() {
    if (g_bUserRight == 0 || m_set.busy())
        return;
    m_strName = ItemText(this, kName);
    m_strContact = ItemText(this, kContact);
    m_strLocation = ItemText(this, kLocation);
    QList<bool> write(3);
    for (int i = 0; i < 3; ++i)
        write[kSetIndex[i]] = m_read[i] || m_typed[i];
    if (m_set.sendSetAwaited(this, g_systemSetTable, {m_strContact, m_strName, m_strLocation},
                             [this](bool accepted) { OnSetDone(accepted); }, write))
        platform::Item<QPushButton>(this, kApply)->setEnabled(false);
}

void CSystemInfoDlg::OnSetDone(bool accepted) {
    if (!accepted) {
        // Refused or unanswered: what the operator typed stays, ready to apply again.
        platform::Item<QPushButton>(this, kApply)->setEnabled(true);
        return;
    }
    // Show what the device now holds; a get still outstanding read the values before the set.
    m_get.forgetRequest();
    request();
}
