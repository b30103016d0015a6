// Loopback timings of the HTTP client: 200 sequential POSTs of a 1 KB and
// of a 90 KB form body, the same requests by curl (HTTP/1.0, a connection
// per request), and a 100000-byte GET. Prints medians in milliseconds.
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <netinet/in.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include "net/http_client.h"

namespace {

// Answers every request on 127.0.0.1 with a short or a 100000-byte body,
// one connection at a time, until stopped.
class BenchServer {
public:
    BenchServer() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(fd_, 64);
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        thread_ = std::thread([this] { Loop(); });
    }
    ~BenchServer() {
        stop_ = true;
        ::shutdown(fd_, SHUT_RDWR);
        thread_.join();
        ::close(fd_);
    }
    int port() const { return port_; }

private:
    void Loop() {
        const std::string big = "HTTP/1.0 200 OK\r\n\r\n" + std::string(100000, 'b');
        const std::string small = "HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n[OK]";
        while (!stop_) {
            const int c = ::accept(fd_, nullptr, nullptr);
            if (c < 0) continue;
            std::string req;
            char buf[65536];
            std::size_t need = std::string::npos;
            while (need == std::string::npos || req.size() < need) {
                const auto n = ::recv(c, buf, sizeof buf, 0);
                if (n <= 0) break;
                req.append(buf, static_cast<std::size_t>(n));
                if (need == std::string::npos) {
                    std::size_t end = req.find("\r\n\r\n");
                    std::size_t skip = 4;
                    if (end == std::string::npos) {
                        end = req.find("\n\n");
                        skip = 2;
                    }
                    if (end == std::string::npos) continue;
                    std::size_t length = 0;
                    for (const char* key : {"Content-Length: ", "content-length: "})
                        if (const auto at = req.find(key); at != std::string::npos && at < end)
                            length = std::strtoul(req.c_str() + at + 16, nullptr, 10);
                    need = end + skip + length;
                }
            }
            const std::string& reply = req.rfind("GET", 0) == 0 ? big : small;
            ::send(c, reply.data(), reply.size(), MSG_NOSIGNAL);
            ::shutdown(c, SHUT_WR);
            while (::recv(c, buf, sizeof buf, 0) > 0) {
            }
            ::close(c);
        }
    }
    int fd_;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

std::vector<double> CurlTimes(const std::string& url, const std::string& body, int count) {
    const std::string file = "/tmp/tesra-bench-body.txt";
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
        std::fwrite(body.data(), 1, body.size(), f);
        std::fclose(f);
    }
    std::string cmd = "curl -s -0 -o /dev/null -w '%{time_total}\\n' -H 'Content-Type: application/x-www-form-urlencoded'"
                      " --data-binary @" + file;
    for (int i = 0; i < count; ++i) cmd += " " + url;
    std::vector<double> times;
    if (FILE* p = ::popen(cmd.c_str(), "r")) {
        double t;
        while (std::fscanf(p, "%lf", &t) == 1) times.push_back(t * 1000.0);
        ::pclose(p);
    }
    std::remove(file.c_str());
    return times;
}

}  // namespace

int main() {
    using Clock = std::chrono::steady_clock;
    BenchServer server;
    const std::string base = "http://127.0.0.1:" + std::to_string(server.port());
    tesra::CHttpClient client;
    std::printf("%-28s %10s %10s %8s\n", "request (200 each)", "tesra ms", "curl ms", "ratio");
    for (std::size_t size : {std::size_t{1024}, std::size_t{90 * 1024}}) {
        const std::string body(size, 'f');
        std::vector<double> ours;
        for (int i = 0; i < 200; ++i) {
            const auto t0 = Clock::now();
            client.Post(base + "/AUTH/setmemo.cgi", body);
            ours.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
            if (client.m_strBody != "[OK]") {
                std::fprintf(stderr, "bad reply\n");
                return 1;
            }
        }
        const auto curl = CurlTimes(base + "/AUTH/setmemo.cgi", body, 200);
        const double a = Median(ours), b = Median(curl);
        std::printf("POST %6zu-byte body       %10.3f %10.3f %8.2f\n", size, a, b, b > 0 ? a / b : 0.0);
    }
    std::vector<double> gets;
    for (int i = 0; i < 50; ++i) {
        const auto t0 = Clock::now();
        client.Get(base + "/big");
        gets.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        if (client.m_strBody.size() != 100000) return 1;
    }
    std::printf("GET 100000-byte body (50)   %10.3f\n", Median(gets));
    return 0;
}
