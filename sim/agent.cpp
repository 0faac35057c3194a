#include "sim/agent.h"

#include "sim/notify.h"

#include "qvsnmp/v3msg.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>

namespace sim {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int) {
    g_stop = 1;
}

uint64_t nowMs() {
    using namespace std::chrono;
    return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// v2c error statuses as SNMPv1 knows them (RFC 3584, 4.4).
int32_t toV1(int32_t status) {
    switch (status) {
    case ber::NoError:
    case ber::TooBig:
    case ber::NoSuchName:
    case ber::BadValue:
    case ber::ReadOnly:
    case ber::GenErr:
        return status;
    case ber::WrongType:
    case ber::WrongLength:
    case ber::WrongEncoding:
    case ber::WrongValue:
    case ber::InconsistentValue:
        return ber::BadValue;
    case ber::NoAccess:
    case ber::NotWritable:
    case ber::NoCreation:
    case ber::InconsistentName:
    case ber::AuthorizationError:
        return ber::NoSuchName;
    default:
        return ber::GenErr;
    }
}

bool parseNumber(std::string_view text, int64_t lo, int64_t hi, int64_t& out) {
    int64_t v = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
        return false;
    out = v;
    return true;
}

// The next word of a command as a whole number from lo to hi.
bool readNumber(std::istream& in, int64_t lo, int64_t hi, int64_t& out) {
    std::string word;
    return (in >> word) && parseNumber(word, lo, hi, out);
}

// A value of the put command; the reason when the text does not fit its type, rather than a
// value cut to fit.
std::string parseValue(const std::string& type, std::string text, ber::Value& out) {
    if (type == "s") {
        out = ber::Value::makeOctets(std::move(text));
        return {};
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
        text.pop_back();
    int64_t n = 0;
    if (type == "i") {
        if (!parseNumber(text, INT32_MIN, INT32_MAX, n))
            return "an INTEGER is a whole number from -2147483648 to 2147483647";
        out = ber::Value::makeInteger(int32_t(n));
    } else if (type == "u" || type == "g" || type == "c" || type == "t") {
        if (!parseNumber(text, 0, UINT32_MAX, n))
            return "a Gauge32, Counter32 or TimeTicks is a whole number from 0 to 4294967295";
        const uint8_t tag = type == "c"   ? ber::Counter32
                            : type == "t" ? ber::TimeTicks
                                          : ber::Gauge32;
        out = ber::Value::makeUnsigned(tag, uint64_t(n));
    } else if (type == "x") {
        std::string bytes;
        if (!ParseHexOctets(text, bytes))
            return "hex octets are pairs of hex digits";
        out = ber::Value::makeOctets(std::move(bytes));
    } else if (type == "o") {
        ber::Oid oid;
        if (!ber::parseOid(text, oid))
            return "not an OBJECT IDENTIFIER";
        out = ber::Value::makeOid(std::move(oid));
    } else if (type == "a") {
        in_addr a;
        if (inet_pton(AF_INET, text.c_str(), &a) != 1)
            return "an IpAddress is a dotted quad";
        out = ber::Value::makeOctets(std::string(reinterpret_cast<char*>(&a), 4), ber::IpAddress);
    } else {
        return "TYPE is one of i u c t s x o a";
    }
    return {};
}

} // namespace

bool ParseDelayRange(const std::string& text, int& least, int& most) {
    const size_t dash = text.find('-');
    int64_t lo = 0, hi = 0;
    if (!parseNumber(text.substr(0, dash), 0, kMaxDelayMs, lo)) return false;
    hi = lo;
    if (dash != std::string::npos && !parseNumber(text.substr(dash + 1), lo, kMaxDelayMs, hi))
        return false;
    least = int(lo);
    most = int(hi);
    return true;
}

bool ParseHexOctets(const std::string& text, std::string& out) {
    auto hex = [](char c) { return std::isxdigit(uint8_t(c)) != 0; };
    if (text.size() % 2 || !std::all_of(text.begin(), text.end(), hex))
        return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2)
        out.push_back(char(std::stoi(text.substr(i, 2), nullptr, 16)));
    return true;
}

Agent::Agent(AgentOptions opt, Chassis& chassis, Mib& mib)
    : m_opt(std::move(opt)), m_chassis(chassis), m_mib(mib), m_engineStartMs(nowMs()) {
    for (const SimUser& u : m_opt.users)
        m_keyed.push_back({&u, usm::localizedKeys(u.user, m_opt.engineId)});
}

