#include "launcher/single_instance_app.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace zv {
namespace {

constexpr int kMaxCommandLineBytes = 2047;
constexpr int kAnnounceTimeoutMs = 1000;

// One lock and socket per user session: the runtime folder is private to the
// user and emptied at log-out.
QString runtimeFolder()
{
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists()) {
        dir = QDir::tempPath() + QStringLiteral("/zelvio-%1").arg(getuid());
        QDir().mkpath(dir);
    }
    return dir;
}

QByteArray commandLineOf(const QStringList& arguments)
{
    QByteArray line = arguments.join(QLatin1Char(' ')).toUtf8();
    line.truncate(kMaxCommandLineBytes);
    return line;
}

} // namespace

CSingleInstanceApp::CSingleInstanceApp(int& argc, char** argv, const QString& instanceName)
    : QApplication(argc, argv)
    , m_instanceName(instanceName)
{
    const QString base = runtimeFolder() + QLatin1Char('/') + instanceName;
    const QByteArray lockPath = QFile::encodeName(base + QStringLiteral(".lock"));
    m_lockFd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    // Without a lock file there is no way to tell; run rather than refuse.
    m_firstInstance = m_lockFd < 0 || ::flock(m_lockFd, LOCK_EX | LOCK_NB) == 0;

    m_socketPath = base + QStringLiteral(".sock");
    if (m_firstInstance) {
        m_server = new QLocalServer(this);
        m_server->setSocketOptions(QLocalServer::UserAccessOption);
        // We hold the lock, so a socket file left over is a dead instance's.
        QLocalServer::removeServer(m_socketPath);
        if (m_server->listen(m_socketPath))
            connect(m_server, &QLocalServer::newConnection, this,
                    &CSingleInstanceApp::acceptAnnouncements);
        else
            qWarning("zelvio: cannot listen on %s: %s", qPrintable(m_socketPath),
                     qPrintable(m_server->errorString()));
    } else {
        announceToFirstInstance();
    }
}

CSingleInstanceApp::~CSingleInstanceApp()
{
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd); // releases the lock
}

void CSingleInstanceApp::OnSecondInstance(quintptr, quintptr) {}

void CSingleInstanceApp::acceptAnnouncements()
{
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine() && socket->bytesAvailable() <= kMaxCommandLineBytes)
                return;
            const QString commandLine = QString::fromUtf8(socket->readLine(kMaxCommandLineBytes + 2)).trimmed();
            socket->disconnectFromServer();
            OnSecondInstance(0, 0);
            emit secondInstanceAnnounced(commandLine);
        });
    }
}

void CSingleInstanceApp::announceToFirstInstance()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(kAnnounceTimeoutMs))
        return; // the first instance is still starting or gone: end silently all the same
    socket.write(commandLineOf(arguments()) + '\n');
    socket.waitForBytesWritten(kAnnounceTimeoutMs);
    socket.disconnectFromServer();
}

} // namespace zv
