#include "qvsnmp/ber.h"

#include <QTest>

#include <limits>

namespace {

ber::Message sample() {
    ber::Message m;
    m.version = ber::V2c;
    m.community = "orchid";
    m.pdu.type = ber::Response;
    m.pdu.requestId = 0x12345678;
    auto add = [&](const char* oid, ber::Value v) {
        ber::VarBind vb;
        ber::parseOid(oid, vb.oid);
        vb.value = std::move(v);
        m.pdu.bindings.push_back(std::move(vb));
    };
    add("1.3.6.1.2.1.1.1.0", ber::Value::makeOctets("Talvex"));
    add("1.3.6.1.2.1.1.2.0", ber::Value::makeOid({1, 3, 6, 1, 4, 1, 58213, 4294967295u}));
    add("1.3.6.1.2.1.1.3.0", ber::Value::makeUnsigned(ber::TimeTicks, 4294967295u));
    add("1.3.6.1.2.1.2.2.1.7.1", ber::Value::makeInteger(-2147483647 - 1));
    add("1.3.6.1.2.1.4.20.1.1.10.0.0.1", ber::Value::makeIp(10, 0, 0, 1));
    add("1.3.6.1.2.1.2.2.1.10.1", ber::Value::makeUnsigned(ber::Counter32, 0));
    add("1.3.6.1.2.1.2.2.1.5.1", ber::Value::makeUnsigned(ber::Gauge32, 1000000000));
    add("1.3.6.1.2.1.31.1.1.1.6.1", ber::Value::makeUnsigned(ber::Counter64, 0xFFFFFFFFFFFFFFFFull));
    add("1.3.6.1.4.1.1.1", ber::Value::makeOctets(std::string("\x00\x01\xff", 3), ber::Opaque));
    add("1.3.6.1.4.1.1.2", ber::Value::null());
    add("1.3.6.1.4.1.1.3", ber::Value::exception(ber::NoSuchObject));
    add("1.3.6.1.4.1.1.4", ber::Value::exception(ber::NoSuchInstance));
    add("1.3.6.1.4.1.1.5", ber::Value::exception(ber::EndOfMibView));
    return m;
}

// tag, BER length, content; all in hex
QByteArray tlv(const QByteArray& tag, const QByteArray& content) {
    qsizetype n = content.size() / 2;
    QByteArray len = n < 0x80 ? QByteArray::number(n, 16).rightJustified(2, '0')
                              : "82" + QByteArray::number(n, 16).rightJustified(4, '0');
    return tag + len + content;
}

bool sameValue(const ber::Value& a, const ber::Value& b) {
    return a.type == b.type && a.integer == b.integer && a.octets == b.octets && a.oid == b.oid;
}

} // namespace

class TestBer : public QObject {
    Q_OBJECT
private slots:
    void roundTripEveryType() {
        ber::Message m = sample();
        std::vector<uint8_t> bytes = ber::encode(m);
        std::string why;
        auto back = ber::decode(bytes.data(), bytes.size(), &why);
        QVERIFY2(back, why.c_str());
        QCOMPARE(back->version, m.version);
        QCOMPARE(back->community, m.community);
        QCOMPARE(back->pdu.type, m.pdu.type);
        QCOMPARE(back->pdu.requestId, m.pdu.requestId);
        QCOMPARE(back->pdu.bindings.size(), m.pdu.bindings.size());
        for (size_t i = 0; i < m.pdu.bindings.size(); ++i) {
            QVERIFY(back->pdu.bindings[i].oid == m.pdu.bindings[i].oid);
            QVERIFY2(sameValue(back->pdu.bindings[i].value, m.pdu.bindings[i].value), std::to_string(i).c_str());
        }
    }

