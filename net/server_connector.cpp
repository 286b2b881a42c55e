#include "net/server_connector.h"

#include "app/build_info.h"
#include "app/cp1250.h"
#include "app/file_operations.h"
#include "net/error_log.h"
#include "net/internet_handle.h"
#include "net/server_address.h"
#include "net/xml/xml_node.h"

#include <QCoreApplication>
#include <QtDebug>

namespace zv {

namespace {

constexpr qint64 kDownloadPiece = 10239;

void DispatchOnePendingMessage()
{
    if (QCoreApplication::instance())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
}

QString g_currencyName;

} // namespace

TServerConnector::TServerConnector() = default;

TServerConnector::~TServerConnector()
{
    // FTP first, then the client (a member of the base, destroyed after us).
    m_ftpConnection.reset();
    m_ftpSession.reset();
}

QString TServerConnector::GetClientVersion()
{
    if (m_clientVersion.isEmpty())
        m_clientVersion = QStringLiteral("%1-%2").arg(QLatin1String(kBuildId)).arg(kBuildNumber);
    return m_clientVersion;
}

int TServerConnector::GetPartnerId()
{
    return 0;
}

bool TServerConnector::IsUpdateAvaliable(int& packets)
{
    BeginCommand("IsUpdateAvaliable");
    AddPartnerId();
    return RunEnvelope("?IsUpdateAvaliable", 113, [&](const TXmlNode& e) {
        if (NameIs(e, "packets"))
            packets = AttrInt(e, "count");
    });
}

std::optional<QString> TServerConnector::ServedFileName(const QByteArray& disposition)
{
    const QByteArray rest = disposition.mid(10);
    const qsizetype at = rest.indexOf("filename=");
    if (at < 0)
        return std::nullopt;
    const QString name = cp1250::decode(rest.mid(at + 9));
    // Only a plain name inside the program folder: never a folder part.
    if (name.isEmpty() || name == u"." || name == u".." || name.contains(u'/') || name.contains(u'\\') ||
        name.contains(QChar(0)) || name.contains(u':'))
        return std::nullopt;
    return name;
}

bool TServerConnector::IsFileReply() const
{
    const CHttpFile* request = m_client.Request();
    if (!request)
        return false;
    try {
        return request->QueryInfo(HttpQuery::ContentType) == "application/exe";
    } catch (const CInternetException&) {
        return false;
    }
}

bool TServerConnector::CopyBody(QFile& file)
{
    CHttpFile* request = m_client.Request();
    QByteArray buffer(kDownloadPiece, Qt::Uninitialized);
    try {
        while (const qint64 n = request->Read(buffer.data(), kDownloadPiece)) {
            if (file.write(buffer.constData(), n) != n)
                return false;
            DispatchOnePendingMessage();
        }
    } catch (const CInternetException& e) {
        qWarning() << e.message;
        return false;
    }
    return true;
}

bool TServerConnector::CheckForUpdate(int packets, QString& path)
{
    BeginCommand("CheckForUpdate");
    AddPartnerId();
    QByteArray lastText;
    QFile file;
    bool success = false;
    // The packets are appended into one file: a packet that is missing
    // before a later one, or lost after data was written, would leave a torn
    // file, so the download then fails and the partial file goes.
    bool gap = false;
    bool broken = false;
    for (int n = 1; n <= packets + 1 && !broken; ++n) {
        m_client.AddHeader(QStringLiteral("PacketIndex"), QString::number(n));
        DispatchOnePendingMessage();
        if (!m_client.Open(ServerScriptAddress()) || !m_client.Send() || !m_client.Request()) {
            gap = true;
            broken = file.isOpen();
            continue;
        }
        if (!IsFileReply()) {
            m_client.ReadReply(lastText);
            gap = true;
            continue;
        }
        if (gap) {
            broken = true;
            continue;
        }
        if (!file.isOpen()) {
            QByteArray disposition;
            try {
                disposition = m_client.Request()->QueryInfo(HttpQuery::ContentDisposition);
            } catch (const CInternetException&) {
            }
            const auto name = ServedFileName(disposition);
            if (!name) {
                qWarning() << "update reply names no usable file:" << disposition;
                gap = true;
                continue;
            }
            const QString destination = NetProgramFolder() + *name;
            TFileOperations files;
            if (TFileOperations::GetPathType(destination) != 0)
                files.DeleteTree(destination);
            file.setFileName(destination);
            if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
                gap = true;
                continue;
            }
        }
        if (!CopyBody(file)) {
            broken = true;
            continue;
        }
        success = true;
        path = file.fileName();
    }
    file.close();
    if (broken) {
        if (!file.fileName().isEmpty())
            file.remove();
        success = false;
        path.clear();
    }
    if (success)
        return true;
    LogError("Response:\n\t" + lastText, "?CheckForUpdate", 211);
    return false;
}

bool TServerConnector::DownloadGDIPlus(QString& path)
{
    BeginCommand("GetNewGDIPlus");
    AddPartnerId();
    DispatchOnePendingMessage();
    QByteArray text;
    const auto fail = [&] {
        LogError("Response:\n\t" + text, "?DownloadGDIPlus", 288);
        return false;
    };
    if (!m_client.Open(ServerScriptAddress()) || !m_client.Send() || !m_client.Request())
        return fail();
    if (!IsFileReply()) {
        m_client.ReadReply(text);
        return fail();
    }
    QByteArray disposition;
    try {
        disposition = m_client.Request()->QueryInfo(HttpQuery::ContentDisposition);
    } catch (const CInternetException&) {
    }
    const auto name = ServedFileName(disposition);
    if (!name)
        return fail();
    QFile file(NetProgramFolder() + *name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail();
    if (!CopyBody(file)) {
        file.close();
        file.remove();
        return fail();
    }
    file.close();
    path = file.fileName();
    return true;
}

QString GetCurrencyName()
{
    if (g_currencyName.isEmpty()) {
        TServerConnector connector;
        if (!connector.GetConfigVal(QStringLiteral("CURRENCY_NAME"), g_currencyName))
            g_currencyName = QStringLiteral("PLN");
    }
    return g_currencyName;
}

void ResetCurrencyNameForTesting()
{
    g_currencyName.clear();
}

} // namespace zv
