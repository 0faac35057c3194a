#include "panel/sectionreader.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>

#include <climits>

namespace {

constexpr qint64 kLineBuffer = 200; // one read takes at most 199 bytes

QString trimTrailing(const QString& s) {
    qsizetype n = s.size();
    while (n > 0 && (s[n - 1] == QLatin1Char(' ') || s[n - 1] == QLatin1Char('\t') || s[n - 1] == QLatin1Char('\n') ||
                     s[n - 1] == QLatin1Char('\r')))
        --n;
    return s.left(n);
}

void parseLine(const QByteArray& bytes, QHash<QString, PanelSection>& out) {
    const QString line = QString::fromUtf8(bytes);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return;
    const QString key = line.left(eq);
    const qsizetype dot = key.indexOf(QLatin1Char('.'));
    if (dot < 0)
        return;
    const QString rest = key.mid(dot + 1);
    const qsizetype dot2 = rest.indexOf(QLatin1Char('.'));
    if (dot2 < 0)
        return;
    out[key.left(dot).toCaseFolded()][trimTrailing(rest.left(dot2))][trimTrailing(rest.mid(dot2 + 1))] =
        trimTrailing(line.mid(eq + 1));
}

void parseDevice(QIODevice& in, QHash<QString, PanelSection>& out) {
    char buf[kLineBuffer];
    for (qint64 total = 0; total < PanelFile::kMaxBytes;) {
        const qint64 n = in.readLine(buf, kLineBuffer);
        if (n <= 0)
            break;
        total += n;
        parseLine(QByteArray(buf, int(n)), out);
    }
}

} // namespace

bool PanelFile::read(const QString& path) {
    m_sections.clear();
    // Only a regular file: a FIFO would block the opening for ever, a device never end.
    if (!QFileInfo(path).isFile())
        return false;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return false;
    parseDevice(f, m_sections);
    return true;
}

void PanelFile::parse(const QByteArray& text) {
    m_sections.clear();
    QByteArray copy = text;
    QBuffer b(&copy);
    b.open(QIODevice::ReadOnly);
    parseDevice(b, m_sections);
}

PanelSection ReadPanelSection(const QString& path, const QString& section) {
    PanelFile f;
    f.read(path);
    return f.section(section);
}

int PanelNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || (text[i] >= QLatin1Char('\t') && text[i] <= QLatin1Char('\r'))))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        negative = text[i++] == QLatin1Char('-');
    long long v = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i)
        v = std::min<long long>(v * 10 + (text[i].unicode() - '0'), (long long)INT_MAX + 1);
    v = negative ? -v : v;
    return int(std::clamp<long long>(v, INT_MIN, INT_MAX));
}
