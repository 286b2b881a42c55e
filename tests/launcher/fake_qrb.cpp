// Stand-ins for libqrb.so that let the launcher tests see what the launcher
// did: each writes what happened to "events.txt" beside itself.

#include "app/app_host.h"

#include <QApplication>
#include <QFile>
#include <QTimer>
#include <QWidget>

#include <dlfcn.h>
#include <unistd.h>

namespace {

QString ownFolder()
{
    Dl_info info{};
    dladdr(reinterpret_cast<void*>(&ownFolder), &info);
    const QString path = QFile::decodeName(info.dli_fname);
    return path.left(path.lastIndexOf(QLatin1Char('/')) + 1);
}

void record(const QString& event)
{
    QFile file(ownFolder() + QStringLiteral("events.txt"));
    if (file.open(QIODevice::Append | QIODevice::Text))
        file.write((event + QLatin1Char('\n')).toUtf8());
}

class Recorder final : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
public slots:
    void announced(const QString& commandLine) { record(QStringLiteral("announced ") + commandLine); }
};

class FakeTemplate final : public zv::CDocTemplate {
public:
    explicit FakeTemplate(QObject* app)
    {
        // By name: the library cannot link against the launcher's classes.
        QObject::connect(app, SIGNAL(secondInstanceAnnounced(QString)), &m_recorder, SLOT(announced(QString)));
    }

    bool OpenNewDocument() override
    {
        m_window = std::make_unique<QWidget>();
        m_window->setWindowTitle(QStringLiteral("fake"));
        record(QStringLiteral("started %1 %2").arg(QLatin1String(FAKE_VARIANT)).arg(getpid()));
        const int quitAfter = qEnvironmentVariableIntValue("FAKE_QRB_QUIT_AFTER_MS");
        if (quitAfter > 0)
            QTimer::singleShot(quitAfter, qApp, &QCoreApplication::quit);
        return true;
    }
    QWidget* MainWindow() const override { return m_window.get(); }

private:
    Recorder m_recorder; // the library's objects must die before it is unloaded
    std::unique_ptr<QWidget> m_window;
};

} // namespace

#ifndef FAKE_NO_EXPORT
extern "C" __attribute__((visibility("default"))) std::int32_t InitializeApp(zv::CAppHost* app,
                                                                           QString* newLibraryPath)
{
    record(QStringLiteral("init %1 %2").arg(QLatin1String(FAKE_VARIANT), QCoreApplication::arguments().join(' ')));
#if defined(FAKE_RESULT_STOP)
    return 0;
#elif defined(FAKE_RESULT_UPDATE)
    *newLibraryPath = ownFolder() + QStringLiteral("downloaded-update.so");
    return -1;
#else
    app->AddDocTemplate(std::make_unique<FakeTemplate>(app->Application()));
    return 1;
#endif
}
#endif

#include "fake_qrb.moc"
