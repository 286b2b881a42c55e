#include "net/server_address.h"

#include "net/error_log.h"

#include <QSettings>

#include <mutex>

namespace zv {

namespace {

std::mutex g_mutex;
bool g_known = false;
QString g_address;

QString Normalised(QString address)
{
    address = address.trimmed();
    if (!address.isEmpty() && !address.endsWith(u'/'))
        address += u'/';
    return address;
}

} // namespace

QString ServerBaseAddress()
{
    std::lock_guard lock(g_mutex);
    if (!g_known) {
        const QByteArray env = qgetenv("ZELVIO_SERVER");
        if (!env.isEmpty()) {
            g_address = Normalised(QString::fromLocal8Bit(env));
        } else {
            QSettings ini(NetProgramFolder() + QStringLiteral("zelvio.ini"), QSettings::IniFormat);
            g_address = Normalised(ini.value(QStringLiteral("Server/Address")).toString());
        }
        g_known = true;
    }
    return g_address;
}

QString ServerScriptAddress()
{
    const QString base = ServerBaseAddress();
    return base.isEmpty() ? QString() : base + QStringLiteral("zv.php");
}

void SetServerBaseAddressForTesting(const QString& address)
{
    std::lock_guard lock(g_mutex);
    g_address = Normalised(address);
    g_known = true;
}

} // namespace zv
