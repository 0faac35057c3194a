// Value texts: how a binding is shown, and how a set value text becomes a binding value.
#include "qvsnmp/qvsnmp.h"

#include <QRegularExpression>
#include <QStringDecoder>

#include <charconv>
#include <string_view>

namespace {

void appendHex(std::string& out, std::string_view bytes, char sep) {
    static const char digits[] = "0123456789ABCDEF";
    if (bytes.empty()) return;
    const size_t at = out.size();
    out.resize(at + bytes.size() * 3 - 1);
    char* p = out.data() + at;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i) *p++ = sep;
        *p++ = digits[uint8_t(bytes[i]) >> 4];
        *p++ = digits[uint8_t(bytes[i]) & 0xF];
    }
}

template <class Number> void appendNumber(std::string& out, Number v) {
    char buf[24];
    out.append(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// Octets without their trailing NUL octets, when they are text: UTF-8 without control
// characters (tab, CR, LF allowed), without C1 controls and without the marks that reorder
// text, which a device's string must not use to change how the rest of what the operator
// reads is shown.
bool asText(const std::string& raw, std::string& out) {
    size_t len = raw.size();
    while (len > 0 && raw[len - 1] == '\0')
        --len;
    bool ascii = true;
    for (size_t i = 0; i < len; ++i) {
        auto c = uint8_t(raw[i]);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F) return false;
        ascii = ascii && c < 0x80;
    }
    if (ascii) { // nearly every device string: the octets are the text
        out.append(raw, 0, len);
        return true;
    }
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(QByteArrayView(raw.data(), qsizetype(len)));
    if (decoder.hasError()) return false;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
            (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return false;
    }
    // As decoded: a byte-order mark in front is no part of the text.
    const QByteArray utf8 = text.toUtf8();
    out.append(utf8.constData(), size_t(utf8.size()));
    return true;
}

void appendPhysAddress(std::string& out, const std::string& raw) {
    if (raw.size() == 8) {
        appendNumber(out, (unsigned(uint8_t(raw[0])) << 8) | uint8_t(raw[1]));
        out += '/';
        appendHex(out, std::string_view(raw).substr(2), ':');
        return;
    }
    appendHex(out, raw, ':');
}

// "00:1a:2b", "00-1A-2B", "00 1A 2B" or bare pairs "001A2B"; an empty text is no octets.
bool parseHexOctets(const QString& text, std::string& out) {
    out.clear();
    QString t = text.trimmed();
    if (t.isEmpty()) return true;
    static const QRegularExpression separator(QStringLiteral("[:\\- ]"));
    QStringList parts = t.split(separator);
    if (parts.size() == 1) {
        if (t.size() % 2) return false;
        parts.clear();
        for (int i = 0; i < t.size(); i += 2)
            parts.append(t.mid(i, 2));
    }
    for (const QString& part : parts) {
        bool ok = false;
        uint v = part.toUInt(&ok, 16);
        if (!ok || part.isEmpty() || part.size() > 2 || part.startsWith(QLatin1Char('+')))
            return false;
        out.push_back(char(v));
    }
    return true;
}

} // namespace

void AppendSnmpValue(std::string& out, const ber::Value& v, uint16_t typeCode,
                     const _QvValueText* map) {
    const bool isNumber = v.type == ber::Integer || v.type == ber::Counter32 ||
                          v.type == ber::Gauge32 || v.type == ber::TimeTicks ||
                          v.type == ber::Counter64;
    if (isNumber && !v.octets.empty()) // too large for its type: the octets as they came
        return appendHex(out, v.octets, ' ');
    switch (v.type) {
    case ber::Integer:
        for (const _QvValueText* p = map; p && p->text; ++p)
            if (p->value == v.integer) {
                out += p->text;
                return;
            }
        return appendNumber(out, v.integer);
    case ber::OctetString:
        if (typeCode == QV_TYPE_PHYSADDRESS) return appendPhysAddress(out, v.octets);
        if (typeCode == ber::Opaque || !asText(v.octets, out)) appendHex(out, v.octets, ' ');
        return;
    case ber::ObjectId:
        for (size_t i = 0; i < v.oid.size(); ++i) {
            if (i) out += '.';
            appendNumber(out, v.oid[i]);
        }
        return;
    case ber::IpAddress:
        if (v.octets.size() != 4) return appendHex(out, v.octets, ' ');
        for (int i = 0; i < 4; ++i) {
            if (i) out += '.';
            appendNumber(out, unsigned(uint8_t(v.octets[size_t(i)])));
        }
        return;
    case ber::Counter32:
    case ber::Gauge32:
    case ber::TimeTicks:
    case ber::Counter64:
        return appendNumber(out, v.unsignedValue());
    case ber::Opaque:
        return appendHex(out, v.octets, ' ');
    case ber::Null:
        out += "<null>";
        return;
    case ber::NoSuchObject:
        out += "<noSuchObject>";
        return;
    case ber::NoSuchInstance:
        out += "<noSuchInstance>";
        return;
    case ber::EndOfMibView:
        out += "<endOfMibView>";
        return;
    default: { // a type this library does not know: its tag and its octets
        static const char digits[] = "0123456789ABCDEF";
        const char tag[] = {
            '<', 't', 'y', 'p', 'e', ' ', '0', 'x', digits[v.type >> 4], digits[v.type & 0xF],
            '>', ' '};
        out.append(tag, sizeof tag);
        return appendHex(out, v.octets, ' ');
    }
    }
}

