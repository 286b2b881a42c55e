#pragma once

#include "net/internet_handle.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <memory>
#include <optional>
#include <vector>

namespace zv {

// The form-post client every server command goes through: an HTTP/1.0 POST
// of form fields, URL-encoded, or multipart as soon as one field is a file,
// then a text reply. Synchronous; every call blocks the calling thread.
// Field texts leave the program in code page 1250; a text the code page
// cannot hold makes Send fail.
class THttpClient {
public:
    static constexpr char kUserAgent[] = "Mozilla/4.0 (compatible; )";
    static constexpr char kBoundary[] = "--MULTI-PARTS-FORM-DATA-BOUNDARY";

    struct Field {
        QString name;
        QString value; // for a file: the local path
        bool isFile = false;
    };

    THttpClient() = default;
    THttpClient(const THttpClient&) = delete;
    THttpClient& operator=(const THttpClient&) = delete;
    virtual ~THttpClient();

    // Makes the session and, on first success, the connection to the
    // address's host; later calls change only the request path. True when
    // both exist afterwards.
    bool Open(const QString& address);
    // Appends a field; an empty name is ignored, a null value is empty text.
    virtual void AddParam(const QString& name, const QString& value, bool isFile = false);
    // Sets an extra request header (a later value replaces an earlier one).
    void AddHeader(const QString& name, const QString& value);
    // Forgets fields and extra headers; handles and observer stay.
    virtual void ResetParams();
    // The observer for handles created from now on (not owned, may be null).
    void SetStatusObserver(CInternetStatusCallback* observer) { m_statusObserver = observer; }
    // POSTs the fields to the opened path. True once the request went out
    // and its reply arrived; the reply is not judged.
    virtual bool Send();
    // The reply body as text; false (text empty) for a reply that is not of
    // a text/ type, or with no request.
    bool ReadReply(QByteArray& text);

    // The latest request; null before the first Send or after a failed one.
    // Its QueryInfo and Read throw CInternetException.
    CHttpFile* Request() const { return m_request.get(); }
    const QByteArray& Path() const { return m_path; }
    const std::vector<Field>& Fields() const { return m_fields; }

protected:
    bool SendFields(const std::vector<Field>& fields);

    QByteArray m_path;
    std::unique_ptr<CInternetSession> m_session;
    std::unique_ptr<CHttpConnection> m_connection;
    std::unique_ptr<CHttpFile> m_request;
    std::vector<Field> m_fields;
    CInternetStatusCallback* m_statusObserver = nullptr;
    QMap<QString, QString> m_headers;
};

// Adds a mode that packs all plain fields into one small XML file sent as the
// file field "compressed_params".
class THttpCompressedClient final : public THttpClient {
public:
    explicit THttpCompressedClient(bool compress = false) : m_compress(compress) {}

    void SetCompress(bool on) { m_compress = on; }
    bool Compress() const { return m_compress; }

    void AddParam(const QString& name, const QString& value, bool isFile = false) override;
    void ResetParams() override;
    bool Send() override;

    // The packed file's text for the current fields; nothing when a name or
    // value has no code page 1250 form.
    std::optional<QByteArray> PackedText() const;

private:
    bool m_compress = false;
    QMap<QString, QString> m_compressedFields;
};

} // namespace zv
