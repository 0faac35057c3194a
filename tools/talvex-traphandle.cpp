// talvex-traphandle: the program snmptrapd runs for each notification (traphandle default).
// Reads snmptrapd's handler input on standard input and appends one event to the journal
// (TALVEX_EVENTS, else /var/lib/talvex/events.sqlite). No shell, no GUI; every length bounded.
#include "events/decode.h"
#include "events/journal.h"
#include "events/trapinput.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace {

// Input past this is neither read nor kept: snmptrapd hands over one notification, which no
// honest sender makes this large.
constexpr size_t kMaxInput = 16u << 20;
// Attempts at a journal that is locked or full, and the longest pause between them: together
// about 10 s, well inside the time snmptrapd waits for a handler.
constexpr int kAttempts = 8;
constexpr int kMaxPauseMs = 2000;

void usage() {
    std::puts("usage: talvex-traphandle [--journal PATH]\n"
              "Reads one notification as snmptrapd's traphandle hands it (with outputOption n)\n"
              "on standard input and appends it to the event journal: PATH, else TALVEX_EVENTS,\n"
              "else /var/lib/talvex/events.sqlite.");
}

// What could not be written, whole, for the administrator's log.
void tellLost(const std::string& path, const std::string& why, const events::Event& e) {
    std::fprintf(stderr,
                 "talvex-traphandle: the event could not be written to %s (%s); it was:\n"
                 "  from %s, %s (%s): %s\n",
                 path.c_str(), why.c_str(), e.sender.c_str(), e.event.c_str(),
                 events::SeverityName(e.severity), e.summary.c_str());
    std::fputs(e.bindings.c_str(), stderr);
}

} // namespace

int main(int argc, char** argv) {
    std::string path = events::JournalPath();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--journal" && i + 1 < argc)
            path = argv[++i];
        else if (a == "--version") {
            std::printf("talvex-traphandle %s\n", TALVEX_VERSION);
            return 0;
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else {
            std::fprintf(stderr, "talvex-traphandle: unknown option %s\n", a.c_str());
            return 2;
        }
    }
    // A writer that never closes its end must not hold the handler for ever.
    alarm(30);
    std::signal(SIGPIPE, SIG_IGN);

    events::HandlerInputReader reader;
    static char buf[65536];
    size_t total = 0;
    bool truncated = false;
    for (;;) {
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        const size_t take = std::min(size_t(n), kMaxInput - total);
        reader.feed(std::string_view(buf, take));
        total += take;
        if (total >= kMaxInput) {
            truncated = true;
            break;
        }
    }
    const events::HandlerInput& in = reader.finish();
    if (in.bytes == 0) {
        std::fputs(
            "talvex-traphandle: no input: snmptrapd hands a notification on standard input\n",
            stderr);
        return 1;
    }
    if (!in.hasTransport && in.bindings.empty()) {
        std::fprintf(
            stderr,
            "talvex-traphandle: the input (%zu bytes) has no transport line and no bindings: "
            "not a notification; nothing written\n",
            total);
        return 1;
    }
    if (truncated)
        std::fprintf(stderr, "talvex-traphandle: input beyond %zu bytes was not read\n", kMaxInput);

    const auto now = std::chrono::system_clock::now().time_since_epoch();
    const int64_t nowMs = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    events::Journal journal;
    std::string why;
    events::Event event;
    bool decoded = false;
    int pause = 100;
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (journal.isOpen() || journal.open(path, true, &why)) {
            if (!decoded) {
                event = events::Decode(in, nowMs, &journal);
                decoded = true;
            }
            if (journal.append(event, &why)) return 0;
        }
        if (attempt < kAttempts) {
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
            pause = std::min(pause * 2, kMaxPauseMs);
        }
    }
    if (!decoded) event = events::Decode(in, nowMs);
    tellLost(path, why, event);
    return 1;
}
