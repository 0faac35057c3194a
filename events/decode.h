// Notifications in words: what a handler input means as one journal event. The standard ones
// (coldStart, warmStart, linkDown, linkUp, authenticationFailure, the RMON rising and falling
// alarms, the bridge's newRoot and topologyChange, and SNMPv1 traps as snmptrapd translates
// them) are named, given a severity and summarised from their bindings; anything else keeps its
// OID and shows its first binding.
#pragma once

#include "events/journal.h"
#include "events/trapinput.h"

#include <string>
#include <string_view>

namespace events {

// The name of a notification OID ("linkDown"), empty for one this module does not know.
std::string NotificationName(const std::string& oid);
Severity DefaultSeverity(const std::string& oid);

// The event the input carries, received at receivedMs. Its severity is the journal's
// (severityFor) where it has one, else the default. Every text is sanitised and bounded.
Event Decode(const HandlerInput& in, int64_t receivedMs, Journal* journal = nullptr);

// The name of an object this module knows, with its instance ("ifAdminStatus.5",
// "snmpTrapOID.0"); empty for any other OID.
std::string ObjectName(const std::string& oid);

// Bindings as the journal keeps them (one "OID value" a line) for a reader: each line with the
// name of its object in front when it is known, and a value that is a known OID named after it.
std::string NamedBindings(const std::string& lines);

// text with every bidirectional and invisible format character (U+202E, U+200B, U+2066, ...)
// written as "<U+202E>": a value from the network may not reorder or hide what a reader sees.
std::string EscapeFormatCharacters(const std::string& text);
// Text from the network, or from a journal anyone in the group may write, as it is kept and
// shown: SanitizeText, then EscapeFormatCharacters.
std::string CleanText(std::string_view text);

// sysUpTime as snmptrapd prints it ("0:0:04:35.31", "(27531) 0:04:35.31" or "27531") in
// hundredths of seconds; -1 when it is none of these.
int64_t ParseUptime(const std::string& text);

} // namespace events
