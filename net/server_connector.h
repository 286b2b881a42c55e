#pragma once

#include "net/server_connector_base.h"

#include <QFile>

#include <memory>
#include <optional>

namespace zv {

class CFtpConnection;
class CInternetSession;

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

    // The plain file name of a Content-Disposition header, or nothing when
    // the header names no usable file: the first 10 characters are dropped,
    // the name follows the first "filename=", quotation marks stay, and any
    // folder part (or "." / "..") is refused so the file stays in the
    // program folder.
    static std::optional<QString> ServedFileName(const QByteArray& disposition);

protected:
    QString m_clientVersion;
    bool m_ftpPending = true;
    std::unique_ptr<CInternetSession> m_ftpSession;
    std::unique_ptr<CFtpConnection> m_ftpConnection;
    QString m_ftpDirectory;

private:
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
