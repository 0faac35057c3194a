#include "pages/cpuutildlg.h"

#include "res/ids.h"

namespace {

// The private MIB's record names are labels for the library only.
QvTable<3> g_cpuTable{{
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.36.1.1.1.0",
             "System Description"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.36.1.1.2.0",
             "System Object ID"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.36.1.1.3.0", "System Uptime"),
}};

} // namespace

CCpuUtilDlg::CCpuUtilDlg()
    : CTimedGetPage(res::kDlgCpu, QStringLiteral("CPU Utilization"), g_cpuTable,
                    {res::cpu::k5Sec, res::cpu::k1Min, res::cpu::k5Min}) {}
