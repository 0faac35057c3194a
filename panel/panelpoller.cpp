#include "panel/panelpoller.h"

#include "panel/sectionreader.h"

#include <QMetaObject>

namespace {

QvTable<4> g_portTable{{
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.2", "ifDescr"),
    QvRecord(ber::Gauge32, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.5", "ifSpeed"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.7", "ifAdminStatus"),
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.2.1.2.2.1.8", "ifOperStatus"),
}};

QvTable<1> g_moduleTable{{
    QvRecord(ber::OctetString, QV_COLUMN_READ, "1.3.6.1.4.1.58213.10.97.2.21.1.3.1.3",
             "swStructModuleType"),
}};

QvTable<1> g_powerTable{{
    QvRecord(ber::Integer, QV_COLUMN_READ, "1.3.6.1.4.1.58213.10.97.2.21.1.5.1.3",
             "swPowerModuleType"),
}};

constexpr int kModuleRowSlot[10] = {4, 0, 1, 2, 3, 6, 7, 8, 9, 5};
constexpr int kInterfaceSlot[10] = {0, 0, 1, 2, 3, 6, 7, 8, 9, 0};

const char* const kModuleTypes[] = {"SUP-1", "SUP-2", "LC-A48", "LC-A48E", "LC-A24", "LC-A24E", "LC-F24", "LC-X2", "LC-X4"};

} // namespace

int ModuleRowSlot(int index) {
    return index >= 0 && index < 10 ? kModuleRowSlot[index] : 0;
}

int InterfaceSlot(int slotNumber) {
    return slotNumber >= 0 && slotNumber < 10 ? kInterfaceSlot[slotNumber] : 0;
}

int PowerSlot(int index) {
    return index == 1 ? 10 : index == 2 ? 11 : 0;
}

int ModuleTemplate(const QString& type) {
    for (int i = 0; i < int(std::size(kModuleTypes)); ++i)
        if (type == QLatin1String(kModuleTypes[i]))
            return i + 2;
    return 0;
}

int InstanceIndex(const QString& instance) {
    if (instance.isEmpty())
        return -1;
    return PanelNumber(instance.mid(3).right(2));
}

PortRow ParsePortRow(const QString& descr, const QString& speed, const QString& admin, const QString& oper) {
    PortRow row;
    // A row the agent left a hole in says nothing of its port, which keeps what it showed.
    if (!descr.contains(QLatin1Char('/')) || admin.isEmpty() || oper.isEmpty() ||
        (admin == QLatin1String("1") && oper == QLatin1String("1") && speed.isEmpty()))
        return row;
    const qsizetype blank = descr.indexOf(QLatin1Char(' '));
    const QString rest = blank < 0 ? QString() : descr.mid(blank + 1);
    const qsizetype slash = rest.indexOf(QLatin1Char('/'));
    row.valid = true;
    row.slotNumber = PanelNumber(slash < 0 ? rest : rest.left(slash));
    row.portNumber = slash < 0 ? 0 : PanelNumber(rest.mid(slash + 1));
    if (admin == QLatin1String("1") && oper == QLatin1String("1"))
        row.state = speed.toULongLong() < 1000000000ull ? Link10 : Link100;
    else
        row.state = admin == QLatin1String("2") ? Disabled : Enabled;
    return row;
}

PanelPoller::PanelPoller(PanelModel& model, QObject* parent) : QObject(parent), m_model(model) {}

PanelPoller::~PanelPoller() = default;

void PanelPoller::start() {
    m_port.open(this, g_portTable, &PanelPoller::OnPortResponse);
    m_module.open(this, g_moduleTable, &PanelPoller::OnModuleResponse);
    m_module.send(SNMP_PDU_GETNEXT);
    m_power.open(this, g_powerTable, &PanelPoller::OnPowerResponse);
    m_power.send(SNMP_PDU_GETNEXT);
}

