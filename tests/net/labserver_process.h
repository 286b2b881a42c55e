#pragma once

// Starts the real labserver binary on a free loopback port for one test and
// stops it with SIGTERM. Shared by the net and labserver tests.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <csignal>
#include <cstdlib>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace zv::test {

// The build's bin folder: ZV_BIN_DIR, else the folder of the test binary
// (tests are built into bin/ beside labserver).
inline QString BinDir()
{
    if (const char* dir = std::getenv("ZV_BIN_DIR"); dir && *dir)
        return QString::fromLocal8Bit(dir);
    return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath();
}

inline QString SourceDir()
{
    if (const char* dir = std::getenv("ZV_SOURCE_DIR"); dir && *dir)
        return QString::fromLocal8Bit(dir);
    return QStringLiteral(ZV_TEST_SOURCE_DIR);
}

// Copies the sample data folder into dest, so a test may change it.
inline bool CopySampleData(const QString& dest)
{
    const QString source = SourceDir() + "/labserver/data";
    QDir().mkpath(dest + "/pages");
    for (const QString& sub : {QString(), QStringLiteral("/pages")}) {
        for (const QString& name : QDir(source + sub).entryList(QDir::Files)) {
            QFile::remove(dest + sub + "/" + name);
            if (!QFile::copy(source + sub + "/" + name, dest + sub + "/" + name))
                return false;
        }
    }
    return true;
}

// Starts args[0] with args and reads its standard output up to the first
// line, which must be the port it listens on. False when either failed.
inline bool SpawnPrintingPort(std::vector<std::string> args, pid_t& pid, int& port)
{
    int fds[2];
    if (pipe(fds) != 0)
        return false;
    pid = fork();
    if (pid == 0) {
        dup2(fds[1], 1);
        close(fds[0]);
        close(fds[1]);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    std::string line;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n')
        line += c;
    close(fds[0]);
    port = std::atoi(line.c_str());
    return pid > 0 && port > 0;
}

class LabServerProcess {
public:
    LabServerProcess() = default;
    LabServerProcess(const LabServerProcess&) = delete;
    LabServerProcess& operator=(const LabServerProcess&) = delete;
    ~LabServerProcess() { Stop(); }

    // Starts labserver; the port it prints on its first line becomes Port().
    bool Start(const QString& dataDir, const QString& storeDir, const QStringList& extra = {})
    {
        std::vector<std::string> args = {(BinDir() + "/labserver").toStdString(), "--data",
                                         dataDir.toStdString(), "--store", storeDir.toStdString(), "--port", "0"};
        for (const QString& e : extra)
            args.push_back(e.toStdString());
        return SpawnPrintingPort(args, m_pid, m_port);
    }

    // SIGTERM and wait; the exit status (-1 when it did not exit normally).
    int Stop()
    {
        if (m_pid <= 0)
            return m_exit;
        kill(m_pid, SIGTERM);
        int status = 0;
        // A server that does not stop within ten seconds is killed and counts as failed.
        pid_t done = 0;
        for (int i = 0; i < 1000 && (done = waitpid(m_pid, &status, WNOHANG)) == 0; ++i)
            usleep(10000);
        if (done == 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            status = -1;
        }
        m_pid = -1;
        m_exit = status != -1 && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return m_exit;
    }

    int Port() const { return m_port; }
    QString BaseAddress() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

private:
    pid_t m_pid = -1;
    int m_port = 0;
    int m_exit = -1;
};

} // namespace zv::test
