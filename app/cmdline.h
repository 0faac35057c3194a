// The host's command line: one string of fields "/<letter><value>", read by position.
#pragma once

#include <QString>

struct SessionParams {
    QString nValue;
    QString agentAddress;
    QString readCommunity;
    QString writeCommunity;
    int userRight = 1;
};

// Field capacities in characters. A longer value is refused: it counts as empty (so an
// over-long agent address ends the parsing and a long read community keeps the default).
inline constexpr int kCapacity[5] = {19, 15, 49, 49, 9};

// Overwrites p from the parameter string (everything after the program name, fields joined
// by blanks). A string of one character holds no value: field 1 reads as empty, and parsing
// stops there.
void ParseCommandLine(const QString& params, SessionParams& p);

// The parameter string of the process: its arguments after the program name, joined by blanks.
QString ParameterString(const QStringList& arguments);
