#include "net/internet_handle.h"

#include <QFile>

#include <curl/curl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <mutex>

namespace zv {

namespace {

TransferTimeouts g_timeouts;
std::mutex g_timeoutsMutex;

void GlobalInit()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

QByteArray HeaderName(const QByteArray& line)
{
    const qsizetype colon = line.indexOf(':');
    return (colon < 0 ? line : line.left(colon)).trimmed().toLower();
}

// Feeds a file to an upload in pieces, with one notification per piece.
struct FileFeed {
    QFile* file = nullptr;
    CInternetHandle* owner = nullptr;
    bool failed = false;
};

size_t ReadFile(char* buffer, size_t size, size_t count, void* data)
{
    auto* feed = static_cast<FileFeed*>(data);
    const qint64 want = qint64(std::min<size_t>(size * count, size_t(CHttpFile::kBodyPieceBytes)));
    const qint64 got = feed->file->read(buffer, want);
    if (got < 0) {
        feed->failed = true;
        return CURL_READFUNC_ABORT;
    }
    if (got > 0)
        feed->owner->NotifyCount(kInternetStatusRequestSent, quint32(got));
    return size_t(got);
}

QByteArray PercentPath(const QByteArray& path)
{
    // Keep the separators; escape everything else an URL cannot carry.
    return path.toPercentEncoding("/");
}

} // namespace

const TransferTimeouts& CurrentTransferTimeouts()
{
    return g_timeouts;
}

void SetTransferTimeoutsForTesting(const TransferTimeouts& timeouts)
{
    std::lock_guard lock(g_timeoutsMutex);
    g_timeouts = timeouts;
}

CInternetException::CInternetException(const CInternetHandle* h, long error, QByteArray text,
                                       QString msg)
    : handle(h), lastError(error), responseText(text.isEmpty() ? QByteArray("Unknown error") : text),
      message(std::move(msg))
{
}

void CInternetHandle::NotifyCount(quint32 status, quint32 count)
{
    if (m_observer)
        m_observer->OnStatus(*this, status,
                             QByteArrayView(reinterpret_cast<const char*>(&count), sizeof count));
}

void CInternetHandle::Notify(quint32 status)
{
    if (m_observer)
        m_observer->OnStatus(*this, status, {});
}

CInternetSession::CInternetSession(QByteArray userAgent) : m_userAgent(std::move(userAgent))
{
    GlobalInit();
}

CInternetConnection::CInternetConnection(const CInternetSession& session, QByteArray host, quint16 port)
    : m_userAgent(session.UserAgent()), m_host(std::move(host)), m_port(port)
{
    GlobalInit();
    m_easy = curl_easy_init();
}

CInternetConnection::~CInternetConnection()
{
    if (m_easy)
        curl_easy_cleanup(m_easy);
}

void CInternetConnection::ApplyCommonOptions()
{
    const TransferTimeouts t = CurrentTransferTimeouts();
    curl_easy_setopt(m_easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_easy, CURLOPT_USERAGENT, m_userAgent.constData());
    curl_easy_setopt(m_easy, CURLOPT_CONNECTTIMEOUT, t.connectSeconds);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_LIMIT, t.lowSpeedLimit);
    curl_easy_setopt(m_easy, CURLOPT_LOW_SPEED_TIME, t.lowSpeedSeconds);
}

CHttpConnection::CHttpConnection(const CInternetSession& session, QByteArray scheme, QByteArray host,
                                 quint16 port)
    : CInternetConnection(session, std::move(host), port), m_scheme(std::move(scheme))
{
    if (!m_easy)
        throw CInternetException(this, 0, {},
                                 QStringLiteral("Failed to connect to server (%1:%2)")
                                     .arg(QString::fromLatin1(m_host))
                                     .arg(m_port));
}

std::unique_ptr<CHttpFile> CHttpConnection::OpenRequest(QByteArray verb, QByteArray path)
{
    return std::make_unique<CHttpFile>(*this, std::move(verb), std::move(path));
}

CHttpFile::CHttpFile(CHttpConnection& connection, QByteArray verb, QByteArray path)
    : m_connection(connection), m_verb(std::move(verb)), m_path(std::move(path))
{
}

void CHttpFile::AddRequestHeader(const QByteArray& line)
{
    const QByteArray name = HeaderName(line);
    std::erase_if(m_headerLines, [&](const QByteArray& l) { return HeaderName(l) == name; });
    m_headerLines.push_back(line);
}