Agent::~Agent() {
    if (m_fd >= 0)
        ::close(m_fd);
}

bool Agent::open() {
    sockaddr_storage addr{};
    socklen_t addrLen = 0;
    auto& v4 = reinterpret_cast<sockaddr_in&>(addr);
    auto& v6 = reinterpret_cast<sockaddr_in6&>(addr);
    if (inet_pton(AF_INET, m_opt.address.c_str(), &v4.sin_addr) == 1) {
        v4.sin_family = AF_INET;
        v4.sin_port = htons(m_opt.port);
        addrLen = sizeof v4;
    } else if (inet_pton(AF_INET6, m_opt.address.c_str(), &v6.sin6_addr) == 1) {
        v6.sin6_family = AF_INET6;
        v6.sin6_port = htons(m_opt.port);
        addrLen = sizeof v6;
    } else {
        std::fprintf(stderr, "talvex-sim: %s is neither an IPv4 nor an IPv6 address\n",
                     m_opt.address.c_str());
        return false;
    }
    m_fd = ::socket(addr.ss_family, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr*>(&addr), addrLen) != 0) {
        std::fprintf(stderr, "talvex-sim: cannot bind %s:%u: %s\n", m_opt.address.c_str(),
                     unsigned(m_opt.port), std::strerror(errno));
        return false;
    }
    socklen_t len = sizeof addr;
    getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len);
    m_boundPort = ntohs(addr.ss_family == AF_INET ? v4.sin_port : v6.sin6_port);
    return true;
}

bool Agent::next(const ber::Oid& oid, ber::VarBind& out) const {
    ber::Oid found;
    const Node* node = m_opt.faults.stuck ? m_mib.find(oid) : nullptr;
    if (node)
        found = oid;
    else
        node = m_mib.next(oid, found);
    if (!node) {
        out.oid = oid;
        out.value = ber::Value::exception(ber::EndOfMibView);
        return false;
    }
    out.oid = std::move(found);
    out.value = node->read();
    return true;
}

// N non-repeaters, then M repetitions of the R others (negative counts as 0). The answer ends
// after a repetition that found every repeater at the end of the tree, and is cut to the
// bindings that fit the largest message the agent sends.
void Agent::bulk(const ber::Message& req, ber::Pdu& r) const {
    const auto& in = req.pdu.bindings;
    const size_t n = std::min(in.size(), size_t(std::max(req.pdu.errorStatus, 0)));
    const int32_t m = std::max(req.pdu.errorIndex, 0);
    ber::Message bare{req.version, req.community, r};
    // The lengths of the message, the PDU and the list may each grow by two octets.
    const size_t fixed = ber::encode(bare).size() + 6;
    size_t room = fixed < ber::MaxMessage ? ber::MaxMessage - fixed : 0;
    auto add = [&](ber::VarBind& vb) {
        const size_t size = ber::encodedSize(vb);
        if (size > room)
            return false;
        room -= size;
        r.bindings.push_back(std::move(vb));
        return true;
    };
    for (size_t i = 0; i < n; ++i) {
        ber::VarBind vb;
        next(in[i].oid, vb);
        if (!add(vb))
            return;
    }
    std::vector<ber::Oid> last;
    for (size_t i = n; i < in.size(); ++i)
        last.push_back(in[i].oid);
    if (last.empty())
        return;
    for (int32_t rep = 0; rep < m; ++rep) {
        bool allAtEnd = true;
        for (ber::Oid& oid : last) {
            ber::VarBind vb;
            allAtEnd = !next(oid, vb) && allAtEnd;
            oid = vb.oid;
            if (!add(vb))
                return;
        }
        if (allAtEnd)
            return;
    }
}

