// talvex-eventd: takes the notifications snmptrapd's Perl hand-over appends to the spool into the
// event journal, in batched transactions that also commit the spool position, so that a kill at
// any moment loses nothing and writes nothing twice. The only writer of the journal. What it
// cannot write stays in the spool and is said on standard error (the system log under systemd);
// snmptrapd never waits for it.
#include "events/decode.h"
#include "events/journal.h"
#include "events/spool.h"

#include <time.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <thread>

namespace {

// Records a transaction takes at most: enough that a storm costs few commits, few enough that
// a transaction stays short for the readers.
constexpr size_t kBatch = 2000;
// How often an idle writer looks at the spool.
constexpr auto kIdle = std::chrono::milliseconds(20);
constexpr int kMaxRetryMs = 10000;
constexpr auto kCheckpointAfter = std::chrono::seconds(1);

std::atomic<bool> g_stop{false};

void onSignal(int) {
    g_stop = true;
}

void usage() {
    std::puts("usage: talvex-eventd [--spool DIR] [--journal PATH] [--once] [--rotate BYTES]\n"
              "Takes the notifications snmptrapd's hand-over (talvex-spool.pl) appends to\n"
              "DIR/spool (/var/spool/talvex) into the event journal: PATH (a file, or a\n"
              "postgresql:// URI of a server), else TALVEX_EVENTS,\n"
              "else /var/lib/talvex/events.sqlite. Runs until SIGTERM or SIGINT; with --once,\n"
              "until the spool is taken (status 1 when the journal cannot take it). A spool\n"
              "taken whole is set aside and deleted once past BYTES (16 MiB).");
}

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

events::Event EventOf(const events::SpoolRecord& r, events::Journal* journal) {
    const events::HandlerInput in = events::InputOf(r);
    events::Event e = events::Decode(in, r.receivedMs > 0 ? r.receivedMs : nowMs(), journal);
    e.inform = r.type == events::PduType::Inform;
    e.requestId = r.requestId;
    e.engineId = r.engineId;
    e.securityName = r.securityName;
    e.transport = events::SanitizeText(r.transport.substr(0, events::kMaxLine));
    return e;
}

// Says a trouble once, and again only when it changes or a minute has passed.
class Teller {
public:
    void tell(const std::string& text) {
        const auto now = std::chrono::steady_clock::now();
        if (text == m_last && now - m_when < std::chrono::minutes(1)) return;
        m_last = text;
        m_when = now;
        std::fprintf(stderr, "talvex-eventd: %s\n", text.c_str());
        std::fflush(stderr);
    }
    void cleared(const std::string& text) {
        if (m_last.empty()) return;
        m_last.clear();
        std::fprintf(stderr, "talvex-eventd: %s\n", text.c_str());
        std::fflush(stderr);
    }

private:
    std::string m_last;
    std::chrono::steady_clock::time_point m_when;
};

void pause(int ms) {
    for (int waited = 0; waited < ms && !g_stop; waited += 50)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

} // namespace

int main(int argc, char** argv) {
    std::string spoolDir = "/var/spool/talvex";
    std::string path = events::JournalPath();
    bool once = false;
    int64_t rotate = events::kRotateBytes;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--journal" && i + 1 < argc)
            path = argv[++i];
        else if (a == "--spool" && i + 1 < argc)
            spoolDir = argv[++i];
        else if (a == "--once")
            once = true;
        else if (a == "--rotate" && i + 1 < argc) {
            char* end = nullptr;
            rotate = std::strtoll(argv[++i], &end, 10);
            if (*end || rotate < 1) {
                std::fprintf(stderr, "talvex-eventd: --rotate wants a number of bytes\n");
                return 2;
            }
        } else if (a == "--version") {
            std::printf("talvex-eventd %s\n", TALVEX_VERSION);
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "talvex-eventd: unknown option %s (--help lists them)\n",
                         a.c_str());
            return 2;
        }
    }
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigaction(SIGTERM, &sa, nullptr);
    sigaction(SIGINT, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    // A journal on a full or limited file system fails its write; it does not end the writer.
    std::signal(SIGXFSZ, SIG_IGN);

    events::SpoolReader spool(spoolDir, rotate);
    events::Journal journal;
    Teller teller;
    if (!once) {
        std::fprintf(stderr, "talvex-eventd: following %s/spool into %s\n", spoolDir.c_str(),
                     path.c_str());
        std::fflush(stderr);
    }
    int retryMs = 500;
    // After a failure: a wait, longer after each one that follows.
    auto backOff = [&retryMs] {
        pause(retryMs);
        retryMs = std::min(retryMs * 2, kMaxRetryMs);
    };
    bool wrote = false;
    auto lastWrite = std::chrono::steady_clock::now();
    uint64_t journaled = 0;
    std::vector<events::SpoolRecord> records;
    std::vector<events::Event> batch;
    // The spool position the journal holds, read once for each opening: this writer is the only
    // one that moves it, and an idle look then asks nothing of a server.
    std::optional<events::SpoolPosition> at;
    while (!g_stop) {
        std::string why;
        if (!journal.isOpen()) {
            at.reset();
            if (!journal.open(path, true, &why)) {
                teller.tell("cannot open the journal " + path + ": " + why +
                            "; notifications stay in the spool " + spoolDir);
                if (once) return 1;
                backOff();
                continue;
            }
        }
        events::SpoolPosition from;
        if (at) {
            from = *at;
        } else if (journal.spoolPosition(from, &why)) {
            at = from;
        } else {
            // Never read as "from the start", which would journal the spool a second time.
            teller.tell("cannot read the spool position from the journal " + path + ": " + why +
                        "; notifications stay in the spool " + spoolDir);
            if (once) return 1;
            journal.close();
            backOff();
            continue;
        }
        events::SpoolPosition next;
        records.clear();
        if (!spool.read(from, kBatch, records, next, &why)) {
            teller.tell("cannot read the spool: " + why);
            if (once) return 1;
            backOff();
            continue;
        }
        if (const uint64_t skipped = spool.takeSkipped())
            std::fprintf(stderr, "talvex-eventd: %llu bytes of the spool were no record; skipped\n",
                         static_cast<unsigned long long>(skipped));
        if (records.empty() && next == from) {
            // The log goes into the file once writing has paused, not between a storm's
            // batches; SQLite's own checkpoints bound it meanwhile.
            if (wrote && std::chrono::steady_clock::now() - lastWrite > kCheckpointAfter) {
                journal.checkpoint();
                wrote = false;
            }
            spool.committed(from);
            if (once) break;
            std::this_thread::sleep_for(kIdle);
            continue;
        }
        batch.clear();
        for (const events::SpoolRecord& r : records)
            batch.push_back(EventOf(r, &journal));
        if (!journal.appendBatch(batch, next, &why)) {
            teller.tell("cannot write " + std::to_string(batch.size()) + " events to the journal " +
                        path + ": " + why + "; they stay in the spool " + spoolDir);
            if (once) return 1;
            // Reopened, so that a journal replaced or mended is taken as it now is.
            journal.close();
            backOff();
            continue;
        }
        teller.cleared("the journal " + path + " takes events again");
        at = next;
        retryMs = 500;
        wrote = true;
        lastWrite = std::chrono::steady_clock::now();
        journaled += batch.size();
        spool.committed(next);
    }
    if (!once)
        std::fprintf(stderr, "talvex-eventd: stopped; %llu notifications journaled\n",
                     static_cast<unsigned long long>(journaled));
    return 0;
}
