#include "events/decode.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace events {

namespace {

struct Known {
    const char* oid;
    const char* name;
    Severity severity;
};

const Known kKnown[] = {
    {"1.3.6.1.6.3.1.1.5.1", "coldStart", Severity::Minor},
    {"1.3.6.1.6.3.1.1.5.2", "warmStart", Severity::Minor},
    {"1.3.6.1.6.3.1.1.5.3", "linkDown", Severity::Major},
    {"1.3.6.1.6.3.1.1.5.4", "linkUp", Severity::Information},
    {"1.3.6.1.6.3.1.1.5.5", "authenticationFailure", Severity::Minor},
    {"1.3.6.1.2.1.16.0.1", "risingAlarm", Severity::Major},
    {"1.3.6.1.2.1.16.0.2", "fallingAlarm", Severity::Information},
    {"1.3.6.1.2.1.17.0.1", "newRoot", Severity::Minor},
    {"1.3.6.1.2.1.17.0.2", "topologyChange", Severity::Information},
};

// Objects the bindings of these notifications carry, by the OID of the object (a column or a
// scalar, without its instance).
struct Object {
    const char* oid;
    const char* name;
};

const Object kObjects[] = {
    {"1.3.6.1.2.1.1.1", "sysDescr"},
    {"1.3.6.1.2.1.1.2", "sysObjectID"},
    {"1.3.6.1.2.1.1.3", "sysUpTime"},
    {"1.3.6.1.2.1.1.4", "sysContact"},
    {"1.3.6.1.2.1.1.5", "sysName"},
    {"1.3.6.1.2.1.1.6", "sysLocation"},
    {"1.3.6.1.2.1.2.2.1.1", "ifIndex"},
    {"1.3.6.1.2.1.2.2.1.2", "ifDescr"},
    {"1.3.6.1.2.1.2.2.1.3", "ifType"},
    {"1.3.6.1.2.1.2.2.1.4", "ifMtu"},
    {"1.3.6.1.2.1.2.2.1.5", "ifSpeed"},
    {"1.3.6.1.2.1.2.2.1.6", "ifPhysAddress"},
    {"1.3.6.1.2.1.2.2.1.7", "ifAdminStatus"},
    {"1.3.6.1.2.1.2.2.1.8", "ifOperStatus"},
    {"1.3.6.1.2.1.2.2.1.9", "ifLastChange"},
    {"1.3.6.1.2.1.2.2.1.10", "ifInOctets"},
    {"1.3.6.1.2.1.2.2.1.11", "ifInUcastPkts"},
    {"1.3.6.1.2.1.2.2.1.12", "ifInNUcastPkts"},
    {"1.3.6.1.2.1.2.2.1.13", "ifInDiscards"},
    {"1.3.6.1.2.1.2.2.1.14", "ifInErrors"},
    {"1.3.6.1.2.1.2.2.1.15", "ifInUnknownProtos"},
    {"1.3.6.1.2.1.2.2.1.16", "ifOutOctets"},
    {"1.3.6.1.2.1.2.2.1.17", "ifOutUcastPkts"},
    {"1.3.6.1.2.1.2.2.1.18", "ifOutNUcastPkts"},
    {"1.3.6.1.2.1.2.2.1.19", "ifOutDiscards"},
    {"1.3.6.1.2.1.2.2.1.20", "ifOutErrors"},
    {"1.3.6.1.2.1.2.2.1.21", "ifOutQLen"},
    {"1.3.6.1.2.1.31.1.1.1.1", "ifName"},
    {"1.3.6.1.2.1.31.1.1.1.15", "ifHighSpeed"},
    {"1.3.6.1.2.1.31.1.1.1.18", "ifAlias"},
    {"1.3.6.1.6.3.1.1.4.1", "snmpTrapOID"},
    {"1.3.6.1.6.3.1.1.4.3", "snmpTrapEnterprise"},
    {"1.3.6.1.6.3.18.1.3", "snmpTrapAddress"},
    {"1.3.6.1.6.3.18.1.4", "snmpTrapCommunity"},
    {"1.3.6.1.2.1.16.1.1.1.1", "etherStatsIndex"},
    {"1.3.6.1.2.1.16.1.1.1.2", "etherStatsDataSource"},
    {"1.3.6.1.2.1.16.1.1.1.3", "etherStatsDropEvents"},
    {"1.3.6.1.2.1.16.1.1.1.4", "etherStatsOctets"},
    {"1.3.6.1.2.1.16.1.1.1.5", "etherStatsPkts"},
    {"1.3.6.1.2.1.16.1.1.1.6", "etherStatsBroadcastPkts"},
    {"1.3.6.1.2.1.16.1.1.1.7", "etherStatsMulticastPkts"},
    {"1.3.6.1.2.1.16.1.1.1.8", "etherStatsCRCAlignErrors"},
    {"1.3.6.1.2.1.16.1.1.1.9", "etherStatsUndersizePkts"},
    {"1.3.6.1.2.1.16.1.1.1.10", "etherStatsOversizePkts"},
    {"1.3.6.1.2.1.16.1.1.1.11", "etherStatsFragments"},
    {"1.3.6.1.2.1.16.1.1.1.12", "etherStatsJabbers"},
    {"1.3.6.1.2.1.16.1.1.1.13", "etherStatsCollisions"},
    {"1.3.6.1.2.1.16.3.1.1.1", "alarmIndex"},
    {"1.3.6.1.2.1.16.3.1.1.2", "alarmInterval"},
    {"1.3.6.1.2.1.16.3.1.1.3", "alarmVariable"},
    {"1.3.6.1.2.1.16.3.1.1.4", "alarmSampleType"},
    {"1.3.6.1.2.1.16.3.1.1.5", "alarmValue"},
    {"1.3.6.1.2.1.16.3.1.1.6", "alarmStartupAlarm"},
    {"1.3.6.1.2.1.16.3.1.1.7", "alarmRisingThreshold"},
    {"1.3.6.1.2.1.16.3.1.1.8", "alarmFallingThreshold"},
    {"1.3.6.1.2.1.16.3.1.1.9", "alarmRisingEventIndex"},
    {"1.3.6.1.2.1.16.3.1.1.10", "alarmFallingEventIndex"},
    {"1.3.6.1.2.1.16.3.1.1.11", "alarmOwner"},
    {"1.3.6.1.2.1.16.3.1.1.12", "alarmStatus"},
    {"1.3.6.1.2.1.17.1.1", "dot1dBaseBridgeAddress"},
    {"1.3.6.1.2.1.17.1.2", "dot1dBaseNumPorts"},
    {"1.3.6.1.2.1.17.2.2", "dot1dStpPriority"},
    {"1.3.6.1.2.1.17.2.3", "dot1dStpTimeSinceTopologyChange"},
    {"1.3.6.1.2.1.17.2.4", "dot1dStpTopChanges"},
    {"1.3.6.1.2.1.17.2.5", "dot1dStpDesignatedRoot"},
    {"1.3.6.1.2.1.17.2.6", "dot1dStpRootCost"},
    {"1.3.6.1.2.1.17.2.7", "dot1dStpRootPort"},
    {"1.3.6.1.2.1.17.2.15.1.1", "dot1dStpPort"},
    {"1.3.6.1.2.1.17.2.15.1.2", "dot1dStpPortPriority"},
    {"1.3.6.1.2.1.17.2.15.1.3", "dot1dStpPortState"},
    {"1.3.6.1.2.1.17.2.15.1.4", "dot1dStpPortEnable"},
    {"1.3.6.1.2.1.17.2.15.1.5", "dot1dStpPortPathCost"},
    {"1.3.6.1.2.1.17.2.15.1.6", "dot1dStpPortDesignatedRoot"},
    {"1.3.6.1.2.1.17.2.15.1.8", "dot1dStpPortDesignatedBridge"},
    {"1.3.6.1.2.1.17.2.15.1.10", "dot1dStpPortForwardTransitions"},
};

// Format characters a renderer acts on without showing them: the bidirectional marks, embeddings,
// overrides and isolates, the zero-width characters, the line and paragraph separators, the
// byte order mark, the interlinear annotations and the tags.
bool IsFormatCharacter(uint32_t cp) {
    return cp == 0xAD || cp == 0x61C || cp == 0x180E || (cp >= 0x200B && cp <= 0x200F) ||
           (cp >= 0x2028 && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x2064) ||
           (cp >= 0x2066 && cp <= 0x206F) || cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB) ||
           cp == 0xE0001 || (cp >= 0xE0020 && cp <= 0xE007F);
}

