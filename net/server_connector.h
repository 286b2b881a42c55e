#pragma once

#include "net/server_connector_base.h"

#include <QFile>

#include <memory>
#include <optional>

namespace zv {

class CFtpConnection;
class CInternetSession;
class CInternetStatusCallback;
class ISendingOrderDlg;
class TPriceList;
class TThumbsArray;
struct _OrderInfo;

// The full connector: the client version, the program update commands and
// (with the order logic) the order commands.
class TServerConnector : public TServerConnectorBase {
public:
    TServerConnector();
    ~TServerConnector() override;

    // The build identifier, "-" and the build number; computed once.
    QString GetClientVersion() override;
    int GetPartnerId() override;

    // True when the server offers an update; packets takes the reply's count
    // (unchanged without a "packets" element). Logs every other answer.
    bool IsUpdateAvaliable(int& packets);
    // Asks for packets + 1 packets and appends the file replies into one file
    // in the program folder. True when at least one was saved; path names it.
    bool CheckForUpdate(int packets, QString& path);
    // Downloads the imaging module into the program folder.
    bool DownloadGDIPlus(QString& path);

    // Order transmission. One connector serves a whole order: the FTP
    // connection is made on the first upload and kept for its life.

    // Opens the order on the server with its header and one entry per photo
    // and format with a quantity; all fields travel packed. On success
    // order.order_id holds the server's number; saving the sent order is the
    // caller's. False (and logged, no request) when an entry's format lies
    // outside the price list.
    virtual bool BeginNewOrder(_OrderInfo& order, TThumbsArray& photos, const QString& promoCode,
                               const TPriceList& prices);
    // Sends one prepared file: skipped (true) when the server no longer
    // expects it; whole (by FTP when configured, else HTTP), then in parts
    // of POST_PART_SIZE kilobytes when that is set (a negative size skips
    // the whole-file attempt). A refused part is sent again until it is
    // accepted or the dialog reports a cancel. dialog may be null.
    bool SendOrderFile(const QString& login, const QString& password, int order, const QString& name,
                       const QString& path, ISendingOrderDlg* dialog);
    // status: the server's word for the file ("toupload": still expected).
    // False at once for order 0.
    bool GetFileStatus(int order, const QString& name, QString& status);
    bool CancelNewOrder(const QString& login, const QString& password, int order);

    // The observer of the HTTP client and of the FTP connection made from
    // now on (not owned, may be null).
    void SetStatusObserver(CInternetStatusCallback* observer);

    // The plain file name of a Content-Disposition header, or nothing when
    // the header names no usable file: the first 10 characters are dropped,
    // the name follows the first "filename=", quotation marks stay, and any
    // folder part (or "." / "..") is refused so the file stays in the
    // program folder.
    static std::optional<QString> ServedFileName(const QByteArray& disposition);

protected:
    // One request of SendOrderFile; part and parts are 0 for a whole file.
    virtual bool SendPartOrderFile(const QString& login, const QString& password, int order, const QString& name,
                           const QString& path, ISendingOrderDlg* dialog, int part, int parts);

    QString m_clientVersion;
    bool m_ftpPending = true;
    std::unique_ptr<CInternetSession> m_ftpSession;
    std::unique_ptr<CFtpConnection> m_ftpConnection;
    QString m_ftpDirectory;

private:
    // Sets up FTP when it is pending; clears the pending flag either way.
    void ConnectFtp();
    // Splits path into the parts folder and sends the parts; see SendOrderFile.
    bool SendInParts(const QString& login, const QString& password, int order, const QString& name,
                     const QString& path, ISendingOrderDlg* dialog, qint64 partSize);

    CInternetStatusCallback* m_statusObserver = nullptr;

    // True when the latest reply's Content-Type is exactly "application/exe".
    bool IsFileReply() const;
    // Appends the latest reply's body to file, letting one message run per piece.
    bool CopyBody(QFile& file);
};

// The currency name shown after every amount: the server's CURRENCY_NAME,
// asked for once per run; "PLN" when the request fails. An empty value is
// asked for again at the next call. GUI thread only.
QString GetCurrencyName();
// Forgets the cached name (tests).
void ResetCurrencyNameForTesting();

} // namespace zv
