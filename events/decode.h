// Notifications in words: what a handler input means as one journal event. The standard ones
// (coldStart, warmStart, linkDown, linkUp, authenticationFailure, the RMON rising and falling
// alarms, the bridge's newRoot and topologyChange, and SNMPv1 traps as snmptrapd translates
// them) are named, given a severity and summarised from their bindings; anything else keeps its
// OID and shows its first binding.
#pragma once

#include "events/journal.h"
#include "events/trapinput.h"

#include <string>

namespace events {

// The name of a notification OID ("linkDown"), empty for one this module does not know.
std::string NotificationName(const std::string& oid);
Severity DefaultSeverity(const std::string& oid);

// The event the input carries, received at receivedMs. Its severity is the journal's
// (severityFor) where it has one, else the default. Every text is sanitised and bounded.
Event Decode(const HandlerInput& in, int64_t receivedMs, Journal* journal = nullptr);

// sysUpTime as snmptrapd prints it ("0:0:04:35.31", "(27531) 0:04:35.31" or "27531") in
// hundredths of seconds; -1 when it is none of these.
int64_t ParseUptime(const std::string& text);

} // namespace events