const std::string kSysUpTime = "1.3.6.1.2.1.1.3.0";
const std::string kTrapOid = "1.3.6.1.6.3.1.1.4.1.0";
const std::string kTrapEnterprise = "1.3.6.1.6.3.1.1.4.3.0";
const std::string kTrapAddress = "1.3.6.1.6.3.18.1.3.0";
const std::string kTrapCommunity = "1.3.6.1.6.3.18.1.4.0";
const std::string kIfEntry = "1.3.6.1.2.1.2.2.1.";
const std::string kIfName = "1.3.6.1.2.1.31.1.1.1.1.";
const std::string kAlarmEntry = "1.3.6.1.2.1.16.3.1.1.";

bool StartsWith(const std::string& s, const std::string& prefix) {
    return s.compare(0, prefix.size(), prefix) == 0;
}

// The column and instance of oid under entry ("7.5" under ifEntry: column 7, instance "5").
bool ColumnOf(const std::string& oid, const std::string& entry, int& column,
              std::string& instance) {
    if (!StartsWith(oid, entry)) return false;
    const std::string rest = oid.substr(entry.size());
    const size_t dot = rest.find('.');
    if (dot == std::string::npos || dot == 0 || dot > 4) return false;
    column = std::atoi(rest.substr(0, dot).c_str());
    instance = rest.substr(dot + 1);
    return true;
}

