// One device of talvex-collect: every interval, the counters of its ports by gets of at most
// kGetPorts ports each, with sysUpTime.0 in every get (the uptime a rate is measured by must be
// read in the same answer as its counters: a GETBULK walk's rows come in several answers, and
// the library asks no non-repeater), the rate rule over successive polls (graphs/counters.h),
// and each port's rates written to its RRD file, unknown for a gap. Which ports the agent has
// is learned by a GETBULK walk of ifIndex, at the start and every hour, unless the
// configuration lists them. The library paces the requests by what the agent's answers cost.
// A poll unanswered is written as nothing: the next rate spans it, and RRDtool marks unknown
// what its heartbeat cannot bridge.
#pragma once

#include "graphs/collectconf.h"
#include "graphs/counters.h"
#include "graphs/rrdwrite.h"
#include "qvsnmp/format.h"

#include <QObject>
#include <QTimer>

#include <memory>
#include <string>
#include <vector>

class CSnmpClass;
class CSnmpMsg;
namespace usm {
struct User;
}

namespace graphs {

inline constexpr int kBulkRows = 48;
inline constexpr int kGetPorts = 8;

class DeviceCollector : public QObject {
    Q_OBJECT
public:
    // address: numeric, as ResolveAgentAddress gave it; v3user: the credentials file's user,
    // when the device has no community. step: the RRD files' step, 0 for the interval.
    DeviceCollector(const CollectDevice& device, const QString& address, const usm::User* v3user,
                    RrdWriter& writer, const std::string& rrdDir, int step,
                    QObject* parent = nullptr);
    ~DeviceCollector() override;

    void start();
    // What the collector says of the device: "192.0.2.10:161".
    const std::string& name() const { return m_name; }
    // Gets answered and port values written, for the benchmark.
    long polls() const { return m_polls; }
    long writes() const { return m_writes; }

private:
    // Up to kGetPorts ports read by one get, and their rates.
    struct Chunk {
        std::vector<int> ports;
        std::vector<_QvOidTable> table;
        std::unique_ptr<CSnmpClass> session;
        unsigned long pending = 0;
        double sent = 0;
        RateTracker rates;
    };
    std::unique_ptr<CSnmpClass> newSession(std::vector<_QvOidTable>& table);
    void poll();
    void discover();
    void onIndexes(unsigned short status, CSnmpMsg* msg);
    void setPorts(const std::vector<int>& ports);
    void onCounters(Chunk& chunk, unsigned short status, CSnmpMsg* msg);
    void write(const Chunk& chunk, const Poll& poll, double wallTime);
    void tell(const std::string& what);

    CollectDevice m_device;
    QString m_address;
    const usm::User* m_v3user;
    std::string m_name, m_rrdDir;
    RrdWriter& m_writer;
    int m_step;
    std::vector<_QvOidTable> m_indexTable;
    std::unique_ptr<CSnmpClass> m_walk;
    unsigned long m_walkPending = 0;
    std::vector<int> m_found; // ifIndexes of the walk under way
    std::vector<std::unique_ptr<Chunk>> m_chunks;
    long m_pollsSinceWalk = 0;
    QTimer m_timer;
    std::string m_told, m_writeTold; // the last trouble told, so that it is told once
    long m_polls = 0, m_writes = 0;
};

} // namespace graphs
