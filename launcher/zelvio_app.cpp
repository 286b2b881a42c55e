#include "launcher/zelvio_app.h"

#include <QFile>
#include <QMessageBox>
#include <QWidget>

#include <dlfcn.h>

#include <cstdio>

namespace zv {
namespace {

// The launcher has no text resources of its own; these lines are for the
// terminal and for the one failure the user must be told about.
void reportToTerminal(const QString& line)
{
    std::fprintf(stderr, "zelvio: %s\n", qPrintable(line));
}

QString launcherFolder()
{
    QString folder = QCoreApplication::applicationDirPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace

TZelvioApp::TZelvioApp(int& argc, char** argv)
    : CSingleInstanceApp(argc, argv, QString::fromLatin1(kInstanceName))
{
    setOrganizationName(QStringLiteral("Tevaro"));
    // Settings live under the launcher's base name, as on the original
    // platform; Qt already takes the application name from the executable.
}

TZelvioApp::~TZelvioApp()
{
    ExitInstance();
}

void TZelvioApp::AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate)
{
    if (docTemplate)
        m_templates.push_back(std::move(docTemplate));
}

bool TZelvioApp::InitInstance()
{
    if (!IsFirstInstance())
        return false;

    for (;;) {
        const QString libraryPath = launcherFolder() + QLatin1String(kLibraryName);
        if (!loadLibrary(libraryPath))
            return fail();
        auto initializeApp = reinterpret_cast<InitializeAppFn>(dlsym(m_library, kInitializeAppSymbol));
        if (!initializeApp) {
            reportToTerminal(QStringLiteral("%1 has no %2").arg(libraryPath, QLatin1String(kInitializeAppSymbol)));
            return fail();
        }

        QString newLibraryPath;
        const std::int32_t result = initializeApp(this, &newLibraryPath);
        if (result == -1) {
            unloadLibrary();
            if (newLibraryPath.isEmpty() || !QFile::exists(newLibraryPath)) {
                reportToTerminal(QStringLiteral("the downloaded update %1 is missing").arg(newLibraryPath));
                return fail();
            }
            if (!installUpdate(libraryPath, newLibraryPath))
                return fail();
            continue;
        }

        if (result == 0 && m_templates.empty())
            return false; // the library ended start-up itself, e.g. after the version box

        // Whatever the command line names, the program opens a new, empty document.
        if (m_templates.empty() || !m_templates.front()->OpenNewDocument())
            return fail();
        QWidget* mainWindow = m_templates.front()->MainWindow();
        if (!mainWindow)
            return fail();
        mainWindow->show();
        mainWindow->repaint();
        return true;
    }
}

bool TZelvioApp::fail()
{
    m_exitCode = 1;
    return false;
}

void TZelvioApp::ExitInstance()
{
    m_templates.clear();
    // Objects the library queued for deletion must go while its code is mapped.
    sendPostedEvents(nullptr, QEvent::DeferredDelete);
    unloadLibrary();
}

bool TZelvioApp::loadLibrary(const QString& path)
{
    // An absolute path: the dynamic loader never searches for it.
    m_library = dlopen(QFile::encodeName(path).constData(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library) {
        reportToTerminal(QStringLiteral("cannot load %1: %2").arg(path, QString::fromLocal8Bit(dlerror())));
        return false;
    }
    return true;
}

void TZelvioApp::unloadLibrary()
{
    if (m_library) {
        dlclose(m_library);
        m_library = nullptr;
    }
}

bool TZelvioApp::installUpdate(const QString& libraryPath, const QString& downloadedPath)
{
    if (QFile::exists(libraryPath) && !QFile::remove(libraryPath)) {
        const QString why = QStringLiteral("cannot replace %1 with the downloaded update %2")
                                .arg(libraryPath, downloadedPath);
        reportToTerminal(why);
        QMessageBox::critical(nullptr, QStringLiteral("Zelvio"),
                              QStringLiteral("Nie można zainstalować pobranej aktualizacji programu:\n"
                                             "nie da się usunąć pliku %1.")
                                  .arg(libraryPath));
        return false;
    }
    if (!QFile::rename(downloadedPath, libraryPath)) {
        reportToTerminal(QStringLiteral("cannot rename %1 to %2").arg(downloadedPath, libraryPath));
        QMessageBox::critical(nullptr, QStringLiteral("Zelvio"),
                              QStringLiteral("Nie można zainstalować pobranej aktualizacji programu:\n"
                                             "nie da się przenieść pliku %1 do %2.")
                                  .arg(downloadedPath, libraryPath));
        return false;
    }
    return true;
}

} // namespace zv
