// The session parameters as the module starts: the defaults, then the host's command line, with
// the agent address resolved once.
#pragma once

#include <QString>

// Fills the session parameters from parameterString (see ParseCommandLine). What cannot be used
// is said once, in a plain OK box: an agent address that is neither an address nor a host name
// that resolves (the module runs on, every request failing as one the device does not answer),
// or a community longer than its field holds. For the latter the result is false and the
// module must end with a non-zero status: it never talks with a community the operator did not
// give.
bool SetupSession(const QString& parameterString);

// Exit status of a module that refused its command line.
inline constexpr int kRefusedCommandLine = 2;
