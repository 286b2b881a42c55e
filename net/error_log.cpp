#include "net/error_log.h"

#include "app/program_folder.h"

#include <QDateTime>
#include <QFile>

namespace zv {

namespace {

bool g_firstEntry = true;
QString g_folderOverride;

} // namespace

QString NetProgramFolder()
{
    QString folder = g_folderOverride.isEmpty() ? GetProgramFolder() : g_folderOverride;
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

void SetNetProgramFolderForTesting(const QString& folder)
{
    g_folderOverride = folder;
    g_firstEntry = true;
}

void LogError(const QByteArray& message, const char* tag, int number)
{
    const QString path = NetProgramFolder() + QStringLiteral("error.log");
    if (g_firstEntry) {
        QFile::remove(path);
        g_firstEntry = false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray entry = "--- [" +
                       QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toLatin1() +
                       "], " + QByteArray(tag) + ":" + QByteArray::number(number) + " ---\n";
    entry += message;
    entry += "\n\n";
    // Text mode of the log's readers: every line feed is written as CR LF.
    entry.replace("\n", "\r\n");
    file.write(entry);
}

} // namespace zv
