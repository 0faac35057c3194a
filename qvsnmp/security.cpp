// The two kinds of message security a session speaks: a community (SNMPv1, SNMPv2c) or the
// user-based security model (SNMPv3).
#include "qvsnmp/transport.h"
#include "qvsnmp/v3session.h"

namespace qvsnmp {

namespace {

class CommunitySecurity final : public MessageSecurity {
public:
    CommunitySecurity(int version, std::string read, std::string write)
        : m_version(version), m_read(std::move(read)), m_write(std::move(write)) {}

    void encode(ber::Pdu& pdu, std::vector<uint8_t>& out, std::string* tag) override {
        const std::string& community = pdu.type == ber::SetRequest ? m_write : m_read;
        // As ber::encode writes a message, without a copy of the PDU for it.
        out.clear();
        out.reserve(64 + community.size() + pdu.bindings.size() * 32);
        const size_t message = ber::openElement(out, ber::Sequence);
        ber::appendInteger(out, m_version);
        ber::appendOctets(out, community);
        ber::appendPdu(out, pdu);
        ber::closeElement(out, message);
        *tag = community;
    }

    Received decode(const uint8_t* data, size_t size) override {
        Received r;
        std::optional<ber::Message> msg = ber::decode(data, size);
        if (!msg || msg->version != m_version) return r;
        r.verdict = Received::Verdict::Response;
        r.id = msg->pdu.requestId;
        r.pdu = std::move(msg->pdu);
        r.tag = std::move(msg->community);
        return r;
    }

    bool readsAhead() const override { return m_version == ber::V2c; }

private:
    int m_version;
    std::string m_read, m_write;
};

class UsmSecurity final : public MessageSecurity {
public:
    UsmSecurity(const usm::User& user, const std::string& agentKey) : m_session(user, agentKey) {}

    void encode(ber::Pdu& pdu, std::vector<uint8_t>& out, std::string* tag) override {
        tag->clear();
        out = m_session.encode(pdu.requestId, pdu, nullptr);
    }

    Received decode(const uint8_t* data, size_t size) override {
        v3::ManagerSession::Outcome o = m_session.receive(data, size);
        Received r;
        r.id = o.msgId;
        switch (o.verdict) {
        case v3::ManagerSession::Verdict::Ignore:
            r.verdict = Received::Verdict::Ignore;
            break;
        case v3::ManagerSession::Verdict::Response:
            r.verdict = Received::Verdict::Response;
            break;
        case v3::ManagerSession::Verdict::Resend:
            r.verdict = Received::Verdict::Resend;
            break;
        case v3::ManagerSession::Verdict::Fail:
            r.verdict = Received::Verdict::Fail;
            break;
        }
        r.pdu = std::move(o.pdu);
        r.bytes = std::move(o.bytes);
        r.reason = std::move(o.reason);
        return r;
    }

    void forget(int32_t id) override { m_session.forget(id); }
    std::string timeoutReason() override { return m_session.timeoutReason(); }
    bool failureIsSecurity() const override { return m_session.lastFailureSecurity(); }
    bool readsAhead() const override { return false; }

private:
    v3::ManagerSession m_session;
};

} // namespace

std::unique_ptr<MessageSecurity> communitySecurity(int version, std::string read,
                                                   std::string write) {
    return std::make_unique<CommunitySecurity>(version, std::move(read), std::move(write));
}

std::unique_ptr<MessageSecurity> usmSecurity(const usm::User& user, const std::string& agentKey) {
    return std::make_unique<UsmSecurity>(user, agentKey);
}

} // namespace qvsnmp