int SmallNumber(const std::string& text) {
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    return end != text.c_str() && v > 0 && v <= 0x7FFFFFFF ? int(v) : 0;
}

// A value as one short line of a summary.
std::string Short(std::string v, size_t max = 64) {
    for (char& c : v)
        if (c == '\n' || c == '\t') c = ' ';
    if (v.size() > max) {
        v.resize(max);
        while (!v.empty() && (static_cast<unsigned char>(v.back()) & 0xC0) == 0x80)
            v.pop_back();
        if (!v.empty() && static_cast<unsigned char>(v.back()) >= 0xC0) v.pop_back();
        v += "...";
    }
    return v;
}

bool IsOid(const std::string& s) {
    return s.size() >= 3 && s.size() <= kMaxOid && std::isdigit(static_cast<unsigned char>(s[0])) &&
           std::isdigit(static_cast<unsigned char>(s.back())) && s.find('.') != std::string::npos &&
           s.find_first_not_of("0123456789.") == std::string::npos &&
           s.find("..") == std::string::npos;
}

std::string StatusWord(const std::string& v) {
    if (v == "1" || v.find("up") == 0) return "up";
    if (v == "2" || v.find("down") == 0) return "down";
    if (v == "3" || v.find("testing") == 0) return "testing";
    return Short(v, 16);
}

const char* const kSampleTypes[] = {"", "absolute", "delta"};

} // namespace

std::string NotificationName(const std::string& oid) {
    for (const Known& k : kKnown)
        if (oid == k.oid) return k.name;
    return {};
}

Severity DefaultSeverity(const std::string& oid) {
    for (const Known& k : kKnown)
        if (oid == k.oid) return k.severity;
    return Severity::Information;
}

std::string ObjectName(const std::string& oid) {
    const Object* best = nullptr;
    size_t bestLength = 0;
    for (const Object& o : kObjects) {
        const size_t n = std::char_traits<char>::length(o.oid);
        if (n > bestLength && oid.size() > n + 1 && oid[n] == '.' &&
            oid.compare(0, n, o.oid) == 0) {
            best = &o;
            bestLength = n;
        }
    }
    return best ? best->name + oid.substr(bestLength) : std::string();
}

std::string NamedBindings(const std::string& lines) {
    // Wide enough for the longest name with an instance of a few numbers; the OID column after
    // it starts at one place on every line in a font of fixed pitch.
    constexpr size_t kNameWidth = 26;
    std::string out;
    for (size_t start = 0; start < lines.size();) {
        size_t end = lines.find('\n', start);
        if (end == std::string::npos) end = lines.size();
        const std::string line = lines.substr(start, end - start);
        start = end + 1;
        const size_t blank = line.find(' ');
        const std::string oid = line.substr(0, blank);
        if (!IsOid(oid)) {
            out += std::string(kNameWidth, ' ') + line + "\n";
            continue;
        }
        const std::string value =
            blank == std::string::npos ? std::string() : line.substr(blank + 1);
        std::string name = ObjectName(oid);
        name.resize(std::max(name.size() + 1, kNameWidth), ' ');
        // A value that is an OID is printed with a leading dot.
        const std::string valueOid = value.size() > 1 && value[0] == '.' ? value.substr(1) : value;
        std::string valueName =
            IsOid(valueOid) ? (NotificationName(valueOid).empty() ? ObjectName(valueOid)
                                                                  : NotificationName(valueOid))
                            : std::string();
        const std::string object = ObjectName(oid);
        if (valueName.empty() &&
            (object.rfind("ifAdminStatus.", 0) == 0 || object.rfind("ifOperStatus.", 0) == 0)) {
            const std::string word = StatusWord(value);
            if (word != value) valueName = word;
        }
        out += name + line + (valueName.empty() ? std::string() : " (" + valueName + ")") + "\n";
    }
    return out;
}

