// Value texts: how a binding is shown, and how a set value text becomes a binding value.
#include "qvsnmp/qvsnmp.h"

#include <QRegularExpression>
#include <QStringDecoder>

namespace {

QString hexOctets(const std::string& bytes, QChar sep) {
    static const char digits[] = "0123456789ABCDEF";
    QString s(qsizetype(bytes.empty() ? 0 : bytes.size() * 3 - 1), Qt::Uninitialized);
    QChar* out = s.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            *out++ = sep;
        *out++ = QLatin1Char(digits[uint8_t(bytes[i]) >> 4]);
        *out++ = QLatin1Char(digits[uint8_t(bytes[i]) & 0xF]);
    }
    return s;
}

// Text when the octets read as UTF-8 without control characters (tab, CR, LF allowed).
bool asText(const std::string& raw, QString& out) {
    size_t len = raw.size();
    while (len > 0 && raw[len - 1] == '\0')
        --len;
    for (size_t i = 0; i < len; ++i) {
        auto c = uint8_t(raw[i]);
        if ((c < 0x20 && c != '\t' && c != '\r' && c != '\n') || c == 0x7F)
            return false;
    }
    auto decoder = QStringDecoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    out = decoder(QByteArrayView(raw.data(), qsizetype(len)));
    if (decoder.hasError())
        return false;
    // C1 controls (a terminal's CSI among them) and the marks that reorder text: a device's
    // string must not change how the rest of what the operator reads is shown.
    for (QChar c : std::as_const(out)) {
        const char16_t u = c.unicode();
        if ((u >= 0x80 && u <= 0x9F) || u == 0x061C || u == 0x200E || u == 0x200F ||
            (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069))
            return false;
    }
    return true;
}

QString physAddress(const std::string& raw) {
    if (raw.size() == 6)
        return hexOctets(raw, QLatin1Char(':'));
    if (raw.size() == 8) {
        unsigned priority = (uint8_t(raw[0]) << 8) | uint8_t(raw[1]);
        return QString::number(priority) + QLatin1Char('/') + hexOctets(raw.substr(2), QLatin1Char(':'));
    }
    return hexOctets(raw, QLatin1Char(':'));
}

