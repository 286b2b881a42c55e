#include "net/http_client.h"

#include "app/cp1250.h"
#include "net/xml/xml_node.h"

#include <QDir>
#include <QFile>
#include <QTemporaryFile>
#include <QtDebug>

#include <curl/curl.h>

namespace zv {

namespace {

constexpr qsizetype kMaxHost = 256;
constexpr qsizetype kMaxPath = 2048;

struct SplitAddress {
    QByteArray scheme, host, path;
    quint16 port = 0;
};

std::optional<SplitAddress> Split(const QString& address)
{
    if (address.isEmpty())
        return std::nullopt;
    QByteArray text = address.toUtf8();
    text.replace(" ", "%20");
    CURLU* url = curl_url();
    if (!url)
        return std::nullopt;
    std::unique_ptr<CURLU, decltype(&curl_url_cleanup)> guard(url, &curl_url_cleanup);
    if (curl_url_set(url, CURLUPART_URL, text.constData(), CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK)
        return std::nullopt;
    const auto part = [&](CURLUPart which, unsigned flags = 0) -> std::optional<QByteArray> {
        char* value = nullptr;
        if (curl_url_get(url, which, &value, flags) != CURLUE_OK)
            return std::nullopt;
        QByteArray out(value);
        curl_free(value);
        return out;
    };
    SplitAddress out;
    const auto scheme = part(CURLUPART_SCHEME);
    const auto host = part(CURLUPART_HOST);
    const auto port = part(CURLUPART_PORT, CURLU_DEFAULT_PORT);
    const auto path = part(CURLUPART_PATH);
    if (!scheme || !host || !path)
        return std::nullopt;
    out.scheme = scheme->toLower();
    out.host = *host;
    if (out.host.startsWith('[') && out.host.endsWith(']'))
        out.host = out.host.mid(1, out.host.size() - 2);
    out.port = port ? quint16(port->toUInt()) : 0;
    out.path = *path;
    if (const auto query = part(CURLUPART_QUERY))
        out.path += "?" + *query;
    if (out.host.size() > kMaxHost || out.path.size() > kMaxPath)
        return std::nullopt;
    return out;
}

} // namespace

THttpClient::~THttpClient()
{
    // Request, connection, session: in this order.
    m_request.reset();
    m_connection.reset();
    m_session.reset();
}

bool THttpClient::Open(const QString& address)
{
    if (!m_session) {
        m_session = std::make_unique<CInternetSession>(QByteArray(kUserAgent));
        m_session->SetStatusObserver(m_statusObserver);
    }
    if (const auto split = Split(address)) {
        m_path = split->path;
        const bool usable = (split->scheme == "http" || split->scheme == "https") && split->port != 0;
        if (usable && !m_connection) {
            try {
                m_connection = std::make_unique<CHttpConnection>(*m_session, split->scheme,
                                                                 split->host, split->port);
                m_connection->SetStatusObserver(m_statusObserver);
            } catch (const CInternetException& e) {
                qWarning() << e.message;
                m_connection.reset();
            }
        }
    }
    return m_session && m_connection;
}

void THttpClient::AddParam(const QString& name, const QString& value, bool isFile)
{
    if (name.isEmpty())
        return;
    m_fields.push_back({name, value.isNull() ? QStringLiteral("") : value, isFile});
}

void THttpClient::AddHeader(const QString& name, const QString& value)
{
    m_headers[name] = value;
}

void THttpClient::ResetParams()
{
    m_fields.clear();
    m_headers.clear();
}

bool THttpClient::Send()
{
    return SendFields(m_fields);
}

bool THttpClient::SendFields(const std::vector<Field>& fields)
{
    if (!m_connection)
        return false;
    m_request.reset();

    const bool multipart = std::any_of(fields.begin(), fields.end(), [](const Field& f) { return f.isFile; });
    QByteArray body;
    for (const Field& f : fields) {
        const auto name = cp1250::encode(f.name);
        const auto value = cp1250::encode(f.value);
        if (!name || !value) {
            qWarning() << "field not representable in code page 1250:" << f.name;
            return false;
        }
        if (!multipart) {
            if (!body.isEmpty())
                body += '&';
            body += *name + '=' + *value;
        } else if (!f.isFile) {
            body += "--" + QByteArray(kBoundary) + "\r\nContent-Disposition: form-data; name=\"" + *name +
                    "\"\r\n\r\n" + *value + "\r\n";
        } else {
            body += "--" + QByteArray(kBoundary) + "\r\nContent-Disposition: form-data; name=\"" + *name +
                    "\"; filename=\"" + *value + "\"\r\n\r\n";
            QFile file(f.value);
            if (file.open(QIODevice::ReadOnly))
                body += file.readAll();
            body += "\r\n";
        }
    }
    if (multipart)
        body += "--" + QByteArray(kBoundary) + "--\r\n";

    try {
        auto request = m_connection->OpenRequest("POST", m_path);
        request->SetStatusObserver(m_statusObserver);
        request->AddRequestHeader("Accept: */*");
        if (multipart) {
            request->AddRequestHeader("Content-Type: multipart/form-data; boundary=" + QByteArray(kBoundary));
            request->AddRequestHeader("Content-Length: " + QByteArray::number(body.size()));
        }
        for (auto it = m_headers.cbegin(); it != m_headers.cend(); ++it) {
            const auto name = cp1250::encode(it.key());
            const auto value = cp1250::encode(it.value());
            if (!name || !value)
                return false;
            request->AddRequestHeader(*name + ": " + *value);
        }
        if (!multipart)
            request->AddRequestHeader("Content-Type: application/x-www-form-urlencoded");
        request->SendRequest(body);
        m_request = std::move(request);
        return true;
    } catch (const CInternetException& e) {
        qWarning() << e.message << e.lastError << e.responseText;
        return false;
    }
}

bool THttpClient::ReadReply(QByteArray& text)
{
    if (!m_request)
        return false;
    QByteArray type;
    try {
        type = m_request->QueryInfo(HttpQuery::ContentType);
    } catch (const CInternetException&) {
        return false;
    }
    text.clear();
    if (!type.toLower().startsWith("text/"))
        return false;
    char buffer[1024];
    try {
        while (const qint64 n = m_request->Read(buffer, sizeof buffer))
            text.append(buffer, qsizetype(n));
    } catch (const CInternetException&) {
        return false;
    }
    return true;
}

void THttpCompressedClient::AddParam(const QString& name, const QString& value, bool isFile)
{
    if (m_compress && !isFile) {
        if (name.isEmpty())
            return;
        m_compressedFields[name] = value.isNull() ? QStringLiteral("") : value;
        return;
    }
    THttpClient::AddParam(name, value, isFile);
}

void THttpCompressedClient::ResetParams()
{
    THttpClient::ResetParams();
    m_compressedFields.clear();
}

std::optional<QByteArray> THttpCompressedClient::PackedText() const
{
    QByteArray text = "<compressed_params>";
    const _XmlWriteOptions options = _XmlWriteOptions::PackedFields();
    for (auto it = m_compressedFields.cbegin(); it != m_compressedFields.cend(); ++it) {
        const auto name = cp1250::encode(it.key());
        const auto value = cp1250::encode(it.value());
        if (!name || !value)
            return std::nullopt;
        text += TXmlNode::MakeChild(*name, *value)->Write(options);
        text += '\n';
    }
    text += "</compressed_params>";
    return text;
}

bool THttpCompressedClient::Send()
{
    if (!m_compress)
        return THttpClient::Send();
    const auto packed = PackedText();
    if (!packed)
        return false;
    QTemporaryFile file(QDir::currentPath() + QStringLiteral("/XXXXXX.tmp"));
    std::vector<Field> fields = m_fields;
    if (file.open() && file.write(*packed) == packed->size() && file.flush()) {
        fields.push_back({QStringLiteral("compressed_params"), file.fileName(), true});
    } else {
        qWarning() << "packed fields not sent: cannot write" << file.fileName();
    }
    file.close();
    return SendFields(fields); // the temporary file goes when `file` does
}

} // namespace zv
