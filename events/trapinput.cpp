#include "events/trapinput.h"

#include "events/journal.h"

namespace events {

namespace {

bool IsOidText(const std::string& s) {
    if (s.empty() || s.size() > kMaxOid) return false;
    bool digit = false;
    for (size_t i = s[0] == '.' ? 1 : 0; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9')
            digit = true;
        else if (s[i] == '.' && digit)
            digit = false;
        else
            return false;
    }
    return digit;
}

// The source address of a transport line: the first bracketed address inside it.
std::string SenderOf(const std::string& transport) {
    size_t open = transport.find('[', transport.empty() || transport[0] != '[' ? 0 : 1);
    if (open == std::string::npos) return {};
    const size_t close = transport.find(']', open + 1);
    if (close == std::string::npos || close - open - 1 > 64) return {};
    const std::string address = transport.substr(open + 1, close - open - 1);
    return IsAddress(address) ? CanonicalAddress(address) : std::string();
}

} // namespace

void HandlerInputReader::addValueByte(char c) {
    if (m_current.value.size() < kMaxValue)
        m_current.value += c;
    else
        ++m_current.cutBytes;
}

void HandlerInputReader::endBinding() {
    if (IsOidText(m_oid) && m_oidValid) {
        m_current.oid = m_oid[0] == '.' ? m_oid.substr(1) : m_oid;
    } else {
        // Not a binding line: kept whole, as text, for the operator to see.
        std::string line = m_oid + (m_oidValid ? "" : "...") + " " + m_current.value;
        m_current.value = line.substr(0, kMaxValue);
        m_current.oid.clear();
    }
    if (m_in.bindings.size() < kMaxBindings)
        m_in.bindings.push_back(std::move(m_current));
    else
        ++m_in.droppedBindings;
    m_current = Binding();
    m_oid.clear();
    m_oidValid = true;
    m_inBinding = false;
    m_state = State::LineStart;
}

void HandlerInputReader::feed(std::string_view data) {
    m_in.bytes += data.size();
    for (char c : data) {
        switch (m_state) {
        case State::Host:
        case State::Transport: {
            std::string& line = m_state == State::Host ? m_in.host : m_in.transport;
            if (c == '\n') {
                if (m_state == State::Transport) {
                    m_in.hasTransport = true;
                    m_in.sender = SenderOf(m_in.transport);
                }
                m_state = m_state == State::Host ? State::Transport : State::LineStart;
            } else if (c != '\r' && line.size() < kMaxLine) {
                line += c;
            }
            break;
        }
        case State::LineStart:
            if (c == '\n' || c == '\r') break;
            m_inBinding = true;
            m_state = State::Oid;
            [[fallthrough]];
        case State::Oid:
            if (c == ' ' || c == '\t')
                m_state = State::ValueStart;
            else if (c == '\n')
                endBinding();
            else if (m_oid.size() < kMaxOid)
                m_oid += c;
            else
                m_oidValid = false;
            break;
        case State::ValueStart:
            if (c == '"')
                m_state = State::Quoted;
            else if (c == '\n')
                endBinding();
            else {
                addValueByte(c);
                m_state = State::Value;
            }
            break;
        case State::Value:
            if (c == '\n')
                endBinding();
            else
                addValueByte(c);
            break;
        case State::Quoted:
            if (c == '\\')
                m_state = State::QuotedEscape;
            else if (c == '"')
                m_state = State::AfterQuote;
            else
                addValueByte(c);
            break;
        case State::QuotedEscape:
            if (c != '"' && c != '\\') addValueByte('\\');
            addValueByte(c);
            m_state = State::Quoted;
            break;
        case State::AfterQuote:
            if (c == '\n')
                endBinding();
            else if (c != '\r')
                addValueByte(c);
            break;
        }
    }
}

const HandlerInput& HandlerInputReader::finish() {
    if (m_state == State::Transport && !m_in.transport.empty()) {
        m_in.hasTransport = true;
        m_in.sender = SenderOf(m_in.transport);
    }
    if (m_inBinding) endBinding();
    m_state = State::LineStart;
    return m_in;
}

HandlerInput ReadHandlerInput(std::string_view text) {
    HandlerInputReader r;
    r.feed(text);
    return r.finish();
}

std::string SanitizeText(std::string_view in) {
    static const char kReplacement[] = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size();) {
        const auto b = static_cast<unsigned char>(in[i]);
        if (b < 0x80) {
            if (b >= 0x20 || b == '\t' || b == '\n')
                out += char(b);
            else
                out += kReplacement;
            ++i;
            continue;
        }
        // The length a lead byte announces, and the least code point of that length (no
        // overlong forms), the surrogates and anything past U+10FFFF refused.
        int len = b >= 0xC2 && b <= 0xDF   ? 2
                  : b >= 0xE0 && b <= 0xEF ? 3
                  : b >= 0xF0 && b <= 0xF4 ? 4
                                           : 0;
        bool ok = len > 0 && i + len <= in.size();
        uint32_t cp = len == 2 ? b & 0x1F : len == 3 ? b & 0x0F : b & 0x07;
        for (int k = 1; ok && k < len; ++k) {
            const auto cb = static_cast<unsigned char>(in[i + k]);
            ok = (cb & 0xC0) == 0x80;
            cp = (cp << 6) | (cb & 0x3F);
        }
        ok = ok && !(len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) &&
             !(len == 4 && (cp < 0x10000 || cp > 0x10FFFF));
        if (ok && cp >= 0x80 && cp < 0xA0) ok = false; // C1 controls
        if (ok) {
            out.append(in.substr(i, size_t(len)));
            i += size_t(len);
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

} // namespace events
