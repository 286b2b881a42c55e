// labserver: the reference laboratory order server, for development, tests
// and the demo. Listens on 127.0.0.1 only.
//
//   labserver --data DIR --store DIR --port N [--ftp-root DIR] [--fault KIND[:N[:COUNT[:COMMAND]]]]...
//
// With --port 0 a free port is chosen; the port is always printed on the
// first line of standard output. SIGTERM or SIGINT stop it cleanly.

#include "labserver/faults.h"
#include "labserver/lab_data.h"
#include "labserver/request_handler.h"
#include "labserver/store.h"

#include <httplib.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: labserver --data DIR --store DIR --port N [--ftp-root DIR] "
                         "[--fault KIND[:N[:COUNT[:COMMAND]]]]...\n");
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QString dataDir, storeDir, ftpRoot;
    int port = -1;
    labserver::Faults faults;
    for (int i = 1; i < argc; ++i) {
        const QString arg = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (arg == u"--data" && hasValue)
            dataDir = QString::fromLocal8Bit(argv[++i]);
        else if (arg == u"--store" && hasValue)
            storeDir = QString::fromLocal8Bit(argv[++i]);
        else if (arg == u"--port" && hasValue)
            port = QString::fromLocal8Bit(argv[++i]).toInt();
        else if (arg == u"--ftp-root" && hasValue)
            ftpRoot = QString::fromLocal8Bit(argv[++i]);
        else if (arg == u"--fault" && hasValue) {
            if (!faults.AddOption(QString::fromLocal8Bit(argv[++i]))) {
                std::fprintf(stderr, "labserver: unknown fault %s\n", argv[i]);
                return 2;
            }
        } else
            return Usage();
    }
    if (dataDir.isEmpty() || storeDir.isEmpty() || port < 0 || port > 65535)
        return Usage();

    QString error;
    auto data = labserver::LabData::Load(dataDir, error);
    if (!data) {
        std::fprintf(stderr, "labserver: %s\n", qPrintable(error));
        return 1;
    }
    auto store = labserver::Store::Open(storeDir, data->seedAccounts, error);
    if (!store) {
        std::fprintf(stderr, "labserver: %s\n", qPrintable(error));
        return 1;
    }

    // The stopSignals are taken by one waiting thread, never by a handler that
    // could interrupt the server in the middle of its work.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    std::atomic<bool> stopping = false;
    httplib::Server server;
    labserver::RequestHandler handler(std::move(*data), std::move(*store), faults, ftpRoot, stopping);
    handler.Register(server);
    server.set_read_timeout(30, 0);
    server.set_write_timeout(30, 0);

    const int bound = port == 0 ? server.bind_to_any_port("127.0.0.1") : (server.bind_to_port("127.0.0.1", port) ? port : -1);
    if (bound <= 0) {
        std::fprintf(stderr, "labserver: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("%d\n", bound);
    std::fflush(stdout);

    std::atomic<bool> listening = true;
    std::thread waiter([&] {
        int received = 0;
        sigwait(&stopSignals, &received);
        stopping = true;
        // A signal may come before the server has started listening; stop
        // does nothing then, so keep asking until the loop has ended.
        while (listening) {
            server.stop();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    server.listen_after_bind();
    listening = false;
    if (!stopping)
        kill(getpid(), SIGTERM); // wakes the waiter
    waiter.join();
    return 0;
}