size_t CHttpFile::ReadBody(char* buffer, size_t size, size_t count, void* data)
{
    auto* self = static_cast<CHttpFile*>(data);
    const qsizetype left = self->m_body.size() - self->m_bodySent;
    const qsizetype piece = std::min<qsizetype>({left, kBodyPieceBytes, qsizetype(size * count)});
    if (piece <= 0)
        return 0;
    std::memcpy(buffer, self->m_body.constData() + self->m_bodySent, size_t(piece));
    self->m_bodySent += piece;
    if (self->m_bodySent > self->m_bodyNotified) {
        self->NotifyCount(kInternetStatusRequestSent, quint32(self->m_bodySent - self->m_bodyNotified));
        self->m_bodyNotified = self->m_bodySent;
    }
    return size_t(piece);
}

int CHttpFile::Connected(void* data, char*, char*, int, int)
{
    static_cast<CHttpFile*>(data)->Notify(kInternetStatusConnectedToServer);
    return CURL_PREREQFUNC_OK;
}

int CHttpFile::SeekBody(void* data, long long offset, int origin)
{
    // The library rewinds when a kept-alive connection turned out closed.
    auto* self = static_cast<CHttpFile*>(data);
    if (origin != SEEK_SET || offset < 0 || offset > self->m_body.size())
        return CURL_SEEKFUNC_FAIL;
    self->m_bodySent = qsizetype(offset);
    return CURL_SEEKFUNC_OK;
}

size_t CHttpFile::WriteReply(char* data, size_t size, size_t count, void* p)
{
    auto* self = static_cast<CHttpFile*>(p);
    const size_t n = size * count;
    if (self->m_reply.size() + qsizetype(n) > kMaxReplyBytes) {
        self->m_replyTooLarge = true;
        return 0; // aborts the transfer
    }
    self->m_reply.append(data, qsizetype(n));
    self->NotifyCount(kInternetStatusResponseReceived, quint32(n));
    return n;
}

size_t CHttpFile::WriteHeader(char* data, size_t size, size_t count, void* p)
{
    auto* self = static_cast<CHttpFile*>(p);
    const QByteArray line = QByteArray(data, qsizetype(size * count)).trimmed();
    if (line.startsWith("HTTP/")) {
        // A new response (after an interim one) starts its own header set.
        self->m_replyHeaders.clear();
    } else if (const qsizetype colon = line.indexOf(':'); colon > 0) {
        self->m_replyHeaders.emplace_back(line.left(colon).trimmed().toLower(),
                                          line.mid(colon + 1).trimmed());
    }
    return size * count;
}

void CHttpFile::SendRequest(const QByteArray& body)
{
    CURL* easy = m_connection.Easy();
    m_body = body;
    m_bodySent = 0;
    m_bodyNotified = 0;
    m_sent = false;
    m_status = 0;
    m_reply.clear();
    m_replyHeaders.clear();
    m_replyTooLarge = false;
    m_readPos = 0;

    QByteArray url = m_connection.Scheme() + "://";
    url += m_connection.Host().contains(':') ? "[" + m_connection.Host() + "]" : m_connection.Host();
    url += ":" + QByteArray::number(m_connection.Port()) + m_path;

    curl_slist* headers = nullptr;
    for (const QByteArray& line : m_headerLines)
        headers = curl_slist_append(headers, line.constData());
    // HTTP/1.0 sends no Expect anyway; the empty header makes sure of it.
    headers = curl_slist_append(headers, "Expect:");
    std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headerGuard(headers, &curl_slist_free_all);

    char errorText[CURL_ERROR_SIZE] = {};
    curl_easy_reset(easy);
    const TransferTimeouts t = CurrentTransferTimeouts();
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_USERAGENT, m_connection.UserAgent().constData());
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT, t.connectSeconds);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, t.lowSpeedLimit);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, t.lowSpeedSeconds);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long(CURL_HTTP_VERSION_1_0));
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    if (m_verb == "POST") {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, curl_off_t(m_body.size()));
        curl_easy_setopt(easy, CURLOPT_READFUNCTION, &CHttpFile::ReadBody);
        curl_easy_setopt(easy, CURLOPT_READDATA, this);
        curl_easy_setopt(easy, CURLOPT_SEEKFUNCTION, &CHttpFile::SeekBody);
        curl_easy_setopt(easy, CURLOPT_SEEKDATA, this);
    } else {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, m_verb.constData());
    }
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CHttpFile::WriteReply);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CHttpFile::WriteHeader);
    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, &CHttpFile::Connected);
    curl_easy_setopt(easy, CURLOPT_PREREQDATA, this);

    Notify(kInternetStatusSendingRequest);
    const CURLcode rc = curl_easy_perform(easy);
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, nullptr);
    curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, nullptr);
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    m_status = int(status);
    if (rc != CURLE_OK) {
        QByteArray text = errorText[0] ? QByteArray(errorText) : QByteArray(curl_easy_strerror(rc));
        if (m_replyTooLarge)
            text = "reply too large";
        m_reply.clear();
        CInternetException e(this, long(rc), text, QStringLiteral("Failed to send http request"));
        e.extendedError = status;
        throw e;
    }
    m_sent = true;
    Notify(kInternetStatusRequestComplete);
}