ber::Pdu Agent::answer(const ber::Message& req, bool canWrite) {
    const bool v1 = req.version == ber::V1;
    ber::Pdu r;
    r.type = ber::Response;
    r.requestId = req.pdu.requestId;
    auto fail = [&](int32_t status, size_t index) {
        r.errorStatus = v1 ? toV1(status) : status;
        r.errorIndex = int32_t(index + 1);
        r.bindings = req.pdu.bindings;
        return r;
    };
    const auto& in = req.pdu.bindings;
    switch (req.pdu.type) {
    case ber::GetRequest:
        for (size_t i = 0; i < in.size(); ++i) {
            const Node* node = m_mib.find(in[i].oid);
            if (node) {
                r.bindings.push_back({in[i].oid, node->read()});
            } else if (v1) {
                return fail(ber::NoSuchName, i);
            } else {
                uint8_t ex = m_mib.objectExists(in[i].oid) ? ber::NoSuchInstance : ber::NoSuchObject;
                r.bindings.push_back({in[i].oid, ber::Value::exception(ex)});
            }
        }
        return r;
    case ber::GetNextRequest:
        for (size_t i = 0; i < in.size(); ++i) {
            ber::VarBind vb;
            if (!next(in[i].oid, vb) && v1)
                return fail(ber::NoSuchName, i);
            r.bindings.push_back(std::move(vb));
        }
        return r;
    case ber::GetBulkRequest:
        bulk(req, r);
        return r;
    case ber::SetRequest: {
        struct SetEnd {
            const Mib& mib;
            ~SetEnd() { mib.endSet(); }
        } setEnd{m_mib};
        // An empty set asks nothing, so nothing is refused.
        if (!canWrite && !in.empty())
            return fail(ber::NoAccess, 0);
        std::vector<const Node*> nodes;
        for (size_t i = 0; i < in.size(); ++i) {
            const Node* node = m_mib.find(in[i].oid);
            // A missing instance of an object that can be written can never be created here;
            // anything else missing, or read-only, cannot be written at all.
            if (!node)
                return fail(
                    m_mib.writableObjectExists(in[i].oid) ? ber::NoCreation : ber::NotWritable, i);
            if (!node->write)
                return fail(ber::NotWritable, i);
            if (int32_t err = node->write(in[i].value, false))
                return fail(err, i);
            nodes.push_back(node);
        }
        size_t blamed = 0;
        if (int32_t err = m_mib.checkSet(in, blamed))
            return fail(err, blamed);
        for (size_t i = 0; i < in.size(); ++i)
            nodes[i]->write(in[i].value, true);
        r.bindings = in;
        return r;
    }
    default:
        return fail(ber::GenErr, 0);
    }
}

bool Agent::handle(const uint8_t* data, size_t size, std::vector<uint8_t>& out) {
    if (v3::messageVersion(data, size) == v3::Version3)
        return handleV3(data, size, out);
    std::optional<ber::Message> req = ber::decode(data, size);
    // GETBULK does not exist in SNMPv1: such a message is malformed, and gets no answer.
    if (!req || req->pdu.type == ber::Response ||
        (req->pdu.type == ber::GetBulkRequest && req->version == ber::V1))
        return false;
    bool write = req->community == m_opt.writeCommunity;
    if (!write && req->community != m_opt.readCommunity)
        return false; // a wrong community gets no answer at all
    std::optional<ber::Pdu> pdu = respond(*req, write);
    if (!pdu)
        return false;
    ber::Message resp;
    resp.version = req->version;
    resp.community = req->community;
    resp.pdu = std::move(*pdu);
    out = ber::encode(resp);
    if (out.size() > ber::MaxMessage) {
        resp.pdu.errorStatus = ber::TooBig;
        resp.pdu.errorIndex = 0;
        resp.pdu.bindings.clear();
        out = ber::encode(resp);
    }
    return true;
}

std::optional<ber::Pdu> Agent::respond(const ber::Message& req, bool canWrite) {
    ++m_served;
    if (m_opt.faults.drop)
        return std::nullopt;
    ber::Pdu r;
    if (m_opt.faults.errorStatus) {
        r.type = ber::Response;
        r.requestId = req.pdu.requestId;
        r.errorStatus = m_opt.faults.errorStatus;
        r.errorIndex = 1;
        r.bindings = req.pdu.bindings;
    } else {
        // One answer reads one clock: its sysUpTime.0 and the counters that follow from the
        // uptime agree, as a device's snapshot of its counters does.
        m_chassis.holdClock(true);
        r = answer(req, canWrite);
        m_chassis.holdClock(false);
    }
    if (m_opt.faults.truncate >= 0 && r.bindings.size() > size_t(m_opt.faults.truncate))
        r.bindings.resize(size_t(m_opt.faults.truncate));
    if (m_opt.faults.wrongId)
        r.requestId = int32_t(uint32_t(r.requestId) + 1);
    m_answerBindings = r.bindings.size();
    return r;
}