    // The exact octets other implementations produce and expect.
    void knownEncodings_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("0") << 0 << QByteArray("020100");
        QTest::newRow("127") << 127 << QByteArray("02017f");
        QTest::newRow("128") << 128 << QByteArray("02020080");
        QTest::newRow("-1") << -1 << QByteArray("0201ff");
        QTest::newRow("-128") << -128 << QByteArray("020180");
        QTest::newRow("-129") << -129 << QByteArray("0202ff7f");
        QTest::newRow("max") << 2147483647 << QByteArray("02047fffffff");
    }
    void knownEncodings() {
        QFETCH(int, value);
        QFETCH(QByteArray, expected);
        ber::Message m;
        m.community = "c";
        m.pdu.type = ber::GetRequest;
        m.pdu.bindings.push_back({{1, 3, 6, 1}, ber::Value::makeInteger(value)});
        std::vector<uint8_t> b = ber::encode(m);
        QByteArray all = QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex();
        // the value is the last element of the message
        QVERIFY2(all.endsWith("06032b0601" + expected), all.constData());
    }

    void oidAndUnsignedEncodings() {
        ber::Message m;
        m.community = "c";
        m.pdu.type = ber::GetRequest;
        m.pdu.bindings.push_back({{1, 3, 6, 1, 128, 16383, 16384}, ber::Value::makeUnsigned(ber::Counter32, 0xFFFFFFFFu)});
        std::vector<uint8_t> b = ber::encode(m);
        QByteArray all = QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.size())).toHex();
        QVERIFY2(all.endsWith("060a2b06018100ff7f818000" "410500ffffffff"), all.constData());
    }

    // Non-repeaters and max-repetitions, negative ones included, travel in the error fields; the
    // size of each binding adds up to the message's.
    void getBulkFieldsAndBindingSizes() {
        ber::Message m = sample();
        m.pdu.type = ber::GetBulkRequest;
        m.pdu.errorStatus = -3;
        m.pdu.errorIndex = 2147483647;
        std::vector<uint8_t> b = ber::encode(m);
        auto back = ber::decode(b.data(), b.size());
        QVERIFY(back);
        QCOMPARE(back->pdu.type, uint8_t(ber::GetBulkRequest));
        QCOMPARE(back->pdu.errorStatus, -3);
        QCOMPARE(back->pdu.errorIndex, 2147483647);

        ber::Message empty = m;
        empty.pdu.bindings.clear();
        empty.community = std::string(300, 'x'); // the message's length takes three octets either way
        m.community = empty.community;
        m.pdu.bindings.resize(4); // the list's and the PDU's lengths stay within one octet
        size_t sum = 0;
        for (const ber::VarBind& vb : m.pdu.bindings)
            sum += ber::encodedSize(vb);
        QVERIFY(sum > 40 && sum < 100);
        QCOMPARE(ber::encode(m).size(), ber::encode(empty).size() + sum);
    }

    void longLengths() {
        ber::Message m = sample();
        m.community = std::string(300, 'x');
        m.pdu.bindings.push_back({{1, 3, 6, 1}, ber::Value::makeOctets(std::string(70000 / 2, 'y'))});
        std::vector<uint8_t> b = ber::encode(m);
        auto back = ber::decode(b.data(), b.size());
        QVERIFY(back);
        QCOMPARE(back->community.size(), size_t(300));
        QCOMPARE(back->pdu.bindings.back().value.octets.size(), size_t(35000));
    }

    void everyTruncationIsRefused() {
        std::vector<uint8_t> b = ber::encode(sample());
        for (size_t n = 0; n < b.size(); ++n)
            QVERIFY2(!ber::decode(b.data(), n), std::to_string(n).c_str());
    }

    // Each row breaks one thing in an otherwise valid get of 1.3.6.1; lengths around the break
    // are right, so the decoder has to notice the break itself.
    void malformed_data() {
        QTest::addColumn<QByteArray>("bytes");
        const QByteArray oid = "06032b0601";
        auto message = [](const QByteArray& version, const QByteArray& pduTag, const QByteArray& header,
                          const QByteArray& binding) {
            QByteArray pdu = tlv(pduTag, header + tlv("30", binding));
            return tlv("30", version + tlv("04", "63") + pdu);
        };
        const QByteArray v = "020101", hdr = "020101020100020100";
        auto withValue = [&](const QByteArray& value) { return message(v, "a0", hdr, tlv("30", oid + value)); };
        QTest::newRow("reference is valid") << QByteArray("valid:") + withValue("0500");
        QTest::newRow("empty") << QByteArray("");
        QTest::newRow("not a sequence") << QByteArray("020100");
        QTest::newRow("indefinite length") << QByteArray("3080") + withValue("0500").mid(4) + "0000";
        QTest::newRow("length beyond input") << withValue("0500").left(20);
        QTest::newRow("five length octets") << QByteArray("30850000000010") + withValue("0500").mid(4);
        QTest::newRow("trailing bytes") << withValue("0500") + "00";
        QTest::newRow("version 3") << message("020103", "a0", hdr, tlv("30", oid + "0500"));
        QTest::newRow("getbulk pdu") << QByteArray("valid:") + message(v, "a5", hdr, tlv("30", oid + "0500"));
        QTest::newRow("inform pdu") << message(v, "a6", hdr, tlv("30", oid + "0500"));
        QTest::newRow("multi-byte tag") << message(v, "bf", hdr, tlv("30", oid + "0500"));
        QTest::newRow("integer of 5 octets") << message(v, "a0", "02050100000000020100020100", tlv("30", oid + "0500"));
        QTest::newRow("empty integer") << message(v, "a0", "0200020100020100", tlv("30", oid + "0500"));
        QTest::newRow("sequence as value") << withValue("3000");
        QTest::newRow("constructed context value") << withValue("a000");
        QTest::newRow("null with content") << withValue("050100");
        QTest::newRow("empty counter") << withValue("4100");
        QTest::newRow("sub-identifier over 32 bits") << message(v, "a0", hdr, tlv("30", "06062b90808080000500"));
        QTest::newRow("non-minimal sub-identifier") << message(v, "a0", hdr, tlv("30", "06042b8001010500"));
        QTest::newRow("truncated sub-identifier") << message(v, "a0", hdr, tlv("30", "06022b860500"));
        QTest::newRow("empty oid") << message(v, "a0", hdr, tlv("30", "06000500"));
        QTest::newRow("binding with extra element") << withValue("05000500");
        QTest::newRow("pdu with extra element") << message(v, "a0", hdr + "020100", tlv("30", oid + "0500"));
    }
    void malformed() {
        QFETCH(QByteArray, bytes);
        bool valid = bytes.startsWith("valid:");
        QByteArray raw = QByteArray::fromHex(valid ? bytes.mid(6) : bytes);
        std::string why;
        auto m = ber::decode(reinterpret_cast<const uint8_t*>(raw.constData()), size_t(raw.size()), &why);
        QVERIFY2(bool(m) == valid, why.c_str());
    }

    // Values a real agent may send that are well-formed BER but not what the codec writes: each
    // stays in the answer as what it is, and encodes back to the same content.
    void oddValuesKeepTheAnswer_data() {
        QTest::addColumn<QByteArray>("value"); // tag, length, content in hex
        QTest::addColumn<int>("type");
        QTest::addColumn<qlonglong>("number");
        QTest::addColumn<QByteArray>("octets"); // hex; set when the content is kept as it came
        QTest::newRow("unknown type") << QByteArray("47020a0b") << 0x47 << 0ll << QByteArray("0a0b");
        QTest::newRow("nsap address") << QByteArray("450349aabb") << 0x45 << 0ll << QByteArray("49aabb");
        QTest::newRow("opaque") << QByteArray("44029f78") << 0x44 << 0ll << QByteArray("9f78");
        QTest::newRow("ip of 3 octets") << QByteArray("4003010203") << 0x40 << 0ll << QByteArray("010203");
        QTest::newRow("integer of 5 octets") << QByteArray("020500ffffffff") << 2 << 4294967295ll << QByteArray();
        QTest::newRow("padded negative integer") << QByteArray("0203ffff80") << 2 << -128ll << QByteArray();
        QTest::newRow("integer of 8 octets") << QByteArray("02088000000000000000") << 2
                                             << std::numeric_limits<qlonglong>::min() << QByteArray();
        QTest::newRow("integer of 9 octets") << QByteArray("0209010000000000000000") << 2 << 0ll
                                             << QByteArray("010000000000000000");
        QTest::newRow("counter without its zero octet") << QByteArray("4104ffffffff") << 0x41 << 4294967295ll << QByteArray();
        QTest::newRow("negative-looking counter") << QByteArray("4101ff") << 0x41 << 255ll << QByteArray();
        QTest::newRow("counter over 32 bits") << QByteArray("41050100000000") << 0x41 << 4294967296ll << QByteArray();
        QTest::newRow("counter64 of 9 octets") << QByteArray("4609008000000000000000") << 0x46
                                               << std::numeric_limits<qlonglong>::min() << QByteArray();
        QTest::newRow("counter64 over 64 bits") << QByteArray("4609010000000000000000") << 0x46 << 0ll
                                                << QByteArray("010000000000000000");
    }
    void oddValuesKeepTheAnswer() {
        QFETCH(QByteArray, value);
        QFETCH(int, type);
        QFETCH(qlonglong, number);
        QFETCH(QByteArray, octets);
        // A response with the odd binding between two ordinary ones.
        const QByteArray bindings = tlv("30", "06032b06010201" "07") + tlv("30", "06032b0602" + value) +
                                    tlv("30", "06032b06030500");
        const QByteArray pdu = tlv("a2", "020101020100020100" + tlv("30", bindings));
        const QByteArray raw = QByteArray::fromHex(tlv("30", "020101" + tlv("04", "63") + pdu));
        std::string why;
        auto m = ber::decode(reinterpret_cast<const uint8_t*>(raw.constData()), size_t(raw.size()), &why);
        QVERIFY2(m, why.c_str());
        QCOMPARE(m->pdu.bindings.size(), size_t(3));
        const ber::Value& v = m->pdu.bindings[1].value;
        QCOMPARE(int(v.type), type);
        QCOMPARE(qlonglong(v.integer), number);
        QCOMPARE(QByteArray::fromStdString(v.octets).toHex(), octets);
        QCOMPARE(m->pdu.bindings[2].value.type, uint8_t(ber::Null));
        std::vector<uint8_t> again = ber::encode(*m);
        auto back = ber::decode(again.data(), again.size());
        QVERIFY(back);
        QCOMPARE(back->pdu.bindings[1].value.integer, v.integer);
        QCOMPARE(back->pdu.bindings[1].value.octets, v.octets);
    }

    void limits() {
        // Oversized input is refused before it is read.
        std::vector<uint8_t> big(ber::MaxMessage + 1, 0);
        std::string why;
        QVERIFY(!ber::decode(big.data(), big.size(), &why));
        QCOMPARE(why, std::string("message too large"));

        // An OID of 129 sub-identifiers is refused, one of 128 accepted.
        for (size_t n : {128u, 129u}) {
            ber::Message m;
            m.community = "c";
            ber::Oid oid(n, 1);
            oid[0] = 1;
            oid[1] = 3;
            m.pdu.bindings.push_back({oid, ber::Value::null()});
            std::vector<uint8_t> b = ber::encode(m);
            QCOMPARE(bool(ber::decode(b.data(), b.size())), n == 128);
        }
    }

    void parseOidText_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("plain") << "1.3.6.1.2.1.1.1.0" << true;
        QTest::newRow("leading dot") << ".1.3.6.1" << true;
        QTest::newRow("max sub-id") << "1.3.4294967295" << true;
        QTest::newRow("largest second arc under 2") << "2.4294967215" << true;
        QTest::newRow("second arc under 2 too large") << "2.4294967216" << false;
        QTest::newRow("2.4294967295") << "2.4294967295" << false;
        QTest::newRow("sub-id overflow") << "1.3.4294967296" << false;
        QTest::newRow("trailing dot") << "1.3.6.1." << false;
        QTest::newRow("double dot") << "1.3..6" << false;
        QTest::newRow("letters") << "1.3.six" << false;
        QTest::newRow("one part") << "1" << false;
        QTest::newRow("first arc 3") << "3.1" << false;
        QTest::newRow("second arc 40 under 1") << "1.40" << false;
        QTest::newRow("empty") << "" << false;
        QTest::newRow("sign") << "1.3.+6" << false;
    }
    void parseOidText() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        ber::Oid oid;
        QCOMPARE(ber::parseOid(text.toStdString(), oid), ok);
        if (ok)
            QCOMPARE(QString::fromStdString("." + ber::oidToString(oid)), text.startsWith('.') ? text : "." + text);
    }
};

QTEST_GUILESS_MAIN(TestBer)
#include "tst_ber.moc"
