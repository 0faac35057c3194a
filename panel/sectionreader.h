// The panel description file: lines "section.object.property=value", read one section at a
// time. There are no comments and no bracketed headers; a line that does not fit is skipped.
#pragma once

#include <QHash>
#include <QMap>
#include <QString>

// object name -> (property name -> value)
using PanelSection = QMap<QString, QMap<QString, QString>>;

// Every section of a file, parsed once: the loader asks for many sections of one file.
class PanelFile {
public:
    // What is read of a file at most; the rest is ignored. A chassis takes a few hundred
    // kilobytes.
    static constexpr qint64 kMaxBytes = 4 * 1024 * 1024;

    // Lines are read in pieces of at most 199 bytes, each piece parsed as a line of its own;
    // later lines win. False when path names no regular file or it cannot be opened (then
    // every section is empty).
    bool read(const QString& path);
    void parse(const QByteArray& text);
    // The lines of section, its name compared ignoring case.
    PanelSection section(const QString& name) const { return m_sections.value(name.toCaseFolded()); }

private:
    QHash<QString, PanelSection> m_sections; // by case-folded section name
};

PanelSection ReadPanelSection(const QString& path, const QString& section);

// The C library's decimal conversion: leading whitespace and a sign, digits up to the first
// other character; no digits give 0. Values beyond int are clamped.
int PanelNumber(const QString& text);