std::string EscapeFormatCharacters(const std::string& text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const auto b = static_cast<unsigned char>(text[i]);
        const size_t len = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        uint32_t cp = len == 1 ? b : len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
        bool whole = i + len <= text.size();
        for (size_t k = 1; whole && k < len; ++k) {
            const auto cb = static_cast<unsigned char>(text[i + k]);
            whole = (cb & 0xC0) == 0x80;
            cp = (cp << 6) | (cb & 0x3F);
        }
        if (len > 1 && whole && IsFormatCharacter(cp)) {
            out += "<U+";
            for (int shift = cp > 0xFFFF ? 16 : 12; shift >= 0; shift -= 4)
                out += kHex[(cp >> shift) & 0xF];
            out += '>';
            i += len;
        } else {
            // Anything else, a broken sequence too, goes through as it is, a byte at a time.
            out += text[i++];
        }
    }
    return out;
}

std::string CleanText(std::string_view text) {
    return EscapeFormatCharacters(SanitizeText(text));
}

int64_t ParseUptime(const std::string& text) {
    std::string t = text;
    if (const size_t open = t.find('('); open != std::string::npos) {
        const size_t close = t.find(')', open);
        if (close == std::string::npos) return -1;
        t = t.substr(open + 1, close - open - 1);
    }
    if (t.empty() || t.size() > 24) return -1;
    if (t.find_first_not_of("0123456789") == std::string::npos)
        return std::strtoll(t.c_str(), nullptr, 10);
    // days:hours:minutes:seconds.hundredths, the leading fields optional
    int64_t fields[4] = {};
    int n = 0;
    int64_t hundredths = 0;
    size_t i = 0;
    while (i <= t.size() && n < 4) {
        const size_t end = t.find_first_of(":.", i);
        const std::string part =
            t.substr(i, end == std::string::npos ? std::string::npos : end - i);
        if (part.empty() || part.size() > 9 ||
            part.find_first_not_of("0123456789") != std::string::npos)
            return -1;
        fields[n++] = std::strtoll(part.c_str(), nullptr, 10);
        if (end == std::string::npos) break;
        if (t[end] == '.') {
            const std::string frac = t.substr(end + 1);
            if (frac.empty() || frac.size() > 2 ||
                frac.find_first_not_of("0123456789") != std::string::npos)
                return -1;
            hundredths = std::strtoll(frac.c_str(), nullptr, 10) * (frac.size() == 1 ? 10 : 1);
            break;
        }
        i = end + 1;
    }
    // The first field of four is days, of three hours, of two minutes.
    const int64_t scale[4] = {86400, 3600, 60, 1};
    int64_t seconds = 0;
    for (int k = 0; k < n; ++k)
        seconds += fields[k] * scale[4 - n + k];
    return seconds * 100 + hundredths;
}