// "00:1a:2b", "00-1A-2B", "00 1A 2B" or bare pairs "001A2B"; an empty text is no octets.
bool parseHexOctets(const QString& text, std::string& out) {
    out.clear();
    QString t = text.trimmed();
    if (t.isEmpty())
        return true;
    static const QRegularExpression separator(QStringLiteral("[:\\- ]"));
    QStringList parts = t.split(separator);
    if (parts.size() == 1) {
        if (t.size() % 2)
            return false;
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

QString FormatSnmpValue(const ber::Value& v, uint16_t typeCode, const _QvValueText* map) {
    const bool isNumber = v.type == ber::Integer || v.type == ber::Counter32 || v.type == ber::Gauge32 ||
                          v.type == ber::TimeTicks || v.type == ber::Counter64;
    if (isNumber && !v.octets.empty()) // too large for its type: the octets as they came
        return hexOctets(v.octets, QLatin1Char(' '));
    switch (v.type) {
    case ber::Integer:
        for (const _QvValueText* p = map; p && p->text; ++p)
            if (p->value == v.integer)
                return QString::fromUtf8(p->text);
        return QString::number(v.integer);
    case ber::OctetString: {
        if (typeCode == QV_TYPE_PHYSADDRESS)
            return physAddress(v.octets);
        if (typeCode == ber::Opaque)
            return hexOctets(v.octets, QLatin1Char(' '));
        QString text;
        return asText(v.octets, text) ? text : hexOctets(v.octets, QLatin1Char(' '));
    }
    case ber::ObjectId:
        return QString::fromStdString(ber::oidToString(v.oid));
    case ber::IpAddress:
        if (v.octets.size() != 4)
            return hexOctets(v.octets, QLatin1Char(' '));
        return QStringLiteral("%1.%2.%3.%4")
            .arg(uint8_t(v.octets[0]))
            .arg(uint8_t(v.octets[1]))
            .arg(uint8_t(v.octets[2]))
            .arg(uint8_t(v.octets[3]));
    case ber::Counter32:
    case ber::Gauge32:
    case ber::TimeTicks:
    case ber::Counter64:
        return QString::number(v.unsignedValue());
    case ber::Opaque:
        return hexOctets(v.octets, QLatin1Char(' '));
    case ber::Null:
        return QStringLiteral("<null>");
    case ber::NoSuchObject:
        return QStringLiteral("<noSuchObject>");
    case ber::NoSuchInstance:
        return QStringLiteral("<noSuchInstance>");
    case ber::EndOfMibView:
        return QStringLiteral("<endOfMibView>");
    default: // a type this library does not know: its tag and its octets
        return QStringLiteral("<type 0x%1> ").arg(QString::number(v.type, 16).toUpper().rightJustified(2, QLatin1Char('0'))) +
               hexOctets(v.octets, QLatin1Char(' '));
    }
}

bool ConvertSnmpValue(const QString& text, uint16_t typeCode, const _QvValueText* map,
                      ber::Value& out, QString* why) {
    auto fail = [&](const char* what) {
        if (why)
            *why = QStringLiteral("\"%1\" is not %2").arg(text, QLatin1String(what));
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
        if (!ok)
            return fail("an INTEGER");
        out = ber::Value::makeInteger(v);
        return true;
    }
    case ber::OctetString:
        out = ber::Value::makeOctets(text.toStdString());
        return true;
    case ber::ObjectId: {
        ber::Oid oid;
        if (!ber::parseOid(text.trimmed().toStdString(), oid))
            return fail("an OBJECT IDENTIFIER");
        out = ber::Value::makeOid(std::move(oid));
        return true;
    }
    case ber::IpAddress: {
        QString t = text.trimmed();
        if (t.isEmpty())
            t = QStringLiteral("0.0.0.0");
        QStringList parts = t.split(QLatin1Char('.'));
        if (parts.size() != 4)
            return fail("an IpAddress");
        uint8_t b[4];
        for (int i = 0; i < 4; ++i) {
            uint v = parts[i].toUInt(&ok);
            if (!ok || v > 255 || parts[i].isEmpty())
                return fail("an IpAddress");
            b[i] = uint8_t(v);
        }
        out = ber::Value::makeIp(b[0], b[1], b[2], b[3]);
        return true;
    }
    case ber::Counter32:
    case ber::Gauge32:
    case ber::TimeTicks: {
        uint v = text.trimmed().toUInt(&ok);
        if (!ok)
            return fail("an unsigned 32-bit number");
        out = ber::Value::makeUnsigned(uint8_t(typeCode), v);
        return true;
    }
    case ber::Counter64: {
        qulonglong v = text.trimmed().toULongLong(&ok);
        if (!ok)
            return fail("an unsigned 64-bit number");
        out = ber::Value::makeUnsigned(ber::Counter64, v);
        return true;
    }
    case ber::Opaque: {
        std::string bytes;
        if (!parseHexOctets(text, bytes))
            return fail("hex octets");
        out = ber::Value::makeOctets(std::move(bytes), ber::Opaque);
        return true;
    }
    case QV_TYPE_PHYSADDRESS: {
        std::string bytes;
        QString t = text.trimmed();
        int slash = t.indexOf(QLatin1Char('/'));
        if (slash >= 0) {
            uint priority = t.left(slash).toUInt(&ok);
            if (!ok || priority > 65535 || !parseHexOctets(t.mid(slash + 1), bytes) || bytes.size() != 6)
                return fail("a bridge identifier");
            bytes.insert(bytes.begin(), {char(priority >> 8), char(priority & 0xFF)});
        } else if (!parseHexOctets(t, bytes)) {
            return fail("a physical address");
        }
        out = ber::Value::makeOctets(std::move(bytes));
        return true;
    }
    default:
        if (why)
            *why = QStringLiteral("type code %1 cannot be set").arg(typeCode);
        return false;
    }
}
