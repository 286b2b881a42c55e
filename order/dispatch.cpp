#include "order/dispatch.h"

#include "app/file_operations.h"
#include "app/message_box.h"
#include "app/string_table.h"
#include "dialogs/order_limits.h"
#include "dialogs/sending_progress.h"
#include "net/error_log.h"
#include "net/server_connector.h"
#include "order/upload_names.h"
#include "order/zelvio_doc.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QSet>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <numeric>
#include <thread>

namespace zv {

namespace {

constexpr int kClientFetches = 5;

QString ConfigValue(TServerConnector& connector, const char* key)
{
    QString value;
    if (!connector.GetConfigVal(QString::fromLatin1(key), value))
        return QString();
    return value;
}

qint64 FileSize(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() ? info.size() : 0;
}

bool IsReadableNonEmpty(const QString& path)
{
    QFile file(path);
    return file.size() > 0 && file.open(QIODevice::ReadOnly);
}

// The final message. The server's text is used as a format for the order
// number only: its first "%d" takes the number and nothing else in it is
// interpreted, so a stray "%s" cannot read past the arguments.
QString FinishText(const QString& format, int number)
{
    QString text = format;
    const qsizetype at = text.indexOf(QLatin1String("%d"));
    if (at >= 0)
        text.replace(at, 2, QString::number(number));
    return text;
}

bool InFolder(const QString& path, const QString& folder)
{
    const QString dir = QDir::cleanPath(QFileInfo(path).absolutePath());
    return dir == QDir::cleanPath(folder);
}

} // namespace

TOrderDispatch::TOrderDispatch(TZelvioDoc& doc, _DispatchSeams seams) : m_doc(doc), m_seams(std::move(seams)) {}

void TOrderDispatch::Wait(int seconds)
{
    if (m_seams.wait) {
        m_seams.wait(seconds);
    } else if (QCoreApplication::instance()) {
        // The progress window stays painted and its cancel button is noted
        // meanwhile; the cancel takes effect when the wait is over.
        QEventLoop loop;
        QTimer::singleShot(std::chrono::seconds(seconds), &loop, &QEventLoop::quit);
        loop.exec();
    } else {
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
    }
}

void TOrderDispatch::RemovePhoto(int index)
{
    if (m_seams.windows)
        m_seams.windows->RemoveFromOrderGrid(m_doc.photos().GetAt(index));
    m_doc.photos().RemoveAt(index);
}

DispatchOutcome TOrderDispatch::SendOrder(int number)
{
    m_order = _OrderInfo{};
    m_client = _ClientInfo{};
    m_temporaryFiles.clear();
    std::unique_ptr<TServerConnector> ownConnector =
        m_seams.makeConnector ? m_seams.makeConnector() : std::make_unique<TServerConnector>();
    TServerConnector& connector = *ownConnector;
    TThumbsArray& photos = m_doc.photos();

    if (number == 0) {
        if (m_doc.login.isEmpty()) {
            m_client.punkty = ConfigValue(connector, "CLIENT_START_POINTS").toInt();
        } else {
            // A fresh account may not be filled in yet on the server's side.
            for (int i = 0; i < kClientFetches; ++i) {
                connector.GetClientInfo(m_doc.login, m_doc.password, m_client);
                if (!m_client.email.isEmpty() || !m_client.nazwisko.isEmpty())
                    break;
            }
        }

        const _OrderLimitsContext limits{
            [&] { return ConfigValue(connector, "MINIMAL_ORDER_PRICE"); },
            [&] { return double(m_doc.ComputeTotals(false).price); },
            [] { return GetCurrencyName(); },
        };
        if (!CheckOrderLimits(photos, m_doc.priceList(), OrderLimitsRules::All, limits))
            return DispatchOutcome::NotStarted;

        m_order.correctcolors = ConfigValue(connector, "ON_CORRECT_COLORS_OPTION") == u"1";
        if (m_doc.labId != 0)
            m_order.lab_id = m_doc.labId;
        if (m_seams.browser)
            m_seams.browser->SetNormalStyle();
        const int result = m_seams.wizard ? m_seams.wizard->Run(m_doc, m_order, m_client) : 0;
        for (int i = photos.GetSize() - 1; i >= 0; --i)
            if (photos.GetAt(i)->GetFirstFormatPosition() == 0)
                RemovePhoto(i);
        if (result != IOrderWizard::kFinished)
            return DispatchOutcome::NotStarted;

        if (m_doc.login.isEmpty()) {
            m_client.partner_id = 0;
            connector.CreateNewClient(m_client);
            m_doc.login = m_client.login;
            m_doc.password = m_client.password;
        } else {
            connector.UpdateClientInfo(m_doc.password, m_client);
        }
    }

    if (!connector.GetClientInfo(m_doc.login, m_doc.password, m_client)) {
        ShowMessage(LoadString(32797), MsgIcon::Warning);
        return DispatchOutcome::Stopped;
    }
    m_order.clientId = int(m_client.id);
    m_order.login = m_doc.login;
    m_order.password = m_doc.password;
    m_order.price = m_doc.ComputeTotals(false).price;

    ISendingOrderDlg* progress = m_seams.windows ? m_seams.windows->OpenProgress() : nullptr;
    if (!progress)
        return DispatchOutcome::Stopped;
    m_seams.windows->SetMainWindowVisible(false);
    progress->Show();

    const QString temp = NetProgramFolder() + QStringLiteral("__temp__");
    Prepare(connector, *progress, number, temp);

    TFileOperations files;
    int orderNumber = number;
    if (number == 0) {
        if (!connector.BeginNewOrder(m_order, photos, m_doc.promoCode, m_doc.priceList())) {
            ShowMessage(LoadString(32797), MsgIcon::Warning);
            files.DeleteTree(temp);
            for (int i = 0; i < photos.GetSize(); ++i)
                photos.GetAt(i)->RestoreFormats();
            Close(connector, progress);
            return DispatchOutcome::OpenFailed;
        }
        orderNumber = m_order.order_id;
        m_doc.SaveOrder(orderNumber);
    } else {
        m_order.order_id = number;
    }

    connector.SetStatusObserver(progress->StatusObserver());
    quint64 bytesToSend = 0;
    for (int i = 0; i < photos.GetSize(); ++i)
        bytesToSend += quint64(FileSize(photos.GetAt(i)->WorkPath));
    progress->SetBytesToSend(bytesToSend);

    QList<int> failed;
    quint64 position = 0;
    int attempts = kAttempts;
    for (int k = 0; k < photos.GetSize();) {
        TThumbData* photo = photos.GetAt(k);
        position = progress->GetProgress();
        progress->SetCurrentFile(photo->DisplayName);
        const qint64 size = FileSize(photo->WorkPath);
        if (connector.SendOrderFile(m_order.login, m_order.password, orderNumber, photo->DisplayName,
                                    photo->WorkPath, progress)) {
            attempts = kAttempts;
            if (size != 0)
                progress->SetProgress(position + quint64(size), false);
            if (m_temporaryFiles.contains(photo->WorkPath))
                QFile::remove(photo->WorkPath);
            ++k;
        } else {
            progress->SetProgress(position, true);
            if (--attempts > 0) {
                // A user who just cancelled is not kept waiting for a retry
                // that will not be made.
                if (!progress->IsCancelled())
                    Wait(kRetryWaitSeconds);
            } else {
                failed.append(k);
                attempts = kAttempts;
                ++k;
            }
        }
        if (progress->IsCancelled())
            break;
    }

    connector.SetStatusObserver(nullptr);
    // One more try for each file that failed four times; a second failure
    // leaves it missing on the server, to be sent later from the history.
    for (auto it = failed.crbegin(); it != failed.crend(); ++it) {
        TThumbData* photo = photos.GetAt(*it);
        progress->SetCurrentFile(photo->DisplayName);
        const qint64 size = FileSize(photo->WorkPath);
        if (connector.SendOrderFile(m_order.login, m_order.password, orderNumber, photo->DisplayName,
                                    photo->WorkPath, progress)) {
            if (size != 0)
                progress->SetProgress(position + quint64(size), false);
            if (m_temporaryFiles.contains(photo->WorkPath))
                QFile::remove(photo->WorkPath);
        }
    }

    files.DeleteTree(temp);
    DispatchOutcome outcome = DispatchOutcome::Sent;
    if (progress->IsCancelled()) {
        connector.CancelNewOrder(m_doc.login, m_doc.password, orderNumber);
        ShowMessage(LoadString(32798), MsgIcon::None);
        outcome = DispatchOutcome::Cancelled;
    } else {
        const QString custom = ConfigValue(connector, "SEND_ORDER_FINISH_TEXT");
        ShowMessage(FinishText(custom.isEmpty() ? LoadString(32862) : custom, orderNumber), MsgIcon::Information);
        if (!m_order.payment_extengine.isEmpty())
            StartPayment(m_order, m_client, connector, connector.GetClientVersion(), m_seams.payment,
                         m_seams.browser);
        if (m_seams.windows)
            for (int i = 0; i < photos.GetSize(); ++i)
                m_seams.windows->RemoveFromOrderGrid(photos.GetAt(i));
        photos.RemoveAll();
    }
    for (int i = 0; i < photos.GetSize(); ++i)
        photos.GetAt(i)->RestoreFormats();

    Close(connector, progress);
    return outcome;
}

bool TOrderDispatch::Prepare(TServerConnector& connector, ISendingOrderDlg& progress, int number,
                             const QString& temp)
{
    TThumbsArray& photos = m_doc.photos();
    const float resolution = MachineResolution(ConfigValue(connector, "MACHINE_DPI"));
    const int quality = ConfigValue(connector, "IMAGE_COMPRESS_QUALITY").toInt();
    const QString forbidden = ConfigValue(connector, "FNAME_NOT_ALLOWED_CHARS");
    QDir().mkpath(temp);

    progress.SetFileCount(photos.GetSize(), quint64(photos.GetSize()) * 2);
    progress.SetStatusText(LoadString(32806));
    progress.AdvanceBy(0);

    // Photos of the same name are numbered in the order of their paths, not
    // of the order: a sent order restored from its file lists its photos in
    // reverse, and numbering them anew in that order would send each photo
    // under the name of another one when its missing files are sent.
    std::vector<int> byPath(size_t(photos.GetSize()));
    std::iota(byPath.begin(), byPath.end(), 0);
    std::stable_sort(byPath.begin(), byPath.end(),
                     [&](int a, int b) { return photos.GetAt(a)->Path < photos.GetAt(b)->Path; });
    TUploadNames names(forbidden.isEmpty() ? DefaultForbiddenChars() : forbidden);
    std::vector<QString> uploadNames(byPath.size());
    std::vector<char> reencodeByName(byPath.size(), 0);
    for (int i : byPath) {
        bool reencode = false;
        uploadNames[size_t(i)] = names.Make(photos.GetAt(i)->DisplayName, reencode);
        reencodeByName[size_t(i)] = reencode;
    }

    qint64 totalBytes = 0;
    for (int i = 0; i < photos.GetSize(); ++i) {
        TThumbData* photo = photos.GetAt(i);
        photo->SaveFormats();
        bool reencode = reencodeByName[size_t(i)] != 0;
        photo->DisplayName = uploadNames[size_t(i)];
        progress.SetCurrentFile(photo->DisplayName);

        if (number != 0) {
            QString status;
            if (connector.GetFileStatus(number, photo->DisplayName, status) && status != u"toupload")
                continue;
        }

        const double scale = ScaleForResolution(*photo, m_doc.priceList(), resolution, m_order.compress, reencode);
        const bool modified = photo->Edits && photo->Edits->Modified;
        if (modified || reencode) {
            if (quality > 0)
                photo->JpegQuality = quality;
            photo->PrepareFile(temp, false, scale, photo->DisplayName);
            if (!IsReadableNonEmpty(photo->WorkPath))
                photo->PrepareFile(temp, true, scale, photo->DisplayName);
            if (InFolder(photo->WorkPath, temp))
                m_temporaryFiles.append(photo->WorkPath);
        }
        progress.AdvanceBy(0);
        totalBytes += FileSize(photo->WorkPath);
    }
    progress.SetFileCount(photos.GetSize(), quint64(totalBytes));
    progress.SetStatusText(LoadString(32807));
    return true;
}

void TOrderDispatch::Close(TServerConnector& connector, ISendingOrderDlg* progress)
{
    progress->Hide();
    m_seams.windows->CloseProgress(progress);
    m_seams.windows->SetMainWindowVisible(true);
    m_seams.windows->RefreshOrder(m_doc.ComputeTotals(false));

    if (m_doc.login.isEmpty())
        m_doc.clientInfo.punkty = ConfigValue(connector, "CLIENT_START_POINTS").toInt();
    else
        connector.GetClientInfo(m_doc.login, m_doc.password, m_doc.clientInfo);
    m_seams.windows->SetPointsText(TZelvioDoc::PointsText(m_doc.clientInfo.punkty, GetCurrencyName()));
}

} // namespace zv
