// libFuzzer target: the simulated agent's request handling, one datagram in and the answer
// out. Whatever arrives, the agent must not crash, read out of bounds or take unbounded time,
// and what it answers must read back as a response to that request that fits a datagram.
// The agent keeps its state across inputs, as it does across requests (sets change it).
#include "fuzz/fuzzpeers.h"

#include "qvsnmp/v3msg.h"

#include <cstdlib>

namespace {

sim::Agent& agent() {
    return FuzzAgent([] { return sim::AgentOptions{}; });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> out;
    if (!agent().handle(data, size, out))
        return 0;
    // An SNMPv3 message (without users here, every one is reported) gets an SNMPv3 answer to
    // its message id; fuzz/v3_fuzz.cpp goes further.
    if (v3::messageVersion(data, size) == v3::Version3) {
        auto request = v3::parse(data, size);
        auto answer = v3::parse(out.data(), out.size());
        if (!request || !answer || answer->msg.msgId != request->msg.msgId || out.size() > ber::MaxMessage)
            std::abort();
        return 0;
    }
    std::optional<ber::Message> request = ber::decode(data, size);
    std::optional<ber::Message> answer = ber::decode(out.data(), out.size());
    if (!request || !answer || out.size() > ber::MaxMessage || answer->pdu.type != ber::Response ||
        answer->pdu.requestId != request->pdu.requestId || answer->version != request->version ||
        answer->community != request->community)
        std::abort();
    // A v1 answer carries only what SNMPv1 knows: no exceptions, no v2c error statuses.
    if (request->version == ber::V1) {
        if (answer->pdu.errorStatus > ber::GenErr)
            std::abort();
        for (const ber::VarBind& vb : answer->pdu.bindings)
            if (vb.value.isException() && answer->pdu.errorStatus == 0)
                std::abort();
    }
    return 0;
}
