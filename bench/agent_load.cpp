// Requests per second an agent serves on loopback: keeps a window of gets of sysName in flight
// for a fixed time (or count) and counts the answers. With "bulk REPS": GETBULKs of REPS rows
// of ifDescr instead, counting the bindings the answers carry.
#include "qvsnmp/ber.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
    if (argc < 3 || (argc > 5 && (argc != 7 || std::strcmp(argv[5], "bulk") != 0))) {
        std::fprintf(stderr, "usage: agent-load PORT COMMUNITY [SECONDS] [WINDOW] [bulk REPS]\n");
        return 2;
    }
    const int port = std::atoi(argv[1]);
    const std::string community = argv[2];
    const double seconds = argc > 3 ? std::atof(argv[3]) : 3.0;
    const int window = argc > 4 ? std::atoi(argv[4]) : 16;
    const int reps = argc == 7 ? std::atoi(argv[6]) : 0;
    const long maxRequests = 2000000; // a bound on the load, whatever the time

    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(uint16_t(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof to);

    ber::Message m;
    m.community = community;
    if (reps > 0) {
        m.pdu.type = ber::GetBulkRequest;
        m.pdu.errorIndex = reps;
        m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, ber::Value::null()});
    } else {
        m.pdu.type = ber::GetRequest;
        m.pdu.bindings.push_back({{1, 3, 6, 1, 2, 1, 1, 5, 0}, ber::Value::null()});
    }
    int32_t id = 1;
    auto sendOne = [&] {
        m.pdu.requestId = id++;
        auto b = ber::encode(m);
        send(fd, b.data(), b.size(), 0);
    };

    using clock = std::chrono::steady_clock;
    auto start = clock::now();
    auto end = start + std::chrono::duration<double>(seconds);
    long sent = 0, answered = 0, bindings = 0;
    int inFlight = 0;
    uint8_t buf[65536];
    while (clock::now() < end && sent < maxRequests) {
        while (inFlight < window) {
            sendOne();
            ++sent;
            ++inFlight;
        }
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) <= 0) {
            inFlight = 0; // lost ones: refill the window
            continue;
        }
        ssize_t n;
        while ((n = recv(fd, buf, sizeof buf, MSG_DONTWAIT)) > 0) {
            ++answered;
            --inFlight;
            if (reps > 0)
                if (auto a = ber::decode(buf, size_t(n)))
                    bindings += long(a->pdu.bindings.size());
        }
    }
    double elapsed = std::chrono::duration<double>(clock::now() - start).count();
    if (reps > 0)
        std::printf("agent: %ld GETBULKs of %d answered in %.2f s: %.0f requests/s, %.0f "
                    "bindings/s (window %d)\n",
                    answered, reps, elapsed, answered / elapsed, bindings / elapsed, window);
    else
        std::printf("agent: %ld requests answered in %.2f s: %.0f requests/s (window %d)\n",
                    answered, elapsed, answered / elapsed, window);
    close(fd);
    return 0;
}
