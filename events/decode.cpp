#include "events/decode.h"

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

Event Decode(const HandlerInput& in, int64_t receivedMs, Journal* journal) {
    Event e;
    e.receivedMs = receivedMs;
    e.sender = in.sender.empty() ? SanitizeText(Short(in.host, 64)) : in.sender;
    e.device = e.sender;

    std::string ifDescr, ifName, admin, oper, enterprise;
    std::string alarm[9]; // alarmEntry columns 1 to 8 by number
    std::string firstPayload;
    std::string lines;
    for (const Binding& b : in.bindings) {
        std::string value = SanitizeText(b.value);
        if (b.cutBytes) value += " [" + std::to_string(b.cutBytes) + " more bytes cut]";
        std::string line = (b.oid.empty() ? std::string() : b.oid + " ") + value;
        for (char& c : line)
            if (c == '\n') c = ' ';
        lines += line + "\n";
        int column = 0;
        std::string instance;
        if (b.oid == kSysUpTime)
            e.uptime = ParseUptime(b.value);
        else if (b.oid == kTrapOid)
            e.oid = b.value.size() > 1 && b.value[0] == '.' ? b.value.substr(1) : b.value;
        else if (b.oid == kTrapAddress) {
            if (IsAddress(b.value)) e.device = CanonicalAddress(b.value);
        } else if (b.oid == kTrapEnterprise)
            enterprise = b.value.size() > 1 && b.value[0] == '.' ? b.value.substr(1) : b.value;
        else if (b.oid == kTrapCommunity)
            ;
        else if (ColumnOf(b.oid, kIfEntry, column, instance)) {
            const int index = SmallNumber(instance);
            if (column == 1 && SmallNumber(b.value))
                e.ifIndex = SmallNumber(b.value);
            else if (index && instance.find('.') == std::string::npos && !e.ifIndex)
                e.ifIndex = index;
            if (column == 2)
                ifDescr = value;
            else if (column == 7)
                admin = StatusWord(b.value);
            else if (column == 8)
                oper = StatusWord(b.value);
        } else if (StartsWith(b.oid, kIfName)) {
            ifName = value;
            if (!e.ifIndex) e.ifIndex = SmallNumber(b.oid.substr(kIfName.size()));
        } else if (ColumnOf(b.oid, kAlarmEntry, column, instance) && column >= 1 && column <= 8) {
            // The sampled variable is an OID, printed with a leading dot.
            alarm[column] = value.size() > 1 && value[0] == '.' ? value.substr(1) : value;
            if (alarm[1].empty()) alarm[1] = instance;
        }
        if (firstPayload.empty() && b.oid != kSysUpTime && b.oid != kTrapOid &&
            b.oid != kTrapAddress && b.oid != kTrapCommunity && b.oid != kTrapEnterprise)
            firstPayload = Short(line, 120);
    }
    if (in.droppedBindings)
        lines += "[" + std::to_string(in.droppedBindings) + " more bindings not kept]\n";
    e.bindings = lines;
    e.oid = SanitizeText(Short(e.oid, kMaxOid));
    e.port = Short(!ifDescr.empty() ? ifDescr : ifName, 64);

    const std::string name = NotificationName(e.oid);
    e.event = name.empty() ? (e.oid.empty() ? "(no notification OID)" : e.oid) : name;
    e.severity = DefaultSeverity(e.oid);
    if (Severity chosen; journal && journal->severityFor(e.oid, chosen)) e.severity = chosen;

    const std::string port =
        e.ifIndex
            ? "port " + (e.port.empty() ? std::to_string(e.ifIndex)
                                        : e.port + " (ifIndex " + std::to_string(e.ifIndex) + ")")
            : std::string("a port");
    std::string status;
    if (!admin.empty() || !oper.empty())
        status = " (admin " + (admin.empty() ? std::string("?") : admin) + ", oper " +
                 (oper.empty() ? std::string("?") : oper) + ")";
    if (name == "coldStart")
        e.summary = "The device restarted (cold start)";
    else if (name == "warmStart")
        e.summary = "The device restarted (warm start)";
    else if (name == "linkDown")
        e.summary = "Link down on " + port + status;
    else if (name == "linkUp")
        e.summary = "Link up on " + port + status;
    else if (name == "authenticationFailure")
        e.summary = "A request with a wrong community or user reached the device";
    else if (name == "risingAlarm" || name == "fallingAlarm") {
        const bool rising = name == "risingAlarm";
        const int type = SmallNumber(alarm[4]);
        e.summary =
            std::string(rising ? "Rising" : "Falling") + " alarm " + Short(alarm[1], 12) + ": " +
            (alarm[3].empty() ? std::string("the variable") : Short(alarm[3], 48)) + " sampled " +
            (alarm[5].empty() ? std::string("?") : Short(alarm[5], 24)) +
            (type == 1 || type == 2 ? std::string(" (") + kSampleTypes[type] + ")"
                                    : std::string()) +
            ", " + (rising ? "rising" : "falling") + " threshold " +
            (alarm[rising ? 7 : 8].empty() ? std::string("?") : Short(alarm[rising ? 7 : 8], 24));
    } else if (name == "newRoot")
        e.summary = "The device became the new root of the spanning tree";
    else if (name == "topologyChange")
        e.summary = "The spanning-tree topology changed";
    else if (e.oid.empty())
        e.summary = in.bindings.empty() ? "A notification without bindings"
                                        : "A notification without snmpTrapOID.0";
    else if (!enterprise.empty() && StartsWith(e.oid, enterprise + ".0."))
        e.summary = "Enterprise-specific trap " + e.oid.substr(enterprise.size() + 3) + " of " +
                    Short(enterprise, 64) +
                    (firstPayload.empty() ? std::string() : ": " + firstPayload);
    else
        e.summary = "Notification " + Short(e.oid, 64) +
                    (firstPayload.empty() ? std::string() : ": " + firstPayload);
    e.summary = Short(SanitizeText(e.summary), 240);
    return e;
}

} // namespace events