void PanelPoller::pollingCycle() {
    m_model.refresh();
    startPortWalk();
}

void PanelPoller::panelRefresh() {
    // A walk still out from before starts over: the refresh reads the device as it is now.
    m_module.restartWalk();
    m_module.send(SNMP_PDU_GETNEXT);
    m_power.restartWalk();
    m_power.send(SNMP_PDU_GETNEXT);
}

void PanelPoller::startPortWalk() {
    m_port.restartWalk();
    m_port.send(SNMP_PDU_GETNEXT);
}

void PanelPoller::OnModuleResponse(unsigned short status, CSnmpMsg* msg) {
    QStringList instances;
    switch (m_module.walkStep(status, msg, &instances)) {
    case WalkStep::Failed:
    case WalkStep::End:
        startPortWalk();
        return;
    case WalkStep::Dropped:
        return;
    case WalkStep::Row:
        break;
    }
    for (qsizetype i = 0; i < m_module.values().size(); ++i) {
        const int index = InstanceIndex(instances.value(i));
        const int t = ModuleTemplate(m_module.values()[i]);
        if (index >= 0 && t)
            m_model.replaceModule(ModuleRowSlot(index), t);
    }
    m_module.send(SNMP_PDU_GETNEXT);
}

void PanelPoller::OnPowerResponse(unsigned short status, CSnmpMsg* msg) {
    QStringList instances;
    if (m_power.walkStep(status, msg, &instances) != WalkStep::Row)
        return;
    for (qsizetype i = 0; i < m_power.values().size(); ++i) {
        const int index = InstanceIndex(instances.value(i));
        if (index >= 0)
            m_model.replaceModule(PowerSlot(index),
                                  m_power.values()[i] == QLatin1String("1") ? 11 : 12);
    }
    m_power.send(SNMP_PDU_GETNEXT);
}

void PanelPoller::OnPortResponse(unsigned short status, CSnmpMsg* msg) {
    QStringList instances;
    switch (m_port.walkStep(status, msg, &instances)) {
    case WalkStep::Failed:
        m_model.pollingFailureReset();
        emit portWalkEnded();
        return;
    case WalkStep::Dropped:
        emit portWalkEnded();
        return;
    case WalkStep::End:
        // The device answered the whole walk: lamps dark since a failed poll light again.
        m_model.restoreLamps();
        emit portWalkEnded();
        return;
    case WalkStep::Row:
        break;
    }
    const QStringList& v = m_port.values();
    if (v.size() >= 4) {
        const PortRow row = ParsePortRow(v[0], v[1], v[2], v[3]);
        // The row's instance is its ifIndex: ".51" for interface 51.
        const int ifIndex = instances.value(0).mid(1).toInt();
        if (row.valid)
            m_model.setPortState(InterfaceSlot(row.slotNumber), row.portNumber, row.state, ifIndex);
    }
    m_port.send(SNMP_PDU_GETNEXT);
}

CPanelDeviceThread::CPanelDeviceThread(PanelPoller* owner, int stepMs) : m_owner(owner), m_stepMs(stepMs) {}

CPanelDeviceThread::~CPanelDeviceThread() {
    stop();
}

void CPanelDeviceThread::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = 1;
    }
    m_wake.notify_all();
    wait();
}

void CPanelDeviceThread::run() {
    if (!m_owner)
        return;
    std::unique_lock lock(m_mutex);
    while (!m_stop) {
        // Ten steps; the flag is checked before each, and stop() cuts a step short.
        for (int i = 0; i < 10 && !m_stop; ++i)
            m_wake.wait_for(lock, std::chrono::milliseconds(m_stepMs), [this] { return m_stop != 0; });
        if (m_stop)
            break;
        // The cycle runs on the window's thread, so that the model is never read and changed
        // at once; the thread does not wait for it.
        QMetaObject::invokeMethod(m_owner, &PanelPoller::pollingCycle, Qt::QueuedConnection);
    }
}
