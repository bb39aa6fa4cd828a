#pragma once

// A TCP relay on 127.0.0.1 that holds every chunk half a round trip in each direction, as a
// LAN or Wi-Fi link between an office and its server does, and counts the round trips: each
// time the client speaks after the server did, one more. Benchmarks on 127.0.0.1 hide what
// each round trip costs an office; through the relay a window that reads pupil by pupil shows
// it. A benchmark tool, not a proxy: no error is recovered, a failed socket ends the program.
//
//   LatencyRelay relay("127.0.0.1", 3050, std::chrono::microseconds(4000));
//   // connect to 127.0.0.1:relay.port(); relay.roundTrips() counts from 0

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class LatencyRelay
{
public:
    using Clock = std::chrono::steady_clock;

    LatencyRelay(const std::string &host, int port, std::chrono::microseconds roundTrip)
        : m_host(host), m_port(port), m_roundTrip(roundTrip), m_delay(roundTrip / 2)
    {
        m_listener = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (m_listener < 0 || bind(m_listener, (sockaddr *)&address, length) != 0 ||
            listen(m_listener, 8) != 0 || getsockname(m_listener, (sockaddr *)&address, &length))
            fail("the relay cannot listen");
        m_listenPort = ntohs(address.sin_port);
        std::thread([this] { accepting(); }).detach();
    }

    int port() const { return m_listenPort; }
    int roundTripMicroseconds() const { return int(m_roundTrip.count()); }
    long long roundTrips() const { return m_roundTrips.load(); }

private:
    struct Chunk
    {
        Clock::time_point due;
        std::vector<char> bytes; // empty: the sender closed
    };
    // One direction of one connection: read as it comes, written once its delay is over.
    struct Direction
    {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<Chunk> chunks;
    };

    [[noreturn]] static void fail(const char *what)
    {
        std::perror(what);
        std::exit(1);
    }

    int connectToServer() const
    {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo *found = nullptr;
        if (getaddrinfo(m_host.c_str(), std::to_string(m_port).c_str(), &hints, &found) != 0)
            fail("the relay cannot find the server");
        const int s = socket(found->ai_family, SOCK_STREAM, 0);
        if (s < 0 || connect(s, found->ai_addr, found->ai_addrlen) != 0)
            fail("the relay cannot reach the server");
        freeaddrinfo(found);
        return s;
    }

    void accepting()
    {
        for (;;) {
            const int client = accept(m_listener, nullptr, nullptr);
            if (client < 0)
                fail("the relay cannot accept");
            const int server = connectToServer();
            for (int s : {client, server}) {
                const int on = 1;
                setsockopt(s, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
            }
            pump(client, server, true);
            pump(server, client, false);
        }
    }

    void pump(int from, int to, bool fromClient)
    {
        auto *d = new Direction; // lives as long as the connection, i.e. the benchmark
        std::thread([this, d, from, fromClient] {
            std::vector<char> buffer(65536);
            for (;;) {
                const ssize_t n = read(from, buffer.data(), buffer.size());
                // The client speaking after the server is one more round trip.
                if (n > 0 && fromClient && m_serverSpoke.exchange(false))
                    ++m_roundTrips;
                else if (n > 0 && !fromClient)
                    m_serverSpoke = true;
                std::lock_guard lock(d->mutex);
                d->chunks.push_back({Clock::now() + m_delay,
                                     n > 0 ? std::vector<char>(buffer.data(), buffer.data() + n)
                                           : std::vector<char>()});
                d->ready.notify_one();
                if (n <= 0)
                    return;
            }
        }).detach();
        std::thread([d, to] {
            for (;;) {
                Chunk chunk;
                {
                    std::unique_lock lock(d->mutex);
                    d->ready.wait(lock, [d] { return !d->chunks.empty(); });
                    chunk = std::move(d->chunks.front());
                    d->chunks.pop_front();
                }
                std::this_thread::sleep_until(chunk.due);
                if (chunk.bytes.empty()) {
                    shutdown(to, SHUT_WR);
                    return;
                }
                for (size_t sent = 0; sent < chunk.bytes.size();) {
                    const ssize_t n =
                        write(to, chunk.bytes.data() + sent, chunk.bytes.size() - sent);
                    if (n <= 0)
                        return;
                    sent += size_t(n);
                }
            }
        }).detach();
    }

    std::string m_host;
    int m_port;
    std::chrono::microseconds m_roundTrip;
    Clock::duration m_delay;
    int m_listener = -1;
    int m_listenPort = 0;
    std::atomic<long long> m_roundTrips{0};
    std::atomic<bool> m_serverSpoke{true};
};