QByteArray CHttpFile::QueryInfo(HttpQuery query) const
{
    const auto fail = [&] {
        return CInternetException(this, 0, {},
                                  QStringLiteral("Failed to query http info (%1)").arg(unsigned(query)));
    };
    if (!m_sent)
        throw fail();
    QByteArray name;
    switch (query) {
    case HttpQuery::StatusCode:
        return QByteArray::number(m_status);
    case HttpQuery::ContentType:
        name = "content-type";
        break;
    case HttpQuery::ContentDisposition:
        name = "content-disposition";
        break;
    }
    for (const auto& [n, v] : m_replyHeaders)
        if (n == name)
            return v;
    throw fail();
}

qint64 CHttpFile::Read(char* buffer, qint64 size)
{
    if (!m_sent)
        throw CInternetException(this, 0, {},
                                 QStringLiteral("Failed to read from network (%1 bytes)").arg(size));
    const qint64 n = std::min<qint64>(size, m_reply.size() - m_readPos);
    if (n <= 0)
        return 0;
    std::memcpy(buffer, m_reply.constData() + m_readPos, size_t(n));
    m_readPos += n;
    return n;
}

CFtpConnection::CFtpConnection(const CInternetSession& session, QByteArray host, quint16 port,
                               QByteArray user, QByteArray password)
    : CInternetConnection(session, std::move(host), port), m_user(std::move(user)),
      m_password(std::move(password))
{
    const auto fail = [&](long code, const QByteArray& text) {
        return CInternetException(this, code, text,
                                  QStringLiteral("Failed to connect to server (%1:%2)")
                                      .arg(QString::fromLatin1(m_host))
                                      .arg(m_port));
    };
    if (!m_easy)
        throw fail(0, {});
    // Log in now, as the connection is made, so that a wrong server or
    // password shows here and not at the first upload.
    char errorText[CURL_ERROR_SIZE] = {};
    ApplyCommonOptions();
    const QByteArray url = BaseUrl();
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(m_easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_password.constData());
    curl_easy_setopt(m_easy, CURLOPT_NOBODY, 1L);
    const CURLcode rc = curl_easy_perform(m_easy);
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, nullptr);
    if (rc != CURLE_OK)
        throw fail(long(rc), QByteArray(errorText));
}

QByteArray CFtpConnection::BaseUrl() const
{
    QByteArray host = m_host.contains(':') ? "[" + m_host + "]" : m_host;
    return "ftp://" + host + ":" + QByteArray::number(m_port) + "/";
}

void CFtpConnection::UploadFile(const QString& localPath, const QByteArray& remotePath)
{
    const auto fail = [&](long code, const QByteArray& text) {
        return CInternetException(this, code, text,
                                  QStringLiteral("Failed to upload file (%1 -> %2)")
                                      .arg(localPath, QString::fromLatin1(remotePath)));
    };
    QFile file(localPath);
    if (!file.open(QIODevice::ReadOnly))
        throw fail(0, file.errorString().toUtf8());
    FileFeed feed{&file, this};
    char errorText[CURL_ERROR_SIZE] = {};
    QByteArray remote = remotePath;
    while (remote.startsWith('/'))
        remote.remove(0, 1);
    const QByteArray url = BaseUrl() + PercentPath(remote);

    curl_easy_reset(m_easy);
    ApplyCommonOptions();
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(m_easy, CURLOPT_URL, url.constData());
    curl_easy_setopt(m_easy, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(m_easy, CURLOPT_PASSWORD, m_password.constData());
    curl_easy_setopt(m_easy, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(m_easy, CURLOPT_INFILESIZE_LARGE, curl_off_t(file.size()));
    curl_easy_setopt(m_easy, CURLOPT_READFUNCTION, &ReadFile);
    curl_easy_setopt(m_easy, CURLOPT_READDATA, &feed);
    curl_easy_setopt(m_easy, CURLOPT_FTP_CREATE_MISSING_DIRS, long(CURLFTP_CREATE_DIR));
    curl_easy_setopt(m_easy, CURLOPT_TRANSFERTEXT, 0L);
    const CURLcode rc = curl_easy_perform(m_easy);
    curl_easy_setopt(m_easy, CURLOPT_ERRORBUFFER, nullptr);
    if (rc != CURLE_OK || feed.failed)
        throw fail(long(rc), QByteArray(errorText));
}

} // namespace zv
