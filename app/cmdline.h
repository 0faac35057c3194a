// The host's command line: one string of fields "/<letter><value>", read by position.
#pragma once

#include <QString>

struct SessionParams {
    QString nValue;
    QString agentAddress;
    QString readCommunity;
    QString writeCommunity;
    int userRight = 1;
    // The letters of the fields ('I', 'R', 'W') whose value was longer than the field holds.
    QString overlong;
};

// Field capacities in characters. A longer value is refused: it counts as empty (so an
// over-long agent address ends the parsing and a long read community keeps the default) and
// its field's letter is noted in overlong. The agent field holds a host name or an IPv6 address
// as well as a dotted IPv4 address.
inline constexpr int kCapacity[5] = {19, 255, 49, 49, 9};

// Overwrites p from the parameter string (everything after the program name, fields joined
// by blanks). A string of one character holds no value: field 1 reads as empty, and parsing
// stops there.
void ParseCommandLine(const QString& params, SessionParams& p);

// The parameter string of the process: its arguments after the program name, joined by blanks.
QString ParameterString(const QStringList& arguments);

// What --help (or -h) prints: the host's command line, the environment the module reads and
// where its manual is.
const char* HelpText();

// What the module does with its first argument before anything else: --help and -h print
// HelpText, --version the name and version, both to standard output, and the program ends with
// status 0 without opening a window or a session. Anything else is the host's line (-1).
int EarlyExit(int argc, char** argv);
