#include "pages/memoryinfodlg.h"

#include "res/ids.h"

namespace {

using namespace res::memory;

// Read only, whatever the flags of the last two records say.
QvTable<5> g_memoryTable{{
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.35.1.1.1.1.0",
             "System Description"),
    QvRecord(ber::OctetString, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.35.1.1.1.2.0",
             "System Object ID"),
    QvRecord(ber::Integer, QV_SCALAR_READ, "1.3.6.1.4.1.58213.10.97.2.35.1.1.1.3.0",
             "System Uptime"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.4.1.58213.10.97.2.35.1.1.1.4.0",
             "System Contact"),
    QvRecord(ber::Integer, QV_SCALAR_WRITE, "1.3.6.1.4.1.58213.10.97.2.35.1.1.1.5.0",
             "System Name"),
}};

} // namespace

CMemoryInfoDlg::CMemoryInfoDlg()
    : CTimedGetPage(res::kDlgMemory, QStringLiteral("Memory Information"), g_memoryTable,
                    {kIndex, kName, kCurrent, kLowest, kLargest}) {}
