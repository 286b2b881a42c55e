#pragma once

// Test peers for sending orders: the laboratory's configuration values
// edited before the server starts, and a pyftpdlib FTP server on loopback.

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
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(fds[1], 1);
            close(fds[0]);
            const QByteArray folder = root.toLocal8Bit();
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
            execl("/usr/bin/python3", "python3", "-c", script, folder.constData(), nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string line;
        char c = 0;
        while (read(fds[0], &c, 1) == 1 && c != '\n')
            line += c;
        close(fds[0]);
        m_port = std::atoi(line.c_str());
        return m_pid > 0 && m_port > 0;
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
