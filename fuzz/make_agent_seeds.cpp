// Writes the seed corpus of the agent fuzz target: the requests a manager sends the simulator,
// well-formed, in both versions and both communities. Run by fuzz/run when the folder is empty.
#include "qvsnmp/ber.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    const std::string dir = argv[1];
    int n = 0;
    auto save = [&](ber::Message m) {
        m.pdu.requestId = 1000 + n;
        auto b = ber::encode(m);
        std::string path = dir + "/seed-" + std::to_string(++n);
        FILE* f = std::fopen(path.c_str(), "wb");
        if (!f)
            return;
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    };
    auto request = [](int version, const char* community, uint8_t type,
                      std::vector<ber::Oid> oids) {
        ber::Message m;
        m.version = version;
        m.community = community;
        m.pdu.type = type;
        for (ber::Oid& o : oids)
            m.pdu.bindings.push_back({std::move(o), ber::Value::null()});
        return m;
    };
    const ber::Oid sysName{1, 3, 6, 1, 2, 1, 1, 5, 0}, ifDescr{1, 3, 6, 1, 2, 1, 2, 2, 1, 2},
        last{1, 3, 6, 1, 4, 1, 62740, 1, 1, 10, 2, 21, 1, 2, 1, 9, 1}, group{1, 3, 6, 1, 2, 1, 1};
    for (int v : {ber::V1, ber::V2c}) {
        save(request(v, "orchid", ber::GetRequest,
                     {sysName, {1, 3, 6, 1, 2, 1, 1, 4, 0, 0}, group}));
        save(request(v, "orchid", ber::GetNextRequest, {ifDescr, last}));
        ber::Message set = request(v, "saffron", ber::SetRequest, {});
        set.pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 4, 0}, ber::Value::makeOctets("noc")},
                            {{1, 3, 6, 1, 2, 1, 2, 2, 1, 7, 3}, ber::Value::makeInteger(2)}};
        save(set);
        set.pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 4, 1}, ber::Value::makeInteger(7)}};
        save(set);
        set.community = "orchid";
        save(set);
    }
    for (auto [nonRepeaters, repetitions] :
         {std::pair{0, 10}, {1, 3}, {-1, -1}, {5, 100000}, {0, 2147483647}}) {
        ber::Message bulk =
            request(ber::V2c, "orchid", ber::GetBulkRequest, {sysName, ifDescr, last});
        bulk.pdu.errorStatus = nonRepeaters;
        bulk.pdu.errorIndex = repetitions;
        save(bulk);
    }
    return 0;
}
