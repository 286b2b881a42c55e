#pragma once

// Test peers for sending orders: the laboratory's configuration values
// edited before the server starts, and a pyftpdlib FTP server on loopback.

#include "tests/net/labserver_process.h"

#include <QFile>
#include <QString>
#include <QStringList>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace zv::test {

// Sets (or, with a null value, removes) configuration values in the
// [config] section of a copied data folder's config.ini.
inline bool SetConfigValues(const QString& dataDir, const QList<std::pair<QString, QString>>& values)
{
    QFile file(dataDir + "/config.ini");
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
    file.close();
    for (const auto& [key, value] : values) {
        lines.removeIf([&](const QString& line) { return line.startsWith(key + u'='); });
        if (!value.isNull())
            lines.insert(lines.indexOf(QStringLiteral("[config]")) + 1, key + u'=' + value);
    }
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(lines.join(u'\n').toUtf8()) > 0;
}

// pyftpdlib serving root for user "lab" with password "secret".
class FtpServerProcess {
public:
    FtpServerProcess() = default;
    FtpServerProcess(const FtpServerProcess&) = delete;
    FtpServerProcess& operator=(const FtpServerProcess&) = delete;
    ~FtpServerProcess() { Stop(); }

    bool Start(const QString& root)
    {
        const char* script = "import sys, logging\n"
                             "logging.disable(logging.CRITICAL)\n"
                             "from pyftpdlib.authorizers import DummyAuthorizer\n"
                             "from pyftpdlib.handlers import FTPHandler\n"
                             "from pyftpdlib.servers import FTPServer\n"
                             "a = DummyAuthorizer(); a.add_user('lab', 'secret', sys.argv[1], perm='elradfmw')\n"
                             "h = FTPHandler; h.authorizer = a\n"
                             // Names are stored as the bytes that came, as most servers do.
                             "h.encoding = 'utf8'; h.unicode_errors = 'surrogateescape'\n"
                             "s = FTPServer(('127.0.0.1', 0), h)\n"
                             "print(s.address[1], flush=True)\n"
                             "s.serve_forever()\n";
        return SpawnPrintingPort({"/usr/bin/python3", "-c", script, root.toLocal8Bit().toStdString()}, m_pid, m_port);
    }

    void Stop()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }

    int Port() const { return m_port; }
    QString Address() const { return QStringLiteral("127.0.0.1:%1").arg(m_port); }

private:
    pid_t m_pid = -1;
    int m_port = 0;
};

} // namespace zv::test
