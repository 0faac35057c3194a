// libFuzzer target: SNMPv3 messages (header, security parameters, encrypted scoped PDU) through
// every place that reads them: the message layer with and without keys, the manager's session
// waiting for an answer under the message's id, and the simulated agent with users of both
// ciphers. Nothing may crash, read out of bounds or take unbounded time; whatever the agent
// answers must read back as an SNMPv3 message to the same message id.
#include "qvsnmp/v3session.h"
#include "sim/agent.h"

#include <cstdlib>

namespace {

const std::string kEngine = std::string("\x80\x00\xE3\x65\x04", 5) + "talvex-sim";

usm::User user(const char* name, crypto::Auth auth, crypto::Priv priv) {
    usm::User u;
    u.name = name;
    u.level = usm::Level::AuthPriv;
    u.auth = auth;
    u.priv = priv;
    u.authPassphrase = crypto::Secret("maplesyrup");
    u.privPassphrase = crypto::Secret("pancakemix");
    return u;
}

sim::Agent& agent() {
    static sim::Chassis chassis([] {
        sim::ChassisOptions o;
        o.live = false;
        return o;
    }());
    static sim::Mib mib;
    static sim::Agent a = [] {
        chassis.publish(mib);
        sim::AgentOptions opt;
        opt.users.push_back({user("aes", crypto::Auth::SHA1, crypto::Priv::AES128), true});
        opt.users.push_back({user("des", crypto::Auth::MD5, crypto::Priv::DES), false});
        return sim::Agent(opt, chassis, mib);
    }();
    return a;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const auto aes =
        usm::localizedKeys(user("aes", crypto::Auth::SHA1, crypto::Priv::AES128), kEngine);
    static const auto des =
        usm::localizedKeys(user("des", crypto::Auth::MD5, crypto::Priv::DES), kEngine);
    static v3::ManagerSession manager(user("aes", crypto::Auth::SHA1, crypto::Priv::AES128),
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