std::string Agent::command(const std::string& line) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    int64_t n = 0;
    auto flag = [&](bool& target) {
        if (!readNumber(in, 0, 1, n))
            return std::string("error: expected 0 or 1");
        target = n != 0;
        return std::string("ok");
    };
    auto number = [&](auto& target, int64_t lo, int64_t hi, const char* what) {
        if (!readNumber(in, lo, hi, n))
            return "error: expected " + std::string(what) + " from " + std::to_string(lo) + " to " +
                   std::to_string(hi);
        target = decltype(+target)(n);
        return std::string("ok");
    };
    if (verb == "drop")
        return flag(m_opt.faults.drop);
    if (verb == "wrongid")
        return flag(m_opt.faults.wrongId);
    if (verb == "stuck")
        return flag(m_opt.faults.stuck);
    if (verb == "serial")
        return flag(m_opt.faults.serial);
    if (verb == "delay")
        return number(m_opt.faults.delayMs, 0, kMaxDelayMs, "milliseconds");
    if (verb == "bindingdelay") {
        std::string range;
        if (!(in >> range) ||
            !ParseDelayRange(range, m_opt.faults.bindingDelayMs, m_opt.faults.bindingDelayMaxMs))
            return "error: expected milliseconds, or MIN-MAX, from 0 to " +
                   std::to_string(kMaxDelayMs);
        return std::string("ok");
    }
    if (verb == "error")
        return number(m_opt.faults.errorStatus, 0, INT32_MAX, "an error status");
    if (verb == "truncate")
        return number(m_opt.faults.truncate, -1, INT32_MAX, "a binding count");
    if (verb == "faults") {
        m_opt.faults = Faults{};
        return "ok";
    }
    if (verb == "link") {
        std::string state;
        if (!readNumber(in, 1, INT32_MAX, n) || !(in >> state) ||
            (state != "up" && state != "down"))
            return "error: link IFINDEX up|down";
        m_chassis.setLink(int(n), state == "up", m_chassis.uptime());
        return "ok";
    }
    if (verb == "put") {
        std::string oidText, type, value;
        in >> oidText >> type;
        std::getline(in >> std::ws, value);
        ber::Oid oid;
        ber::Value v;
        if (!ber::parseOid(oidText, oid) || type.empty())
            return "error: put OID i|u|c|t|s|x|o|a VALUE";
        std::string why = parseValue(type, value, v);
        if (!why.empty())
            return "error: put " + oidText + ": " + why;
        m_mib.add(oid, [v] { return v; });
        return "ok";
    }
    if (verb == "del" || verb == "delbelow") {
        std::string oidText;
        ber::Oid oid;
        if (!(in >> oidText) || !ber::parseOid(oidText, oid))
            return "error: expected an OID";
        if (verb == "del")
            m_mib.remove(oid);
        else
            m_mib.removeBelow(oid);
        return "ok";
    }
    if (verb == "engine") {
        int64_t boots = 0;
        if (!readNumber(in, 0, INT32_MAX, boots) || !readNumber(in, 0, INT32_MAX, n))
            return "error: engine BOOTS TIME";
        m_opt.engineBoots = int32_t(boots);
        m_opt.engineTime = int32_t(n);
        m_engineStartMs = nowMs();
        return "ok";
    }
    if (verb == "served")
        return std::to_string(m_served);
    if (verb == "waiting")
        return std::to_string(m_delayed.size());
    if (verb == "overlapped")
        return std::to_string(m_overlapped);
    if (verb == "quit") {
        g_stop = 1;
        return "ok";
    }
    for (const Commands& more : m_commands)
        if (std::optional<std::string> reply = more(verb, in))
            return *reply;
    return "error: unknown command";
}

