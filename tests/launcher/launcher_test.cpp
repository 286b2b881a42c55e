// Runs the real launcher, copied into a scratch folder beside a stand-in
// library, and watches what it does.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <signal.h>

namespace {

constexpr int kTimeoutMs = 15000;

class LauncherTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "launcher_test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
    }

    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZELVIO_EXE), path("zelvio")));
        QFile::setPermissions(path("zelvio"), QFile::ExeOwner | QFile::ReadOwner | QFile::WriteOwner);
    }

    void TearDown() override
    {
        for (QProcess* process : m_processes) {
            if (process->state() != QProcess::NotRunning) {
                process->kill();
                process->waitForFinished(kTimeoutMs);
            }
            delete process;
        }
    }

    QString path(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    void installLibrary(const char* variant, const char* as = "libqrb.so")
    {
        const QString source = QStringLiteral(FAKE_QRB_DIR "/libfake_qrb_%1.so").arg(QLatin1String(variant));
        ASSERT_TRUE(QFile::copy(source, path(as))) << qPrintable(source);
    }

    QProcess* start(const QStringList& arguments = {}, int quitAfterMs = 0)
    {
        auto* process = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path()); // a lock of this test's own
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.path());
        if (quitAfterMs > 0)
            env.insert(QStringLiteral("FAKE_QRB_QUIT_AFTER_MS"), QString::number(quitAfterMs));
        process->setProcessEnvironment(env);
        process->start(path("zelvio"), arguments);
        EXPECT_TRUE(process->waitForStarted(kTimeoutMs));
        m_processes.push_back(process);
        return process;
    }

    QStringList events() const
    {
        QFile file(path("events.txt"));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }

    int countEvents(const QString& prefix) const
    {
        int n = 0;
        for (const QString& event : events())
            n += event.startsWith(prefix) ? 1 : 0;
        return n;
    }

    // Polls a condition the launcher's process brings about.
    bool waitFor(const std::function<bool()>& condition) const
    {
        QDeadlineTimer deadline(kTimeoutMs);
        while (!condition()) {
            if (deadline.hasExpired())
                return false;
            QThread::msleep(20);
        }
        return true;
    }

    static int exitCodeOf(QProcess* process)
    {
        EXPECT_TRUE(process->waitForFinished(kTimeoutMs));
        EXPECT_EQ(process->exitStatus(), QProcess::NormalExit);
        return process->exitCode();
    }

    QTemporaryDir m_dir;
    std::vector<QProcess*> m_processes;
};

TEST_F(LauncherTest, MissingLibraryEndsWithoutWindowNamingTheFile)
{
    QProcess* zelvio = start();
    EXPECT_EQ(exitCodeOf(zelvio), 1);
    EXPECT_TRUE(QString::fromLocal8Bit(zelvio->readAllStandardError()).contains(path("libqrb.so")));
}

TEST_F(LauncherTest, MissingExportEndsWithoutWindowNamingTheFile)
{
    installLibrary("noexport");
    QProcess* zelvio = start();
    EXPECT_EQ(exitCodeOf(zelvio), 1);
    const QString error = QString::fromLocal8Bit(zelvio->readAllStandardError());
    EXPECT_TRUE(error.contains(path("libqrb.so"))) << qPrintable(error);
    EXPECT_TRUE(error.contains(QLatin1String("InitializeApp"))) << qPrintable(error);
}

TEST_F(LauncherTest, LibraryEndingStartUpEndsQuietly)
{
    installLibrary("stop");
    QProcess* zelvio = start();
    EXPECT_EQ(exitCodeOf(zelvio), 0);
    EXPECT_EQ(countEvents(QStringLiteral("init stop")), 1);
    EXPECT_EQ(countEvents(QStringLiteral("started")), 0);
}

TEST_F(LauncherTest, ArgumentsNeverChangeWhatOpens)
{
    installLibrary("window");
    QProcess* zelvio = start({path("libqrb.so"), QStringLiteral("/tmp/photo.jpg")}, 50);
    EXPECT_EQ(exitCodeOf(zelvio), 0);
    EXPECT_EQ(countEvents(QStringLiteral("started window")), 1);
}

TEST_F(LauncherTest, SecondInstanceEndsAndFirstIsAnnounced)
{
    installLibrary("window");
    start();
    ASSERT_TRUE(waitFor([&] { return countEvents(QStringLiteral("started")) == 1; }));

    QProcess* second = start({QStringLiteral("second-arg")});
    EXPECT_EQ(exitCodeOf(second), 0);
    ASSERT_TRUE(waitFor([&] { return countEvents(QStringLiteral("announced")) == 1; }));
    EXPECT_TRUE(events().filter(QStringLiteral("announced")).first().contains(QLatin1String("second-arg")));
    EXPECT_EQ(countEvents(QStringLiteral("init")), 1) << "the second process must not load the library";
}

TEST_F(LauncherTest, KilledFirstInstanceNeverBlocksTheNextStart)
{
    installLibrary("window");
    QProcess* first = start();
    ASSERT_TRUE(waitFor([&] { return countEvents(QStringLiteral("started")) == 1; }));
    ::kill(static_cast<pid_t>(first->processId()), SIGKILL);
    ASSERT_TRUE(first->waitForFinished(kTimeoutMs));

    QProcess* next = start({}, 50);
    EXPECT_EQ(exitCodeOf(next), 0);
    EXPECT_EQ(countEvents(QStringLiteral("started")), 2);
}

TEST_F(LauncherTest, DownloadedUpdateReplacesTheLibraryAndRunsInTheSameProcess)
{
    installLibrary("update");
    installLibrary("window", "downloaded-update.so");
    QFile update(path("downloaded-update.so"));
    ASSERT_TRUE(update.open(QIODevice::ReadOnly));
    const QByteArray updateBytes = update.readAll();

    QProcess* zelvio = start({}, 50);
    const qint64 pid = zelvio->processId();
    EXPECT_EQ(exitCodeOf(zelvio), 0);

    const QStringList seen = events();
    ASSERT_EQ(seen.size(), 3) << qPrintable(seen.join('|'));
    EXPECT_TRUE(seen[0].startsWith(QLatin1String("init update")));
    EXPECT_TRUE(seen[1].startsWith(QLatin1String("init window")));
    EXPECT_EQ(seen[2].toStdString(), QStringLiteral("started window %1").arg(pid).toStdString());
    EXPECT_FALSE(QFile::exists(path("downloaded-update.so")));
    QFile installed(path("libqrb.so"));
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly));
    EXPECT_EQ(installed.readAll(), updateBytes);
}

TEST_F(LauncherTest, UpdateWhoseFileIsMissingEndsStartUp)
{
    installLibrary("update");
    QProcess* zelvio = start();
    EXPECT_EQ(exitCodeOf(zelvio), 1);
    EXPECT_EQ(countEvents(QStringLiteral("started")), 0);
    EXPECT_TRUE(QFile::exists(path("libqrb.so")));
}

} // namespace
