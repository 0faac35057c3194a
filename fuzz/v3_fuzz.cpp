// libFuzzer target: SNMPv3 messages (header, security parameters, encrypted scoped PDU) through
// every place that reads them: the message layer with and without keys, the manager's session
// waiting for an answer under the message's id, and the simulated agent with users of both
// ciphers. Nothing may crash, read out of bounds or take unbounded time; whatever the agent
// answers must read back as an SNMPv3 message to the same message id.
#include "fuzz/fuzzpeers.h"
#include "qvsnmp/v3session.h"

#include <cstdlib>

namespace {

sim::Agent& agent() {
    return FuzzAgent([] {
        sim::AgentOptions opt;
        opt.users.push_back({FuzzUser("aes", crypto::Auth::SHA1, crypto::Priv::AES128), true});
        opt.users.push_back({FuzzUser("des", crypto::Auth::MD5, crypto::Priv::DES), false});
        return opt;
    });
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto aes =
        usm::localizedKeys(FuzzUser("aes", crypto::Auth::SHA1, crypto::Priv::AES128), kFuzzEngine);
    static const auto des =
        usm::localizedKeys(FuzzUser("des", crypto::Auth::MD5, crypto::Priv::DES), kFuzzEngine);
    static v3::ManagerSession manager(FuzzUser("aes", crypto::Auth::SHA1, crypto::Priv::AES128),
                                      "127.0.0.1:161");

    if (auto in = v3::parse(data, size)) {
        for (const usm::Keys* keys :
             {static_cast<const usm::Keys*>(nullptr), aes.get(), des.get()}) {
            v3::Incoming copy = *in;
            (void)v3::authenticate(copy, keys);
            (void)v3::open(copy, keys);
        }
        // The manager waits for an answer under this id, and forgets it whatever came.
        ber::Pdu pdu;
        pdu.requestId = in->msg.msgId;
        if (!manager.encode(in->msg.msgId, pdu, nullptr).empty()) {
            (void)manager.receive(data, size);
            manager.forget(in->msg.msgId);
        }
    }

    std::vector<uint8_t> out;
    if (agent().handle(data, size, out) && v3::messageVersion(data, size) == v3::Version3) {
        auto request = v3::parse(data, size);
        auto answer = v3::parse(out.data(), out.size());
        if (!request || !answer || answer->msg.msgId != request->msg.msgId ||
            out.size() > ber::MaxMessage)
            std::abort();
    }
    return 0;
}
