// The SNMPv3 units without a network: key localisation against the RFC's vectors, and
// messages that go through encode and the two decoding steps, or are refused by them.
#include "qvsnmp/v3msg.h"

#include <QCryptographicHash>
#include <QTest>

#include <climits>

namespace {

std::string hex(const crypto::Secret& s) {
    return QByteArray(s.view().data(), qsizetype(s.size())).toHex().toStdString();
}

std::string bytes(const char* hexText) {
    return QByteArray::fromHex(hexText).toStdString();
}

usm::User user(crypto::Auth auth, crypto::Priv priv, const char* authPass = "maplesyrup",
               const char* privPass = "pancakemix") {
    usm::User u;
    u.name = "bert";
    u.auth = auth;
    u.priv = priv;
    u.level = priv != crypto::Priv::None   ? usm::Level::AuthPriv
              : auth != crypto::Auth::None ? usm::Level::AuthNoPriv
                                           : usm::Level::NoAuthNoPriv;
    u.authPassphrase = crypto::Secret(authPass);
    u.privPassphrase = crypto::Secret(privPass);
    return u;
}

v3::Message request(uint8_t flags) {
    v3::Message m;
    m.msgId = 4711;
    m.flags = flags | v3::FlagReportable;
    m.engineId = bytes("80001f8880e9bd0c1d12667a5100000000");
    m.boots = 3;
    m.time = 1200;
    m.userName = "bert";
    m.contextEngineId = m.engineId;
    m.pdu.type = ber::GetNextRequest;
    m.pdu.requestId = 99;
    m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::makeOctets("chassis")});
    return m;
}

const crypto::Auth kAuths[] = {crypto::Auth::MD5,    crypto::Auth::SHA1,   crypto::Auth::SHA224,
                               crypto::Auth::SHA256, crypto::Auth::SHA384, crypto::Auth::SHA512};

} // namespace

class TestUsm : public QObject {
    Q_OBJECT
private slots:
    void localisedKey_data() {
        QTest::addColumn<int>("auth");
        QTest::addColumn<QString>("ku");
        QTest::addColumn<QString>("kul");
        // RFC 3414 A.3.1 and A.3.2: "maplesyrup" for engine 00..02
        QTest::newRow("MD5") << int(crypto::Auth::MD5) << "9faf3283884e92834ebc9847d8edd963"
                             << "526f5eed9fcce26f8964c2930787d82b";
        QTest::newRow("SHA") << int(crypto::Auth::SHA1)
                             << "9fb5cc0381497b3793528939ff788d5d79145211"
                             << "6695febc9288e36282235fc7151f128497b38f3f";
    }
    void localisedKey() {
        QFETCH(int, auth);
        QFETCH(QString, ku);
        QFETCH(QString, kul);
        const auto a = crypto::Auth(auth);
        crypto::Secret k = crypto::passwordToKey(a, "maplesyrup");
        QCOMPARE(QString::fromStdString(hex(k)), ku);
        QCOMPARE(QString::fromStdString(
                     hex(crypto::localizeKey(a, k, bytes("000000000000000000000002")))),
                 kul);
        usm::User u = user(a, crypto::Priv::None);
        auto keys = usm::localizedKeys(u, bytes("000000000000000000000002"));
        QCOMPARE(QString::fromStdString(hex(keys->authKey)), kul);
        QVERIFY(usm::localizedKeys(u, bytes("000000000000000000000003"))->authKey != keys->authKey);
    }

