// libFuzzer target: the BER decoder must refuse or accept any input without reading past it,
// and whatever it accepts must encode and decode again to the same message.
#include "qvsnmp/ber.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::optional<ber::Message> m = ber::decode(data, size);
    if (!m)
        return 0;
    std::vector<uint8_t> again = ber::encode(*m);
    std::optional<ber::Message> back = ber::decode(again.data(), again.size());
    if (!back || back->community != m->community || back->pdu.requestId != m->pdu.requestId ||
        back->pdu.bindings.size() != m->pdu.bindings.size())
        std::abort();
    for (size_t i = 0; i < m->pdu.bindings.size(); ++i) {
        const ber::Value& a = m->pdu.bindings[i].value;
        const ber::Value& b = back->pdu.bindings[i].value;
        if (m->pdu.bindings[i].oid != back->pdu.bindings[i].oid || a.type != b.type ||
            a.integer != b.integer || a.octets != b.octets || a.oid != b.oid)
            std::abort();
    }
    return 0;
}
