// OID tables of the module: every table in its direct form (the page's records) and its
// proxied form (the same records followed by the proxy record), kept side by side so that a
// rewrite of a record's OID reaches both.
#pragma once

#include "qvsnmp/qvsnmp.h"

#include <array>
#include <string_view>
#include <vector>

inline constexpr const char* kProxyOidPrefix = "1.3.6.1.4.1.58213.7777.1.";

constexpr _QvOidTable QvRecord(uint16_t type, uint16_t flags, std::string_view oid,
                               std::string_view name, const _QvValueText* map = nullptr) {
    _QvOidTable r{type, flags, {}, {}, map, 0};
    for (size_t i = 0; i < oid.size() && i < sizeof r.oid - 1; ++i)
        r.oid[i] = oid[i];
    for (size_t i = 0; i < name.size() && i < sizeof r.name - 1; ++i)
        r.name[i] = name[i];
    return r;
}

inline constexpr _QvOidTable kProxyRecord =
    QvRecord(ber::IpAddress, QV_SCALAR_WRITE, kProxyOidPrefix, "snmp_proxy_ip");

// What a session is built from: both forms and the page's record count n.
struct QvTableRef {
    _QvOidTable* direct;
    _QvOidTable* proxied; // n + 1 records
    int count;

    // Record i's OID becomes text, in both forms; false (records unchanged) for no such record
    // or a text over 127 characters.
    bool setOid(int i, std::string_view text) const;
    // Record i's OID becomes column + "." + instance (instance without its dot).
    bool setInstance(int i, std::string_view column, std::string_view instance) const;
};

// Both forms of n records: direct gets them, proxied (n + 1 long) gets them and the proxy record
// after them. The one place that knows the proxied form's layout.
constexpr void FillForms(const _QvOidTable* records, int n, _QvOidTable* direct,
                         _QvOidTable* proxied) {
    for (int i = 0; i < n; ++i)
        direct[i] = proxied[i] = records[i];
    proxied[n] = kProxyRecord;
}

// Copies text into a record's OID field; refused (false, record unchanged) beyond 127 chars.
bool SetRecordOid(_QvOidTable& rec, std::string_view text);

template <int N> struct QvTable {
    static_assert(N > 0);
    _QvOidTable direct[N];
    _QvOidTable proxied[N + 1];

    constexpr explicit QvTable(const std::array<_QvOidTable, N>& records) : direct{}, proxied{} {
        FillForms(records.data(), N, direct, proxied);
    }

    static constexpr int count = N;
    operator QvTableRef() { return {direct, proxied, N}; }

    bool setOid(int i, std::string_view text) { return QvTableRef(*this).setOid(i, text); }
    bool setInstance(int i, std::string_view column, std::string_view instance) {
        return QvTableRef(*this).setInstance(i, column, instance);
    }
};

// A table whose records are known only at run time (a graph's ports, the records a set
// chooses). A session points into the records: assign only once the session over the records
// before is gone.
class QvRecordTable {
public:
    void assign(const std::vector<_QvOidTable>& records) {
        m_direct.resize(records.size());
        m_proxied.resize(records.size() + 1);
        FillForms(records.data(), int(records.size()), m_direct.data(), m_proxied.data());
    }
    int count() const { return int(m_direct.size()); }
    operator QvTableRef() { return {m_direct.data(), m_proxied.data(), count()}; }

private:
    std::vector<_QvOidTable> m_direct, m_proxied;
};
