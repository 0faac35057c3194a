// Writes the seed corpus of the BER fuzz target: one message of each kind the module and the
// simulator exchange. Run by fuzz/run when the corpus folder is empty.
#include "qvsnmp/ber.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2)
        return 2;
    std::string dir = argv[1];
    int n = 0;
    auto save = [&](const ber::Message& m) {
        auto b = ber::encode(m);
        std::string path = dir + "/seed-" + std::to_string(++n);
        FILE* f = std::fopen(path.c_str(), "wb");
        std::fwrite(b.data(), 1, b.size(), f);
        std::fclose(f);
    };
    ber::Message m;
    m.community = "orchid";
    m.pdu.requestId = 1234;
    m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::null()});
    save(m);
    m.pdu.type = ber::GetNextRequest;
    m.version = ber::V1;
    m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, ber::Value::null()});
    save(m);
    m.pdu.type = ber::SetRequest;
    m.community = "saffron";
    m.pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 4, 0}, ber::Value::makeOctets("noc")},
                      {{1, 3, 6, 1, 2, 1, 2, 2, 1, 7, 3}, ber::Value::makeInteger(2)}};
    save(m);
    m.pdu.type = ber::Response;
    m.version = ber::V2c;
    m.pdu.bindings = {{{1, 3, 6, 1, 2, 1, 1, 2, 0}, ber::Value::makeOid({1, 3, 6, 1, 4, 1, 58213})},
                      {{1, 3, 6, 1, 2, 1, 1, 3, 0}, ber::Value::makeUnsigned(ber::TimeTicks, 123456)},
                      {{1, 3, 6, 1, 2, 1, 4, 20, 1, 1}, ber::Value::makeIp(10, 0, 0, 1)},
                      {{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1}, ber::Value::makeUnsigned(ber::Counter32, 4000000000u)},
                      {{1, 3, 6, 1, 2, 1, 2, 2, 1, 5, 1}, ber::Value::makeUnsigned(ber::Gauge32, 100000000)},
                      {{1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6, 1}, ber::Value::makeUnsigned(ber::Counter64, 1ull << 40)},
                      {{1, 3, 6, 1, 4, 1, 1}, ber::Value::makeOctets("\x9f\x78\x04", ber::Opaque)},
                      {{1, 3, 6, 1, 4, 1, 2}, ber::Value::exception(ber::NoSuchObject)},
                      {{1, 3, 6, 1, 4, 1, 3}, ber::Value::exception(ber::NoSuchInstance)},
                      {{1, 3, 6, 1, 4, 1, 4}, ber::Value::exception(ber::EndOfMibView)}};
    save(m);
    m.pdu.errorStatus = ber::NoSuchName;
    m.pdu.errorIndex = 1;
    m.community = std::string(200, 'c');
    save(m);
    return 0;
}