namespace {

// What the bindings of one notification tell beyond the event's own fields, for its summary.
struct Told {
    std::string ifDescr, ifName, admin, oper, enterprise;
    std::string alarm[9]; // alarmEntry columns 1 to 8 by number
    std::string firstPayload;
    std::string lines; // the bindings as the event keeps them, a line each
};

// Reads the bindings: the uptime, the notification's OID, the device and the ifIndex go into e,
// the rest into what is returned.
Told ReadBindings(const HandlerInput& in, Event& e) {
    Told t;
    for (const Binding& b : in.bindings) {
        std::string value = CleanText(b.value);
        if (b.cutBytes) value += " [" + std::to_string(b.cutBytes) + " more bytes cut]";
        std::string line = (b.oid.empty() ? std::string() : b.oid + " ") + value;
        for (char& c : line)
            if (c == '\n') c = ' ';
        t.lines += line + "\n";
        int column = 0;
        std::string instance;
        if (b.oid == kSysUpTime)
            e.uptime = ParseUptime(b.value);
        else if (b.oid == kTrapOid)
            e.oid = b.value.size() > 1 && b.value[0] == '.' ? b.value.substr(1) : b.value;
        else if (b.oid == kTrapAddress) {
            if (IsAddress(b.value)) e.device = CanonicalAddress(b.value);
        } else if (b.oid == kTrapEnterprise)
            t.enterprise = b.value.size() > 1 && b.value[0] == '.' ? b.value.substr(1) : b.value;
        else if (b.oid == kTrapCommunity)
            ;
        else if (ColumnOf(b.oid, kIfEntry, column, instance)) {
            const int index = SmallNumber(instance);
            if (column == 1 && SmallNumber(b.value))
                e.ifIndex = SmallNumber(b.value);
            else if (index && instance.find('.') == std::string::npos && !e.ifIndex)
                e.ifIndex = index;
            if (column == 2)
                t.ifDescr = value;
            else if (column == 7)
                t.admin = StatusWord(b.value);
            else if (column == 8)
                t.oper = StatusWord(b.value);
        } else if (StartsWith(b.oid, kIfName)) {
            t.ifName = value;
            if (!e.ifIndex) e.ifIndex = SmallNumber(b.oid.substr(kIfName.size()));
        } else if (ColumnOf(b.oid, kAlarmEntry, column, instance) && column >= 1 && column <= 8) {
            // The sampled variable is an OID, printed with a leading dot.
            t.alarm[column] = value.size() > 1 && value[0] == '.' ? value.substr(1) : value;
            if (t.alarm[1].empty()) t.alarm[1] = instance;
        }
        if (t.firstPayload.empty() && b.oid != kSysUpTime && b.oid != kTrapOid &&
            b.oid != kTrapAddress && b.oid != kTrapCommunity && b.oid != kTrapEnterprise)
            t.firstPayload = Short(line, 120);
    }
    return t;
}

std::string AlarmSummary(bool rising, const std::string (&alarm)[9]) {
    const int type = SmallNumber(alarm[4]);
    return std::string(rising ? "Rising" : "Falling") + " alarm " + Short(alarm[1], 12) + ": " +
           (alarm[3].empty() ? std::string("the variable") : Short(alarm[3], 48)) + " sampled " +
           (alarm[5].empty() ? std::string("?") : Short(alarm[5], 24)) +
           (type == 1 || type == 2 ? std::string(" (") + kSampleTypes[type] + ")" : std::string()) +
           ", " + (rising ? "rising" : "falling") + " threshold " +
           (alarm[rising ? 7 : 8].empty() ? std::string("?") : Short(alarm[rising ? 7 : 8], 24));
}

// The event's one line for the operator, by the notification's name (empty for one not known).
std::string Summary(const std::string& name, const Event& e, const Told& t, bool noBindings) {
    const std::string port =
        e.ifIndex
            ? "port " + (e.port.empty() ? std::to_string(e.ifIndex)
                                        : e.port + " (ifIndex " + std::to_string(e.ifIndex) + ")")
            : std::string("a port");
    std::string status;
    if (!t.admin.empty() || !t.oper.empty())
        status = " (admin " + (t.admin.empty() ? std::string("?") : t.admin) + ", oper " +
                 (t.oper.empty() ? std::string("?") : t.oper) + ")";
    if (name == "coldStart") return "The device restarted (cold start)";
    if (name == "warmStart") return "The device restarted (warm start)";
    if (name == "linkDown") return "Link down on " + port + status;
    if (name == "linkUp") return "Link up on " + port + status;
    if (name == "authenticationFailure")
        return "A request with a wrong community or user reached the device";
    if (name == "risingAlarm" || name == "fallingAlarm")
        return AlarmSummary(name == "risingAlarm", t.alarm);
    if (name == "newRoot") return "The device became the new root of the spanning tree";
    if (name == "topologyChange") return "The spanning-tree topology changed";
    if (e.oid.empty())
        return noBindings ? "A notification without bindings"
                          : "A notification without snmpTrapOID.0";
    const std::string payload = t.firstPayload.empty() ? std::string() : ": " + t.firstPayload;
    if (!t.enterprise.empty() && StartsWith(e.oid, t.enterprise + ".0."))
        return "Enterprise-specific trap " + e.oid.substr(t.enterprise.size() + 3) + " of " +
               Short(t.enterprise, 64) + payload;
    return "Notification " + Short(e.oid, 64) + payload;
}

} // namespace

Event Decode(const HandlerInput& in, int64_t receivedMs, Journal* journal) {
    Event e;
    e.receivedMs = receivedMs;
    e.sender = in.sender.empty() ? CleanText(Short(in.host, 64)) : in.sender;
    e.device = e.sender;

    Told told = ReadBindings(in, e);
    if (in.droppedBindings)
        told.lines += "[" + std::to_string(in.droppedBindings) + " more bindings not kept]\n";
    e.bindings = told.lines;
    e.oid = CleanText(Short(e.oid, kMaxOid));
    e.port = Short(!told.ifDescr.empty() ? told.ifDescr : told.ifName, 64);

    const std::string name = NotificationName(e.oid);
    e.event = name.empty() ? (e.oid.empty() ? "(no notification OID)" : e.oid) : name;
    e.severity = DefaultSeverity(e.oid);
    if (Severity chosen; journal && journal->severityFor(e.oid, chosen)) e.severity = chosen;
    e.summary = Short(CleanText(Summary(name, e, told, in.bindings.empty())), 240);
    return e;
}

} // namespace events
