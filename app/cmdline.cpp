#include "app/cmdline.h"

#include <QStringList>

#include <cstdio>
#include <cstring>

namespace {

// Reads the value at p up to the next slash or the end, dropping blanks; p is left on that
// slash or the end.
QString readValue(const QString& s, qsizetype& p) {
    QString v;
    while (p < s.size() && s[p] != QLatin1Char('/')) {
        if (s[p] != QLatin1Char(' '))
            v += s[p];
        ++p;
    }
    return v;
}

QString field(const QString& s, qsizetype& p, int index, SessionParams& out) {
    QString v = readValue(s, p);
    if (v.size() <= kCapacity[index])
        return v;
    if (index >= 1 && index <= 3)
        out.overlong += QLatin1Char("NIRWU"[index]);
    return QString();
}

} // namespace

void ParseCommandLine(const QString& s, SessionParams& out) {
    if (s.isEmpty())
        return;
    qsizetype p = 2;
    out.nValue = field(s, p, 0, out);
    if (p >= s.size() || !s.contains(QLatin1String("/I")))
        return;
    p += 2;
    out.agentAddress = field(s, p, 1, out);
    if (out.agentAddress.isEmpty())
        return;
    for (int i = 2; i < 5; ++i) {
        if (p >= s.size())
            return;
        p += 2;
        QString v = field(s, p, i, out);
        if (i == 2 && !v.isEmpty())
            out.readCommunity = v;
        else if (i == 3 && !v.isEmpty())
            out.writeCommunity = v;
        else if (i == 4)
            out.userRight = v == QLatin1String("TRUE") || v == QLatin1String("true") ? 1 : 0;
    }
}

QString ParameterString(const QStringList& arguments) {
    return arguments.mid(1).join(QLatin1Char(' '));
}

const char* HelpText() {
    return "usage: talvex [/Nname] [/Iaddress [/Rread-community [/Wwrite-community [/Uright]]]]\n"
           "       talvex --help | -h | --version\n"
           "The management suite starts one module per device. The fields are read by position:\n"
           "  /N  the device's name, handed on to the OSPF tool (at most 19 characters)\n"
           "  /I  the agent: IPv4 or IPv6 address or host name (127.0.0.1); without /I nothing\n"
           "      after /N is read\n"
           "  /R  the read community (orchid; at most 49 characters)\n"
           "  /W  the write community (saffron; at most 49 characters)\n"
           "  /U  TRUE or true: the right to change the device; anything else: look only\n"
           "      (granted when the field is absent)\n"
           "Environment:\n"
           "  TALVEX_AGENT_PORT     the agent's UDP port (161)\n"
           "  TALVEX_SYSTEM_DIR     the panel description file Talvex.properties and its bitmaps\n"
           "                        (../share/talvex beside the program)\n"
           "  TALVEX_SNAPSHOT       a PNG file: write the live panel there and end, unattended\n"
           "  TALVEX_EVENTS         the event journal (/var/lib/talvex/events.sqlite)\n"
           "  RRDCACHED_ADDRESS     where the traffic history is read through rrdcached\n"
           "  TALVEX_COLLECT_CONF   the collector's configuration (/etc/talvex/collect.conf),\n"
           "                        which says where the traffic history lies\n"
           "  XDG_CONFIG_HOME       holds talvex/snmp.conf, the SNMPv3 credentials (~/.config)\n"
           "  TALVEX_LOOPBACK_ONLY  1: end rather than talk to an address outside loopback\n"
           "The manual: man talvex (talvex(1)).\n";
}

int EarlyExit(int argc, char** argv) {
    if (argc < 2) return -1;
    const char* first = argv[1];
    if (!std::strcmp(first, "--help") || !std::strcmp(first, "-h")) {
        std::fputs(HelpText(), stdout);
        return 0;
    }
    if (!std::strcmp(first, "--version")) {
        std::printf("talvex %s\n", TALVEX_VERSION);
        return 0;
    }
    return -1;
}
