// What snmptrapd hands a traphandle program on standard input, read with every length
// bounded: the sender's host name, the transport line ("UDP: [192.0.2.1]:40000->[192.0.2.9]:162"),
// then one "OID value" line per binding, OIDs numeric (outputOption n). A quoted value may run
// over several lines; any bytes may come.
//
// The reader takes the input in pieces of any size and never holds more than its bounds: a
// value beyond kMaxValue is cut (and says how much was cut), bindings beyond kMaxBindings are
// counted, not kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace events {

inline constexpr size_t kMaxValue = 4096;    // bytes of one binding's value kept
inline constexpr size_t kMaxOid = 256;       // characters of an OID kept; longer is no OID
inline constexpr size_t kMaxLine = 256;      // bytes of the host and transport lines kept
inline constexpr size_t kMaxBindings = 1000; // bindings kept

struct Binding {
    std::string oid;   // without the leading dot
    std::string value; // as snmptrapd printed it, quotes and escapes of a string taken off
    uint64_t cutBytes = 0;
};

enum class PduType { Trap, Inform };

struct HandlerInput {
    std::string host;
    std::string transport;
    std::string sender; // the source address in the transport line; empty when there is none
    std::vector<Binding> bindings;
    uint64_t droppedBindings = 0;
    uint64_t bytes = 0;
    bool hasTransport = false;
    // What the PDU itself says, where the hand-over gives it (the spool does; a traphandle
    // program's input does not).
    PduType type = PduType::Trap;
    int64_t requestId = -1;
    std::string version; // 0, 1 (v2c) or 3, as snmptrapd numbers them
    std::string securityName;
    std::string engineId; // hex; SNMPv3 only
};

class HandlerInputReader {
public:
    void feed(std::string_view data);
    // Ends the input; what was read is in input().
    const HandlerInput& finish();
    const HandlerInput& input() const { return m_in; }

private:
    enum class State {
        Host,
        Transport,
        LineStart,
        Oid,
        ValueStart,
        Value,
        Quoted,
        QuotedEscape,
        AfterQuote
    };
    void endBinding();
    void addValueByte(char c);

    HandlerInput m_in;
    State m_state = State::Host;
    std::string m_oid;
    bool m_oidValid = true;
    Binding m_current;
    bool m_inBinding = false;
};

// The whole of text read at once.
HandlerInput ReadHandlerInput(std::string_view text);

// text with every byte sequence that is not UTF-8, and every control character but tab and
// line feed, replaced by U+FFFD: what the journal stores is text any reader can show.
std::string SanitizeText(std::string_view text);

} // namespace events
