#include "app/cmdline.h"

#include <QStringList>

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
