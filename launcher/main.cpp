#include "launcher/zelvio_app.h"

#include <QCoreApplication>

#include <unistd.h>

int main(int argc, char** argv)
{
    // The browser of the payment pages lives in libqrb.so, loaded after the
    // application object exists; Qt WebEngine needs these before it.
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    if (geteuid() == 0 && qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1"); // Chromium refuses its sandbox as root

    zv::TZelvioApp app(argc, argv);
    if (!app.InitInstance())
        return app.ExitCode();
    const int code = app.exec();
    app.ExitInstance();
    return code;
}
