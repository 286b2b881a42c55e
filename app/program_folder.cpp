#include "app/program_folder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace zv {

QString GetProgramFolder()
{
    // The library lives inside the launcher's process, so the executable's
    // folder is the launcher's even without an application object.
    QString folder = QCoreApplication::instance()
                         ? QCoreApplication::applicationDirPath()
                         : QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget())
                               .absolutePath();
    if (folder.isEmpty())
        folder = QDir::currentPath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

} // namespace zv
