#include "qvsnmp/address.h"

#include <QFile>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

namespace qvsnmp {

namespace {

// The socket address of a literal, length 0 for anything else.
sockaddr_storage literal(const QByteArray& text, quint16 port, socklen_t& length) {
    sockaddr_storage out{};
    length = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(out);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(out);
    if (inet_pton(AF_INET, text.constData(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(port);
        length = sizeof v4;
    } else if (inet_pton(AF_INET6, text.constData(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(port);
        length = sizeof v6;
    }
    return out;
}

int literalFamily(const QString& text) {
    const QByteArray t = text.toLatin1();
    if (text != QString::fromLatin1(t)) return AF_UNSPEC;
    socklen_t length = 0;
    const sockaddr_storage a = literal(t, 0, length);
    return length ? a.ss_family : AF_UNSPEC;
}

} // namespace

bool AgentAddress::is(const sockaddr_storage& from, socklen_t fromLength) const {
    if (fromLength != length || from.ss_family != socket.ss_family) return false;
    if (socket.ss_family == AF_INET) {
        const auto& x = reinterpret_cast<const sockaddr_in&>(socket);
        const auto& y = reinterpret_cast<const sockaddr_in&>(from);
        return x.sin_addr.s_addr == y.sin_addr.s_addr && x.sin_port == y.sin_port;
    }
    if (socket.ss_family == AF_INET6) {
        const auto& x = reinterpret_cast<const sockaddr_in6&>(socket);
        const auto& y = reinterpret_cast<const sockaddr_in6&>(from);
        return std::memcmp(&x.sin6_addr, &y.sin6_addr, sizeof x.sin6_addr) == 0 &&
               x.sin6_port == y.sin6_port;
    }
    return false;
}

AgentAddress agentAt(const QString& address, quint16 port) {
    AgentAddress a;
    const QByteArray text = address.toLatin1();
    if (address == QString::fromLatin1(text)) a.socket = literal(text, port, a.length);
    char host[NI_MAXHOST] = {};
    if (a.valid() && getnameinfo(reinterpret_cast<const sockaddr*>(&a.socket), a.length, host,
                                 sizeof host, nullptr, 0, NI_NUMERICHOST) == 0)
        a.key = std::string("[") + host + "]:" + std::to_string(port);
    else // no socket: its sessions share nothing with any that has one
        a.key = "[" + address.toStdString() + "]:" + std::to_string(port);
    return a;
}

bool loopbackOnly() {
    static const bool only = qEnvironmentVariableIntValue("TALVEX_LOOPBACK_ONLY") != 0;
    return only;
}

void refuseOutsideLoopback(const QString& address, const AgentAddress& agent) {
    if (!loopbackOnly()) return;
    const sockaddr_storage& a = agent.socket;
    if (a.ss_family == AF_INET) {
        if ((ntohl(reinterpret_cast<const sockaddr_in&>(a).sin_addr.s_addr) >> 24) == 127) return;
    } else if (a.ss_family == AF_INET6) {
        if (IN6_IS_ADDR_LOOPBACK(&reinterpret_cast<const sockaddr_in6&>(a).sin6_addr)) return;
    }
    qFatal("qvsnmp: session toward %s refused: TALVEX_LOOPBACK_ONLY allows 127.0.0.0/8 and ::1 "
           "only",
           qPrintable(address));
}

} // namespace qvsnmp

namespace {

// The hosts file's addresses for name, in the file's order.
QStringList hostsFileAddresses(const QString& name) {
    QFile f(QStringLiteral("/etc/hosts"));
    QStringList found;
    if (!f.open(QIODevice::ReadOnly)) return found;
    while (!f.atEnd()) {
        QString line = QString::fromLocal8Bit(f.readLine());
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0) line.truncate(hash);
        const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < words.size(); ++i)
            if (words[i].compare(name, Qt::CaseInsensitive) == 0) found << words[0];
    }
    return found;
}

QStringList systemAddresses(const QString& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    QStringList found;
    if (getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &list) != 0) return found;
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(ai->ai_addr);
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(ai->ai_addr);
        const void* a = ai->ai_family == AF_INET ? static_cast<const void*>(&v4->sin_addr)
                                                 : static_cast<const void*>(&v6->sin6_addr);
        if ((ai->ai_family == AF_INET || ai->ai_family == AF_INET6) &&
            inet_ntop(ai->ai_family, a, text, sizeof text))
            found << QString::fromLatin1(text);
    }
    freeaddrinfo(list);
    return found;
}

// The longest DNS name, without its trailing dot (RFC 1035: 255 octets on the wire).
constexpr qsizetype kMaxHostName = 253;

// text as a message quotes it: cut, so that a box can wrap the line around it.
QString Quoted(const QString& text) {
    constexpr qsizetype kShown = 48;
    return QLatin1Char('"') +
           (text.size() > kShown ? text.left(kShown) + QStringLiteral("...") : text) +
           QLatin1Char('"');
}

} // namespace

bool IsAgentLiteral(const QString& text) {
    return qvsnmp::literalFamily(text) != AF_UNSPEC;
}

QString ResolveAgentAddress(const QString& text, QString* why) {
    auto fail = [why](const QString& reason) {
        if (why) *why = reason;
        return QString();
    };
    if (text.isEmpty()) return fail(QStringLiteral("no agent address was given"));
    if (IsAgentLiteral(text)) return text;
    // A host name: letters, digits, hyphens and dots (RFC 1123).
    static const QRegularExpression hostName(
        QStringLiteral("^[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?"
                       "(\\.[A-Za-z0-9]([A-Za-z0-9-]*[A-Za-z0-9])?)*\\.?$"));
    if (!hostName.match(text).hasMatch())
        return fail(
            QStringLiteral("%1 is neither an IP address nor a host name").arg(Quoted(text)));
    const qsizetype length = text.size() - (text.endsWith(QLatin1Char('.')) ? 1 : 0);
    if (length > kMaxHostName)
        return fail(QStringLiteral("the host name %1 has %2 characters; a host name has at most %3")
                        .arg(Quoted(text))
                        .arg(length)
                        .arg(kMaxHostName));
    const QStringList found =
        qvsnmp::loopbackOnly() ? hostsFileAddresses(text) : systemAddresses(text);
    QString v6;
    for (const QString& a : found) {
        const int family = qvsnmp::literalFamily(a);
        if (family == AF_INET) return a;
        if (v6.isEmpty() && family == AF_INET6) v6 = a;
    }
    if (!v6.isEmpty()) return v6;
    return fail(QStringLiteral("the host name %1 could not be resolved").arg(Quoted(text)));
}
