// Writes the seed corpus of the v3 fuzz target: what a manager sends talvex-sim's users (the
// discovery probe, requests at each level with both ciphers) and the reports an agent sends.
// Run by fuzz/run when the folder is empty.
#include "fuzz/fuzzpeers.h"
#include "qvsnmp/v3msg.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    const std::string dir = argv[1];
    const std::string& engine = kFuzzEngine;
    int n = 0;
    auto save = [&](const std::vector<uint8_t>& b) {
        std::string path = dir + "/seed-" + std::to_string(++n);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f) return;
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    };
    auto message = [&](uint8_t flags, const char* name, uint8_t type) {
        v3::Message m;
        m.msgId = 100 + n;
        m.flags = flags | v3::FlagReportable;
        m.engineId = engine;
        m.boots = 1;
        m.userName = name;
        m.contextEngineId = engine;
        m.pdu.type = type;
        m.pdu.requestId = m.msgId;
        m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::null()});
        if (type == ber::GetBulkRequest) m.pdu.errorIndex = 10;
        return m;
    };
    v3::Message probe;
    probe.msgId = 99;
    probe.flags = v3::FlagReportable;
    save(v3::encode(probe, nullptr));
    for (auto [name, auth, priv] : {std::tuple{"aes", crypto::Auth::SHA1, crypto::Priv::AES128},
                                    std::tuple{"des", crypto::Auth::MD5, crypto::Priv::DES}}) {
        const usm::User u = FuzzUser(name, auth, priv);
        auto keys = usm::localizedKeys(u, engine);
        for (uint8_t type :
             {ber::GetRequest, ber::GetNextRequest, ber::GetBulkRequest, ber::SetRequest}) {
            save(v3::encode(message(v3::FlagAuth | v3::FlagPriv, name, type), keys.get()));
            save(v3::encode(message(v3::FlagAuth, name, type), keys.get()));
        }
        save(v3::encode(message(0, name, ber::GetRequest), nullptr));
    }
    v3::Message report = message(0, "", ber::Report);
    report.pdu.bindings = {
        {v3::reportOid(v3::Error::UnknownEngineId), ber::Value::makeUnsigned(ber::Counter32, 1)}};
    save(v3::encode(report, nullptr));
    return 0;
}
