// The order commands of TServerConnector: opening an order, sending its
// files (whole, in parts, by FTP) and withdrawing it.

#include "net/server_connector.h"

#include "app/build_info.h"
#include "app/cp1250.h"
#include "app/file_operations.h"
#include "dialogs/sending_progress.h"
#include "net/error_log.h"
#include "net/internet_handle.h"
#include "net/lenient_number.h"
#include "net/order_info.h"
#include "net/xml/xml_node.h"
#include "order/price_list.h"
#include "photos/thumbs_array.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtDebug>

#include <cstdlib>

namespace zv {

namespace {

constexpr quint16 kFtpPort = 21;
// Without a dialog nobody can cancel, so a part the server keeps refusing
// would be sent forever; such callers give up after this many attempts.
constexpr int kPartAttemptsWithoutDialog = 10;

QString Num(int value)
{
    return QString::number(value);
}

QString Money(double value)
{
    return QString::asprintf("%.2f", value);
}

// FTP_SERVER is a host name; "host:port" names another port than 21 (a
// test or an unusual laboratory setup).
void SplitFtpServer(const QString& server, QByteArray& host, quint16& port)
{
    host = server.toLatin1();
    port = kFtpPort;
    const qsizetype colon = server.lastIndexOf(u':');
    if (colon > 0 && server.count(u':') == 1) {
        bool ok = false;
        const uint p = server.mid(colon + 1).toUInt(&ok);
        if (ok && p > 0 && p < 65536) {
            host = server.left(colon).toLatin1();
            port = quint16(p);
        }
    }
}

QByteArray ProgramBaseName()
{
    const QString file = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    const QString base = QFileInfo(file).completeBaseName();
    return base.isEmpty() ? QByteArrayLiteral("zelvio") : base.toLocal8Bit();
}

} // namespace

void TServerConnector::SetStatusObserver(CInternetStatusCallback* observer)
{
    m_statusObserver = observer;
    m_client.SetStatusObserver(observer);
    if (m_ftpSession)
        m_ftpSession->SetStatusObserver(observer);
    if (m_ftpConnection)
        m_ftpConnection->SetStatusObserver(observer);
}

bool TServerConnector::BeginNewOrder(_OrderInfo& order, TThumbsArray& photos, const QString& promoCode,
                                     const TPriceList& prices)
{
    // Every entry must name a format of the list: the server cannot price
    // or print an entry without one, so such an order is not opened at all.
    for (int i = 0; i < photos.GetSize(); ++i) {
        const TThumbData* photo = photos.GetAt(i);
        intptr_t position = photo->GetFirstFormatPosition();
        while (position) {
            int format = 0, quantity = 0;
            photo->GetNextFormat(position, format, quantity);
            if (!prices.IsValidIndex(format)) {
                LogError("Response:\n\tformat index " + QByteArray::number(format) +
                             " of an order entry is outside the price list",
                         "?BeginNewOrder", 789);
                return false;
            }
        }
    }

    m_client.SetCompress(true);
    BeginCommand("BeginNewOrder");
    AddField("login", order.login);
    AddField("password", order.password);
    AddField("remarks", order.remarks);
    AddField("price", Money(double(order.price + order.correctionPrice)));
    AddField("lab_id", Num(order.lab_id));
    AddField("payment_id", Num(order.payment_id));
    AddField("payment_extengine", order.payment_extengine);
    AddField("kodpromocji", promoCode);
    AddField("correctcolors", Num(order.correctcolors ? 1 : 0));
    AddField("sendfacture", Num(order.sendfacture ? 1 : 0));
    AddField("usepoints", order.usepoints ? QStringLiteral("1") : QStringLiteral("0"));
    AddField("order_id", Num(order.order_id));
    AddPartnerId();
    AddField("singlecode", promoCode);

    int n = 0;
    for (int i = 0; i < photos.GetSize(); ++i) {
        TThumbData* photo = photos.GetAt(i);
        intptr_t position = photo->GetFirstFormatPosition();
        while (position) {
            int format = 0, quantity = 0;
            photo->GetNextFormat(position, format, quantity);
            const _format& f = prices.GetAt(format);
            const QString k = Num(++n);
            m_client.AddParam("print_name" + k, photo->DisplayName);
            m_client.AddParam("print_format" + k, f.name);
            m_client.AddParam("print_price" + k, Money(double(f.GetUnitPrice(quantity))));
            m_client.AddParam("print_quantity" + k, Num(quantity));
            if (const _FormatInfo* info = photo->GetFormatInfo(format)) {
                m_client.AddParam("print_paper" + k, info->Gradation);
                m_client.AddParam("print_efect" + k, info->ColorMode);
                m_client.AddParam("print_kadr" + k, info->Cropping);
                const TRect r = info->HasCropRect ? info->CropRect : TRect{};
                m_client.AddParam("print_x1" + k, Num(r.left));
                m_client.AddParam("print_y1" + k, Num(r.top));
                m_client.AddParam("print_x2" + k, Num(r.right));
                m_client.AddParam("print_y2" + k, Num(r.bottom));
            }
        }
    }

    int number = 0;
    const bool ok = RunEnvelope("?BeginNewOrder", 789, [&](const TXmlNode& e) {
        if (NameIs(e, "NewOrder"))
            number = AttrInt(e, "id");
    });
    m_client.SetCompress(false);
    if (ok)
        order.order_id = number;
    return ok;
}

bool TServerConnector::GetFileStatus(int order, const QString& name, QString& status)
{
    status.clear();
    if (order == 0)
        return false;
    BeginCommand("GetFileStatus");
    AddField("id", Num(order));
    AddField("name", name);
    AddPartnerId();
    return RunEnvelope("?GetFileStatus", 347, [&](const TXmlNode& e) {
        if (NameIs(e, "filestat"))
            status = AttrText(e, "value");
    });
}

bool TServerConnector::CancelNewOrder(const QString& login, const QString& password, int order)
{
    if (login.isNull() || password.isNull())
        return false;
    BeginCommand("CancelNewOrder");
    AddField("login", login);
    AddField("password", password);
    AddField("order_id", Num(order));
    AddPartnerId();
    return RunEnvelope("?CancelNewOrder", 855);
}

void TServerConnector::ConnectFtp()
{
    if (!m_ftpPending)
        return;
    m_ftpPending = false;
    QString server, user, password;
    GetConfigVal(QStringLiteral("FTP_SERVER"), server);
    GetConfigVal(QStringLiteral("FTP_USER"), user);
    GetConfigVal(QStringLiteral("FTP_PASSWORD"), password);
    GetConfigVal(QStringLiteral("FTP_DIRECTORY"), m_ftpDirectory);
    m_ftpConnection.reset();
    m_ftpSession.reset();
    if (server.isEmpty())
        return;
    try {
        m_ftpSession = std::make_unique<CInternetSession>(ProgramBaseName());
        m_ftpSession->SetStatusObserver(m_statusObserver);
        QByteArray host;
        quint16 port = kFtpPort;
        SplitFtpServer(server, host, port);
        const auto userBytes = cp1250::encode(user);
        const auto passwordBytes = cp1250::encode(password);
        if (!userBytes || !passwordBytes) {
            m_ftpSession.reset();
            return;
        }
        m_ftpConnection = std::make_unique<CFtpConnection>(*m_ftpSession, host, port, *userBytes, *passwordBytes);
        m_ftpConnection->SetStatusObserver(m_statusObserver);
    } catch (const CInternetException& e) {
        qWarning() << "FTP connection failed:" << e.message << e.responseText;
        m_ftpConnection.reset();
        m_ftpSession.reset();
    }
}

bool TServerConnector::SendPartOrderFile(const QString& login, const QString& password, int order,
                                         const QString& name, const QString& path, ISendingOrderDlg*, int part,
                                         int parts)
{
    if (login.isNull() || password.isNull() || name.isNull() || path.isNull())
        return false;
    ConnectFtp();
    bool sentByFtp = false;
    if (m_ftpConnection && parts == 0) {
        const QString remote = m_ftpDirectory.isEmpty()
                                   ? QStringLiteral("%1/%2/%3").arg(QLatin1String(kBuildId)).arg(order).arg(name)
                                   : QStringLiteral("%1/%2/%3/%4")
                                         .arg(m_ftpDirectory, QLatin1String(kBuildId))
                                         .arg(order)
                                         .arg(name);
        try {
            const auto remoteBytes = cp1250::encode(remote);
            if (!remoteBytes)
                throw CInternetException(m_ftpConnection.get(), 0, "Unknown error",
                                         QStringLiteral("remote path not in code page 1250: %1").arg(remote));
            m_ftpConnection->UploadFile(path, *remoteBytes);
            sentByFtp = true;
        } catch (const CInternetException& e) {
            qWarning() << "FTP upload failed, sending by HTTP:" << e.message << e.responseText;
            m_ftpPending = true;
        }
    }

    BeginCommand("SendOrderFile");
    AddField("login", login);
    AddField("password", password);
    AddField("order_id", Num(order));
    AddField("filename", name);
    AddPartnerId();
    if (sentByFtp) {
        AddField("ftp_upload", QStringLiteral("1"));
    } else {
        m_client.AddParam(QStringLiteral("orderfile"), path, true);
        if (parts != 0) {
            AddField("part_index", Num(part));
            AddField("nb_parts", Num(parts));
        }
    }
    return RunEnvelope("?SendPartOrderFile", 632);
}

bool TServerConnector::SendOrderFile(const QString& login, const QString& password, int order,
                                     const QString& name, const QString& path, ISendingOrderDlg* dialog)
{
    QString status;
    if (GetFileStatus(order, name, status) && status != u"toupload")
        return true;

    qint64 partSize = 0;
    QString value;
    if (GetConfigVal(QStringLiteral("POST_PART_SIZE"), value) && !value.isEmpty())
        partSize = qint64(LenientInt(value.toLatin1())) * 1024;

    ConnectFtp();
    const quint64 start = dialog ? dialog->GetProgress() : 0;
    bool sent = false;
    if (partSize >= 0)
        sent = SendPartOrderFile(login, password, order, name, path, dialog, 0, 0);
    else
        partSize = -partSize;
    if (partSize > 0 && !sent) {
        if (dialog)
            dialog->SetProgress(start, false);
        sent = SendInParts(login, password, order, name, path, dialog, partSize);
    }
    return sent;
}

bool TServerConnector::SendInParts(const QString& login, const QString& password, int order, const QString& name,
                                   const QString& path, ISendingOrderDlg* dialog, qint64 partSize)
{
    const QString temp = NetProgramFolder() + QStringLiteral("__temp__");
    if (!QDir().mkpath(temp))
        return false;
    const QString folder = temp + QStringLiteral("/_") + name;
    if (!QDir().mkpath(folder))
        return false;

    TFileOperations files;
    // Always clear the parts folder, whatever way this ends.
    struct Cleanup {
        TFileOperations& files;
        QString folder;
        ~Cleanup() { files.DeleteTree(folder); }
    } cleanup{files, folder};

    int count = 0;
    {
        QFile source(path);
        if (source.open(QIODevice::ReadOnly)) {
            // A length that is a multiple of the part size ends with an
            // empty part, as the server expects for such files.
            for (;;) {
                const QByteArray piece = source.read(partSize);
                QFile out(folder + u'/' + Num(++count));
                if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
                    out.write(piece) != piece.size() || !out.flush()) {
                    qWarning() << "cannot write the part" << out.fileName();
                    return false;
                }
                if (piece.size() < partSize)
                    break;
            }
        }
    }

    bool accepted = false;
    for (int j = 1; j <= count; ++j) {
        int attempts = 0;
        const QString partPath = folder + u'/' + QStringLiteral("%1.%2").arg(j).arg(count);
        QFile::remove(partPath);
        if (!files.MoveFile(folder + u'/' + Num(j), partPath))
            return false;
        for (;;) {
            const quint64 position = dialog ? dialog->GetProgress() : 0;
            accepted = SendPartOrderFile(login, password, order, name, partPath, dialog, j, count);
            if (dialog && dialog->IsCancelled())
                return false;
            if (accepted)
                break;
            if (dialog)
                dialog->SetProgress(position, false);
            if (!dialog && ++attempts >= kPartAttemptsWithoutDialog)
                return false;
        }
    }
    return accepted;
}

} // namespace zv
