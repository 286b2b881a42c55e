#pragma once

// Owners of the network handles the form client and the FTP upload use. Each
// owner holds one libcurl handle (or its part of one) and frees it once.
// Operations of the owners throw CInternetException; the clients above them
// catch it and turn it into a false result.

#include "net/internet_status_callback.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <utility>
#include <vector>

typedef void CURL;

namespace zv {

class CInternetHandle;

// The error of a failed network step.
class CInternetException {
public:
    CInternetException(const CInternetHandle* handle, long lastError, QByteArray responseText,
                       QString message);

    const CInternetHandle* handle = nullptr;
    long lastError = 0;     // the library's error code at the failure
    long extendedError = 0; // the server's code, when one is known (HTTP status, FTP reply)
    QByteArray responseText; // the library's error text, or "Unknown error"
    QString message;
};

// Time limits of every transfer. No call may hang forever: a transfer that
// moves less than lowSpeedLimit bytes per second for lowSpeedSeconds fails.
struct TransferTimeouts {
    long connectSeconds = 30;
    long lowSpeedLimit = 1;
    long lowSpeedSeconds = 120;
};
const TransferTimeouts& CurrentTransferTimeouts();
// Tests shorten the limits; applies to transfers started afterwards.
void SetTransferTimeoutsForTesting(const TransferTimeouts& timeouts);

// Header codes understood by CHttpFile::QueryInfo.
enum class HttpQuery : unsigned { ContentType = 1, StatusCode = 19, ContentDisposition = 47 };

class CInternetHandle {
public:
    CInternetHandle() = default;
    CInternetHandle(const CInternetHandle&) = delete;
    CInternetHandle& operator=(const CInternetHandle&) = delete;
    virtual ~CInternetHandle() = default;

    // Attaches an observer (not owned, may be null) to this handle.
    void SetStatusObserver(CInternetStatusCallback* observer) { m_observer = observer; }
    CInternetStatusCallback* StatusObserver() const { return m_observer; }

    // Passes one notification with a byte count to the observer, if any.
    void NotifyCount(quint32 status, quint32 count);
    // Passes one notification without information.
    void Notify(quint32 status);

private:
    CInternetStatusCallback* m_observer = nullptr;
};

// An internet session: the user agent every connection made from it sends.
class CInternetSession final : public CInternetHandle {
public:
    explicit CInternetSession(QByteArray userAgent);
    const QByteArray& UserAgent() const { return m_userAgent; }

private:
    QByteArray m_userAgent;
};

// A connection to one server: one curl easy handle kept for the owner's life,
// so that the library can reuse the connection between requests.
class CInternetConnection : public CInternetHandle {
public:
    ~CInternetConnection() override;
    const QByteArray& Host() const { return m_host; }
    const QByteArray& UserAgent() const { return m_userAgent; }
    quint16 Port() const { return m_port; }
    CURL* Easy() const { return m_easy; }

protected:
    CInternetConnection(const CInternetSession& session, QByteArray host, quint16 port);
    // Sets the options every transfer of this connection shares.
    void ApplyCommonOptions();

    QByteArray m_userAgent;
    QByteArray m_host;
    quint16 m_port = 0;
    CURL* m_easy = nullptr;
};

class CHttpFile;

class CHttpConnection final : public CInternetConnection {
public:
    // scheme is "http" or "https"; https is spoken with TLS and certificate checks.
    CHttpConnection(const CInternetSession& session, QByteArray scheme, QByteArray host, quint16 port);
    const QByteArray& Scheme() const { return m_scheme; }

    // Opens a request object for verb and path (path with its query, encoded).
    std::unique_ptr<CHttpFile> OpenRequest(QByteArray verb, QByteArray path);

private:
    QByteArray m_scheme;
};

// One HTTP request. SendRequest carries out the whole exchange: the body goes
// out in pieces of at most kBodyPieceBytes, each giving the observer one
// request-sent notification; the reply is received into memory (at most
// kMaxReplyBytes) and then served by QueryInfo and Read.
class CHttpFile final : public CInternetHandle {
public:
    static constexpr qsizetype kBodyPieceBytes = 10240;
    static constexpr qsizetype kMaxReplyBytes = 256 * 1024 * 1024;

    CHttpFile(CHttpConnection& connection, QByteArray verb, QByteArray path);

    // Adds header lines ("Name: value", one per element); a later line of the
    // same name replaces an earlier one.
    void AddRequestHeader(const QByteArray& line);
    // Sends the request with body; throws on any failure.
    void SendRequest(const QByteArray& body);

    // The value of a reply header (or the status code as text); throws when
    // the request was not sent or the header is missing.
    QByteArray QueryInfo(HttpQuery query) const;
    // Copies up to size bytes of the reply body; 0 at the end.
    qint64 Read(char* buffer, qint64 size);

    int StatusCode() const { return m_status; }

private:
    static size_t ReadBody(char* buffer, size_t size, size_t count, void* self);
    static int SeekBody(void* self, long long offset, int origin);
    static int Connected(void* self, char*, char*, int, int);
    static size_t WriteReply(char* data, size_t size, size_t count, void* self);
    static size_t WriteHeader(char* data, size_t size, size_t count, void* self);

    CHttpConnection& m_connection;
    QByteArray m_verb;
    QByteArray m_path;
    std::vector<QByteArray> m_headerLines;
    QByteArray m_body;
    qsizetype m_bodySent = 0;
    qsizetype m_bodyNotified = 0; // a body resent on a fresh connection is counted once
    bool m_sent = false;
    int m_status = 0;
    std::vector<std::pair<QByteArray, QByteArray>> m_replyHeaders;
    QByteArray m_reply;
    bool m_replyTooLarge = false;
    qsizetype m_readPos = 0;
};

// An FTP connection: logs in at construction (passive mode) and uploads files
// in binary mode.
class CFtpConnection final : public CInternetConnection {
public:
    CFtpConnection(const CInternetSession& session, QByteArray host, quint16 port, QByteArray user,
                   QByteArray password);

    // Puts the local file at remotePath (relative to the login folder; missing
    // folders are made). Throws on failure.
    void UploadFile(const QString& localPath, const QByteArray& remotePath);

private:
    QByteArray BaseUrl() const;

    QByteArray m_user;
    QByteArray m_password;
};

} // namespace zv