    void names_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        for (const char* ok : {"MD5", "SHA", "sha1", "SHA-224", "SHA256", "sha-384", "SHA-512"})
            QTest::newRow(ok) << QString::fromLatin1(ok) << true;
        for (const char* bad : {"", "SHA-1024", "HMAC-MD5", "MD"})
            QTest::newRow(bad[0] ? bad : "empty") << QString::fromLatin1(bad) << false;
    }
    void names() {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        crypto::Auth a;
        QCOMPARE(usm::parseAuth(text.toStdString(), a), valid);
    }

    // AES-192 and AES-256 under a digest shorter than their key take the localised key
    // lengthened by hashing it; a longer digest is cut. Each key is as long as its cipher's.
    void privKeyLengths_data() {
        QTest::addColumn<int>("auth");
        QTest::addColumn<int>("priv");
        QTest::addColumn<int>("length");
        QTest::newRow("MD5/AES-256") << int(crypto::Auth::MD5) << int(crypto::Priv::AES256) << 32;
        QTest::newRow("SHA/AES-192") << int(crypto::Auth::SHA1) << int(crypto::Priv::AES192) << 24;
        QTest::newRow("SHA/AES-256") << int(crypto::Auth::SHA1) << int(crypto::Priv::AES256) << 32;
        QTest::newRow("SHA-512/AES-256")
            << int(crypto::Auth::SHA512) << int(crypto::Priv::AES256) << 32;
        QTest::newRow("SHA-256/AES")
            << int(crypto::Auth::SHA256) << int(crypto::Priv::AES128) << 16;
    }
    void privKeyLengths() {
        QFETCH(int, auth);
        QFETCH(int, priv);
        QFETCH(int, length);
        const auto a = crypto::Auth(auth);
        const std::string engine = bytes("000000000000000000000002");
        auto keys = usm::localizedKeys(user(a, crypto::Priv(priv)), engine);
        QCOMPARE(keys->privKey.size(), size_t(length));
        const crypto::Secret kul =
            crypto::localizeKey(a, crypto::passwordToKey(a, "pancakemix"), engine);
        const size_t head = std::min(kul.size(), size_t(length));
        QCOMPARE(keys->privKey.view().substr(0, head), kul.view().substr(0, head));
        if (kul.size() < size_t(length)) {
            QByteArray next = QCryptographicHash::hash(
                QByteArray(kul.view().data(), qsizetype(kul.size())),
                a == crypto::Auth::MD5 ? QCryptographicHash::Md5 : QCryptographicHash::Sha1);
            QCOMPARE(QByteArray(keys->privKey.view().data() + head, qsizetype(length - head)),
                     next.left(length - qsizetype(head)));
        }
    }

    void roundTrip_data() {
        QTest::addColumn<int>("auth");
        QTest::addColumn<int>("priv");
        QTest::newRow("noAuthNoPriv") << int(crypto::Auth::None) << int(crypto::Priv::None);
        for (crypto::Auth a : kAuths) {
            const QByteArray name = crypto::authName(a);
            QTest::newRow(name + "/none") << int(a) << int(crypto::Priv::None);
            QTest::newRow(name + "/AES") << int(a) << int(crypto::Priv::AES128);
            QTest::newRow(name + "/AES-192") << int(a) << int(crypto::Priv::AES192);
            QTest::newRow(name + "/AES-256") << int(a) << int(crypto::Priv::AES256);
            if (crypto::desAvailable())
                QTest::newRow(name + "/DES") << int(a) << int(crypto::Priv::DES);
        }
    }
    void roundTrip() {
        QFETCH(int, auth);
        QFETCH(int, priv);
        usm::User u = user(crypto::Auth(auth), crypto::Priv(priv));
        v3::Message m = request(uint8_t((auth ? v3::FlagAuth : 0) | (priv ? v3::FlagPriv : 0)));
        auto keys = usm::localizedKeys(u, m.engineId);
        std::string why;
        std::vector<uint8_t> wire = v3::encode(m, keys.get(), &why);
        QVERIFY2(!wire.empty(), why.c_str());
        QCOMPARE(v3::messageVersion(wire.data(), wire.size()), 3);
        if (priv) // the name of the object travels only encrypted
            QVERIFY(!QByteArray(reinterpret_cast<const char*>(wire.data()), qsizetype(wire.size()))
                         .contains("chassis"));

        auto in = v3::parse(wire.data(), wire.size(), &why);
        QVERIFY2(in, why.c_str());
        QCOMPARE(in->msg.userName, m.userName);
        QCOMPARE(in->msg.boots, 3);
        QCOMPARE(v3::authenticate(*in, keys.get()), v3::Error::None);
        QCOMPARE(v3::open(*in, keys.get()), v3::Error::None);
        QCOMPARE(in->msg.pdu.requestId, 99);
        QCOMPARE(in->msg.pdu.bindings.at(0).value.octets, std::string("chassis"));
        QCOMPARE(in->msg.contextEngineId, m.engineId);
        if (!auth) return;

        // Any octet changed fails the digest.
        for (size_t i = 0; i < wire.size(); i += 7) {
            std::vector<uint8_t> bad = wire;
            bad[i] ^= 0x10;
            auto tampered = v3::parse(bad.data(), bad.size());
            if (tampered) QCOMPARE(v3::authenticate(*tampered, keys.get()), v3::Error::WrongDigest);
        }
        usm::User other =
            user(crypto::Auth(auth), crypto::Priv(priv), "maplesyrups", "pancakemixes");
        auto otherKeys = usm::localizedKeys(other, m.engineId);
        QCOMPARE(v3::authenticate(*v3::parse(wire.data(), wire.size()), otherKeys.get()),
                 v3::Error::WrongDigest);
        if (priv) {
            // the right authentication key, the wrong privacy key
            usm::Keys mixed;
            mixed.auth = keys->auth;
            mixed.priv = keys->priv;
            mixed.authKey = keys->authKey;
            mixed.privKey = otherKeys->privKey;
            auto in2 = v3::parse(wire.data(), wire.size());
            QCOMPARE(v3::authenticate(*in2, &mixed), v3::Error::None);
            QCOMPARE(v3::open(*in2, &mixed), v3::Error::DecryptionError);
            // no privacy key at all: the user lacks the level
            mixed.priv = crypto::Priv::None;
            QCOMPARE(v3::open(*in2, &mixed), v3::Error::UnsupportedSecLevel);
        }
        QCOMPARE(v3::authenticate(*v3::parse(wire.data(), wire.size()), nullptr),
                 v3::Error::UnsupportedSecLevel);
    }

    void saltsDiffer() {
        usm::User u = user(crypto::Auth::SHA1, crypto::Priv::AES128);
        v3::Message m = request(v3::FlagAuth | v3::FlagPriv);
        auto keys = usm::localizedKeys(u, m.engineId);
        std::vector<uint8_t> w1 = v3::encode(m, keys.get()), w2 = v3::encode(m, keys.get());
        QCOMPARE(v3::parse(w1.data(), w1.size())->privParams.size(), size_t(8));
        QVERIFY(v3::parse(w1.data(), w1.size())->privParams !=
                v3::parse(w2.data(), w2.size())->privParams);
    }

    void refused_data() {
        QTest::addColumn<QByteArray>("wire");
        // version 3, header {id 1, size 65507, flags, model}, USM parameters, scoped PDU
        auto message = [](const char* flags, const char* model, const char* data) {
            QByteArray body = QByteArray::fromHex("020103");
            QByteArray header = QByteArray::fromHex("020101020300ffe3") +
                                QByteArray::fromHex(flags) + QByteArray::fromHex(model);
            body += char(0x30) + char(header.size()) + header;
            QByteArray usmParams = QByteArray::fromHex("3012040002010002010004046265727404000400");
            body += char(0x04) + char(usmParams.size()) + usmParams + QByteArray::fromHex(data);
            return char(0x30) + QByteArray(1, char(body.size())) + body;
        };
        const char* scoped = "301104000400a00b0201010201000201003000";
        QTest::newRow("privacy without authentication")
            << message("040102", "020103", "04080000000000000000");
        QTest::newRow("community-based model") << message("040100", "020102", scoped);
        QTest::newRow("two flag octets") << message("04020000", "020103", scoped);
        QTest::newRow("encrypted without the flag")
            << message("040100", "020103", "04080000000000000000");
        QTest::newRow("v2c message")
            << QByteArray::fromHex("301902010104067075626c6963a00c020101020100020100300000");
    }
    void refused() {
        QFETCH(QByteArray, wire);
        std::string why;
        QVERIFY(!v3::parse(reinterpret_cast<const uint8_t*>(wire.constData()), size_t(wire.size()),
                           &why));
        QVERIFY(!why.empty());
    }

    void reports_data() {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("oid");
        QTest::newRow("unknown engine")
            << int(v3::Error::UnknownEngineId) << "1.3.6.1.6.3.15.1.1.4.0";
        QTest::newRow("unknown user")
            << int(v3::Error::UnknownUserName) << "1.3.6.1.6.3.15.1.1.3.0";
        QTest::newRow("wrong digest") << int(v3::Error::WrongDigest) << "1.3.6.1.6.3.15.1.1.5.0";
        QTest::newRow("time window") << int(v3::Error::NotInTimeWindow) << "1.3.6.1.6.3.15.1.1.2.0";
        QTest::newRow("context") << int(v3::Error::UnknownContext) << "1.3.6.1.6.3.12.1.5.0";
    }
    void reports() {
        QFETCH(int, error);
        QFETCH(QString, oid);
        QCOMPARE(QString::fromStdString(ber::oidToString(v3::reportOid(v3::Error(error)))), oid);
        QCOMPARE(v3::reportError(v3::reportOid(v3::Error(error))), v3::Error(error));
    }

    void timeWindow() {
        QVERIFY(v3::inTimeWindow(3, 1000, 3, 1150));
        QVERIFY(v3::inTimeWindow(3, 1150, 3, 1000));
        QVERIFY(!v3::inTimeWindow(3, 1000, 3, 1151));
        QVERIFY(!v3::inTimeWindow(2, 1000, 3, 1000));
        QVERIFY(!v3::inTimeWindow(INT32_MAX, 1000, INT32_MAX, 1000)); // boots exhausted
    }

    // The manager's side of the time window: authentic messages later than any before move
    // the clock on; older boots, or a time more than 150 s behind it, are refused.
    void managerTimeWindow_data() {
        QTest::addColumn<int>("boots");
        QTest::addColumn<int>("time");
        QTest::addColumn<int>("elapsed"); // seconds since the clock's latest message
        QTest::addColumn<bool>("timely");
        QTest::addColumn<int>("clockTime"); // the clock's time after it
        // the clock: boots 5, latest time 1000
        QTest::newRow("the same message again") << 5 << 1000 << 0 << true << 1000;
        QTest::newRow("later time") << 5 << 1200 << 10 << true << 1200;
        QTest::newRow("later boots, earlier time") << 6 << 3 << 10 << true << 3;
        QTest::newRow("older boots") << 4 << 999999 << 0 << false << 1000;
        QTest::newRow("time 150 s behind the clock") << 5 << 1000 << 150 << true << 1150;
        QTest::newRow("time 151 s behind the clock") << 5 << 1000 << 151 << false << 1151;
        QTest::newRow("earlier, but within the window") << 5 << 900 << 30 << true << 1030;
    }
    void managerTimeWindow() {
        QFETCH(int, boots);
        QFETCH(int, time);
        QFETCH(int, elapsed);
        QFETCH(bool, timely);
        QFETCH(int, clockTime);
        v3::EngineClock clock{5, 1000, 100};
        QCOMPARE(v3::timely(clock, boots, time, 100 + elapsed), timely);
        QCOMPARE(clock.timeAt(100 + elapsed), clockTime);
        v3::EngineClock exhausted{INT32_MAX, 1000, 100};
        QVERIFY(!v3::timely(exhausted, INT32_MAX, 1001, 100));
    }

    // Passphrases of at least 8 characters: UTF-8 characters, not octets.
    void passphraseCharacters_data() {
        QTest::addColumn<QString>("passphrase");
        QTest::addColumn<bool>("usable");
        QTest::newRow("8 ASCII characters") << "maplesyr" << true;
        QTest::newRow("7 ASCII characters") << "maplesy" << false;
        QTest::newRow("5 characters in 8 octets")
            << QString::fromUtf8("\u00e9t\u00e9\u00e9t") << false;
        QTest::newRow("8 characters in 16 octets")
            << QString::fromUtf8("\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9\u00e9") << true;
        QTest::newRow("2 characters in 8 octets")
            << QString::fromUtf8("\U0001F341\U0001F95E") << false;
    }
    void passphraseCharacters() {
        QFETCH(QString, passphrase);
        QFETCH(bool, usable);
        const QByteArray p = passphrase.toUtf8();
        usm::User u = user(crypto::Auth::SHA256, crypto::Priv::None, p.constData());
        QCOMPARE(QString::fromStdString(u.check()),
                 usable ? QString()
                        : QStringLiteral(
                              "the authentication passphrase must have at least 8 characters"));
    }

    void userCheck() {
        usm::User u = user(crypto::Auth::SHA256, crypto::Priv::AES128, "maplesyrup", "short");
        QCOMPARE(QString::fromStdString(u.check()),
                 QStringLiteral("the privacy passphrase must have at least 8 characters"));
        u.level = usm::Level::AuthNoPriv;
        QVERIFY(u.check().empty());
        u.auth = crypto::Auth::None;
        QCOMPARE(QString::fromStdString(u.check()),
                 QStringLiteral("authNoPriv needs an authentication protocol"));
        std::string why;
        if (!crypto::desAvailable(&why)) QVERIFY(why.find("legacy provider") != std::string::npos);
    }
};

QTEST_GUILESS_MAIN(TestUsm)
#include "tst_usm.moc"
