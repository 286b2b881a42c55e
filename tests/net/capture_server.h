#pragma once

// A loopback socket that records every request's raw bytes and answers each
// with one canned reply, then closes the connection.

#include <QByteArray>

#include <arpa/inet.h>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace zv::test {

class CaptureServer {
public:
    explicit CaptureServer(QByteArray reply = "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n"
                                              "<r><ReturnValue code=\"0\"/></r>")
        : m_reply(std::move(reply))
    {
        m_listen = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bind(m_listen, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        listen(m_listen, 8);
        socklen_t len = sizeof addr;
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&addr), &len);
        m_port = ntohs(addr.sin_port);
        m_thread = std::thread([this] { Run(); });
    }
    ~CaptureServer()
    {
        m_stop = true;
        shutdown(m_listen, SHUT_RDWR);
        close(m_listen);
        m_thread.join();
    }

    int Port() const { return m_port; }
    // The requests received so far, each as sent.
    std::vector<QByteArray> Requests()
    {
        std::lock_guard lock(m_mutex);
        return m_requests;
    }

private:
    void Run()
    {
        while (!m_stop) {
            const int c = accept(m_listen, nullptr, nullptr);
            if (c < 0)
                return;
            timeval tv{5, 0};
            setsockopt(c, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
            QByteArray data;
            char buffer[65536];
            qsizetype wanted = -1;
            while (wanted < 0 || data.size() < wanted) {
                const ssize_t n = recv(c, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                data.append(buffer, n);
                const qsizetype end = data.indexOf("\r\n\r\n");
                if (wanted < 0 && end >= 0) {
                    const QByteArray head = data.left(end).toLower();
                    const qsizetype at = head.indexOf("content-length:");
                    const qsizetype length =
                        at < 0 ? 0 : head.mid(at + 15, head.indexOf("\r\n", at) - at - 15).trimmed().toLongLong();
                    wanted = end + 4 + length;
                }
                if (wanted < 0 && data.size() > 0 && quint8(data[0]) == 0x16)
                    break; // a TLS hello, not HTTP
            }
            {
                std::lock_guard lock(m_mutex);
                m_requests.push_back(data);
            }
            send(c, m_reply.constData(), size_t(m_reply.size()), MSG_NOSIGNAL);
            close(c);
        }
    }

    QByteArray m_reply;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop = false;
    std::mutex m_mutex;
    std::vector<QByteArray> m_requests;
    std::thread m_thread;
};

} // namespace zv::test