QString FormatSnmpValue(const ber::Value& v, uint16_t typeCode, const _QvValueText* map) {
    thread_local std::string text;
    text.clear();
    AppendSnmpValue(text, v, typeCode, map);
    // Every character as written, a byte-order mark in front included: the text was decoded
    // once already.
    auto decoder =
        QStringDecoder(QStringDecoder::Utf8,
                       QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    return decoder(QByteArrayView(text.data(), qsizetype(text.size())));
}

bool ConvertSnmpValue(const QString& text, uint16_t typeCode, const _QvValueText* map,
                      ber::Value& out, QString* why) {
    auto fail = [&](const char* what) {
        if (why) *why = QStringLiteral("\"%1\" is not %2").arg(text, QLatin1String(what));
        return false;
    };
    bool ok = false;
    switch (typeCode) {
    case ber::Integer: {
        int v = text.trimmed().toInt(&ok);
        if (!ok)
            for (const _QvValueText* p = map; p && p->text && !ok; ++p)
                if (text == QString::fromUtf8(p->text)) {
                    v = p->value;
                    ok = true;
                }
        if (!ok) return fail("an INTEGER");
        out = ber::Value::makeInteger(v);
        return true;
    }
    case ber::OctetString:
        out = ber::Value::makeOctets(text.toStdString());
        return true;
    case ber::ObjectId: {
        ber::Oid oid;
        if (!ber::parseOid(text.trimmed().toStdString(), oid)) return fail("an OBJECT IDENTIFIER");
        out = ber::Value::makeOid(std::move(oid));
        return true;
    }
    case ber::IpAddress: {
        QString t = text.trimmed();
        if (t.isEmpty()) t = QStringLiteral("0.0.0.0");
        QStringList parts = t.split(QLatin1Char('.'));
        if (parts.size() != 4) return fail("an IpAddress");
        uint8_t b[4];
        for (int i = 0; i < 4; ++i) {
            uint v = parts[i].toUInt(&ok);
            if (!ok || v > 255 || parts[i].isEmpty()) return fail("an IpAddress");
            b[i] = uint8_t(v);
        }
        out = ber::Value::makeIp(b[0], b[1], b[2], b[3]);
        return true;
    }
    case ber::Counter32:
    case ber::Gauge32:
    case ber::TimeTicks: {
        uint v = text.trimmed().toUInt(&ok);
        if (!ok) return fail("an unsigned 32-bit number");
        out = ber::Value::makeUnsigned(uint8_t(typeCode), v);
        return true;
    }
    case ber::Counter64: {
        qulonglong v = text.trimmed().toULongLong(&ok);
        if (!ok) return fail("an unsigned 64-bit number");
        out = ber::Value::makeUnsigned(ber::Counter64, v);
        return true;
    }
    case ber::Opaque: {
        std::string bytes;
        if (!parseHexOctets(text, bytes)) return fail("hex octets");
        out = ber::Value::makeOctets(std::move(bytes), ber::Opaque);
        return true;
    }
    case QV_TYPE_PHYSADDRESS: {
        std::string bytes;
        QString t = text.trimmed();
        int slash = t.indexOf(QLatin1Char('/'));
        if (slash >= 0) {
            uint priority = t.left(slash).toUInt(&ok);
            if (!ok || priority > 65535 || !parseHexOctets(t.mid(slash + 1), bytes) ||
                bytes.size() != 6)
                return fail("a bridge identifier");
            bytes.insert(bytes.begin(), {char(priority >> 8), char(priority & 0xFF)});
        } else if (!parseHexOctets(t, bytes)) {
            return fail("a physical address");
        }
        out = ber::Value::makeOctets(std::move(bytes));
        return true;
    }
    default:
        if (why) *why = QStringLiteral("type code %1 cannot be set").arg(typeCode);
        return false;
    }
}