void Agent::queue(const std::vector<uint8_t>& bytes, const sockaddr_storage& to, socklen_t toLen) {
    // A busy agent drops what it cannot hold, rather than hold it without end.
    if (m_delayed.size() >= kMaxDelayed || m_delayedBytes + bytes.size() > kMaxDelayedBytes)
        return;
    uint64_t start = nowMs();
    if (m_opt.faults.serial && !m_delayed.empty())
        start = std::max(start, m_delayed.back().dueMs);
    const Faults& f = m_opt.faults;
    const int perBinding =
        f.bindingDelayMaxMs > f.bindingDelayMs
            ? std::uniform_int_distribution<int>(f.bindingDelayMs, f.bindingDelayMaxMs)(m_spread)
            : f.bindingDelayMs;
    const uint64_t delay = std::min<uint64_t>(
        uint64_t(f.delayMs) + uint64_t(perBinding) * m_answerBindings, kMaxDelayMs);
    m_delayed.push_back({start + delay, bytes, to, toLen});
    m_delayedBytes += bytes.size();
}

bool Agent::holdsAnswerFor(const sockaddr_storage& to, socklen_t toLen) const {
    // An answer already due counts as sent: the loop sends it before it reads again.
    const uint64_t now = nowMs();
    return std::any_of(m_delayed.begin(), m_delayed.end(), [&](const Delayed& d) {
        return d.dueMs > now && d.toLen == toLen && std::memcmp(&d.to, &to, toLen) == 0;
    });
}

int Agent::run(bool readCommands) {
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::vector<uint8_t> buf(65536), out;
    std::string pendingInput;
    uint64_t nextTick = nowMs() + 1000;
    const uint64_t end = m_opt.lifetimeSec ? nowMs() + uint64_t(m_opt.lifetimeSec) * 1000 : 0;
    while (!g_stop) {
        uint64_t now = nowMs();
        if (end && now >= end)
            break;
        while (!m_delayed.empty() && m_delayed.front().dueMs <= now) {
            Delayed& d = m_delayed.front();
            ::sendto(m_fd, d.bytes.data(), d.bytes.size(), 0,
                     reinterpret_cast<const sockaddr*>(&d.to), d.toLen);
            m_delayedBytes -= d.bytes.size();
            m_delayed.pop_front();
        }
        if (now >= nextTick) {
            m_chassis.tick(m_chassis.uptime());
            nextTick = now + 1000;
        }
        uint64_t wake = nextTick;
        if (!m_delayed.empty())
            wake = std::min(wake, m_delayed.front().dueMs);
        if (m_companion && m_companion->nextDueMs())
            wake = std::min(wake, m_companion->nextDueMs());
        pollfd fds[3] = {{m_fd, POLLIN, 0},
                         {STDIN_FILENO, readCommands ? short(POLLIN) : short(0), 0},
                         {m_companion ? m_companion->fd() : -1, POLLIN, 0}};
        int n = ::poll(fds, 3, int(wake > now ? wake - now : 0));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            std::perror("talvex-sim: poll");
            return 1;
        }
        if (fds[0].revents & POLLIN) {
            // Drain what has arrived, without blocking.
            for (int burst = 0; burst < 64; ++burst) {
                sockaddr_storage from{};
                socklen_t fromLen = sizeof from;
                ssize_t got = ::recvfrom(m_fd, buf.data(), buf.size(), MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &fromLen);
                if (got < 0)
                    break;
                if (holdsAnswerFor(from, fromLen))
                    ++m_overlapped;
                m_answerBindings = 0;
                if (!handle(buf.data(), size_t(got), out))
                    continue;
                if (m_opt.faults.delayMs > 0 ||
                    (m_opt.faults.bindingDelayMs > 0 && m_answerBindings > 0)) {
                    queue(out, from, fromLen);
                } else {
                    ::sendto(m_fd, out.data(), out.size(), 0, reinterpret_cast<sockaddr*>(&from), fromLen);
                }
            }
        }
        if (m_companion) {
            if (fds[2].revents & POLLIN) m_companion->onReadable();
            m_companion->onTime(nowMs());
        }
        if (readCommands && (fds[1].revents & (POLLIN | POLLHUP))) {
            char chunk[4096];
            ssize_t got = ::read(STDIN_FILENO, chunk, sizeof chunk);
            if (got <= 0)
                break; // whoever drove us is gone
            pendingInput.append(chunk, size_t(got));
            size_t nl;
            while ((nl = pendingInput.find('\n')) != std::string::npos) {
                std::string line = pendingInput.substr(0, nl);
                pendingInput.erase(0, nl + 1);
                if (!line.empty() && line.back() == '\r')
                    line.pop_back();
                if (line.empty())
                    continue;
                std::cout << command(line) << std::endl;
            }
        }
    }
    return 0;
}

} // namespace sim
