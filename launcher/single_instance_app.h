#pragma once

#include <QApplication>
#include <QString>

class QLocalServer;

namespace zv {

// An application object that keeps the program to one instance per desktop
// session. The first instance holds an advisory lock on a file named after
// the instance name; the system drops it when the process ends, however it
// ends, so a crashed first instance never blocks the next start. A later
// instance forwards its command line over a local socket and is told to end.
class CSingleInstanceApp : public QApplication {
    Q_OBJECT
public:
    CSingleInstanceApp(int& argc, char** argv, const QString& instanceName);
    ~CSingleInstanceApp() override;

    bool IsFirstInstance() const { return m_firstInstance; }

    // Called in the first instance when a later one has announced itself.
    virtual void OnSecondInstance(quintptr wParam, quintptr lParam);

signals:
    // Emitted with the later instance's command line, after OnSecondInstance.
    void secondInstanceAnnounced(const QString& commandLine);

private:
    void acceptAnnouncements();
    void announceToFirstInstance();

    QString m_instanceName;
    QString m_socketPath;
    int m_lockFd = -1;
    bool m_firstInstance = false;
    QLocalServer* m_server = nullptr;
};

} // namespace zv
