#include "qvsnmp/address.h"

#include <QFile>
#include <QRegularExpression>

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

namespace {

bool isIpv4(const QByteArray& text) {
    in_addr a;
    return inet_pton(AF_INET, text.constData(), &a) == 1;
}

bool isIpv6(const QByteArray& text) {
    in6_addr a;
    return inet_pton(AF_INET6, text.constData(), &a) == 1;
}

// The hosts file's addresses for name, in the file's order.
QStringList hostsFileAddresses(const QString& name) {
    QFile f(QStringLiteral("/etc/hosts"));
    QStringList found;
    if (!f.open(QIODevice::ReadOnly))
        return found;
    while (!f.atEnd()) {
        QString line = QString::fromLocal8Bit(f.readLine());
        if (const qsizetype hash = line.indexOf(QLatin1Char('#')); hash >= 0)
            line.truncate(hash);
        const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        for (qsizetype i = 1; i < words.size(); ++i)
            if (words[i].compare(name, Qt::CaseInsensitive) == 0)
                found << words[0];
    }
    return found;
}

QStringList systemAddresses(const QString& name) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_DGRAM;
    addrinfo* list = nullptr;
    QStringList found;
    if (getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &list) != 0)
        return found;
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
    const QByteArray t = text.toLatin1();
    return text == QString::fromLatin1(t) && (isIpv4(t) || isIpv6(t));
}

QString ResolveAgentAddress(const QString& text, QString* why) {
    auto fail = [why](const QString& reason) {
        if (why)
            *why = reason;
        return QString();
    };
    if (text.isEmpty())
        return fail(QStringLiteral("no agent address was given"));
    if (IsAgentLiteral(text))
        return text;
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
    const bool loopbackOnly = qEnvironmentVariableIntValue("TALVEX_LOOPBACK_ONLY") != 0;
    const QStringList found = loopbackOnly ? hostsFileAddresses(text) : systemAddresses(text);
    QString v6;
    for (const QString& a : found) {
        const QByteArray t = a.toLatin1();
        if (isIpv4(t))
            return a;
        if (v6.isEmpty() && isIpv6(t))
            v6 = a;
    }
    if (!v6.isEmpty())
        return v6;
    return fail(QStringLiteral("the host name %1 could not be resolved").arg(Quoted(text)));
}
