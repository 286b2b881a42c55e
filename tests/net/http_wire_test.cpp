// Exact request bytes of the form client, checked against a capturing socket.

#include "net/http_client.h"
#include "tests/net/capture_server.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

using test::CaptureServer;

QByteArray Body(const QByteArray& request)
{
    return request.mid(request.indexOf("\r\n\r\n") + 4);
}

QByteArray Head(const QByteArray& request)
{
    return request.left(request.indexOf("\r\n\r\n") + 2);
}

QString Address(const CaptureServer& server, const char* path = "/zv.php")
{
    return QStringLiteral("http://127.0.0.1:%1%2").arg(server.Port()).arg(QLatin1String(path));
}

class PieceRecorder final : public CInternetStatusCallback {
public:
    void OnStatus(CInternetHandle&, quint32 status, QByteArrayView info) override
    {
        statuses.push_back(status);
        if (status == kInternetStatusRequestSent && info.size() == sizeof(quint32)) {
            quint32 n = 0;
            std::memcpy(&n, info.data(), sizeof n);
            pieces.push_back(n);
        }
    }
    std::vector<quint32> pieces;
    std::vector<quint32> statuses;
};

TEST(HttpWire, UrlEncodedBodyIsWrittenUnencodedWithTheFixedHeaders)
{
    CaptureServer server;
    THttpClient client;
    client.AddParam("a", "1");
    client.AddParam("b", "x y");
    client.AddParam("", "dropped");
    client.AddParam("c", "5");
    client.AddParam("p", QString::fromUtf8("zażółć&=+%"));
    client.AddHeader("PacketIndex", "3");
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Send());

    const QByteArray request = server.Requests().at(0);
    const QByteArray head = Head(request);
    EXPECT_TRUE(head.startsWith("POST /zv.php HTTP/1.0\r\n")) << head.constData();
    EXPECT_TRUE(head.contains("\r\nUser-Agent: Mozilla/4.0 (compatible; )\r\n"));
    EXPECT_TRUE(head.contains("\r\nAccept: */*\r\n"));
    EXPECT_TRUE(head.contains("\r\nContent-Type: application/x-www-form-urlencoded\r\n"));
    EXPECT_TRUE(head.contains("\r\nPacketIndex: 3\r\n"));
    EXPECT_FALSE(head.contains("Expect:"));
    EXPECT_EQ(Body(request), QByteArray("a=1&b=x y&c=5&p=za\xbf\xf3\xb3\xe6&=+%"));
    EXPECT_TRUE(head.contains("\r\nContent-Length: " + QByteArray::number(Body(request).size()) + "\r\n"));
}

TEST(HttpWire, MultipartBodyHasTheBoundaryPartsAndClosingLine)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("photo.jpg");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray("\x00\xff\r\n--bytes", 11));
    file.close();

    CaptureServer server;
    THttpClient client;
    client.AddParam("login", "demo");
    client.AddParam("orderfile", path, true);
    client.AddParam("missing", dir.filePath("nope.jpg"), true);
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Send());

    const QByteArray request = server.Requests().at(0);
    const QByteArray b = "----MULTI-PARTS-FORM-DATA-BOUNDARY";
    const QByteArray expected = b + "\r\nContent-Disposition: form-data; name=\"login\"\r\n\r\ndemo\r\n" + b +
                                "\r\nContent-Disposition: form-data; name=\"orderfile\"; filename=\"" +
                                path.toUtf8() + "\"\r\n\r\n" + QByteArray("\x00\xff\r\n--bytes", 11) + "\r\n" + b +
                                "\r\nContent-Disposition: form-data; name=\"missing\"; filename=\"" +
                                dir.filePath("nope.jpg").toUtf8() + "\"\r\n\r\n\r\n" + b + "--\r\n";
    EXPECT_EQ(Body(request), expected);
    const QByteArray head = Head(request);
    EXPECT_TRUE(head.contains("\r\nContent-Type: multipart/form-data; boundary=--MULTI-PARTS-FORM-DATA-BOUNDARY\r\n"));
    EXPECT_TRUE(head.contains("\r\nContent-Length: " + QByteArray::number(expected.size()) + "\r\n"));
    EXPECT_TRUE(head.contains("\r\nAccept: */*\r\n"));
    EXPECT_FALSE(Body(request).contains("Content-Type"));
    EXPECT_FALSE(head.contains("Expect:"));
}

TEST(HttpWire, PackedFieldsTravelAsOneFilePartAndTheTemporaryFileGoes)
{
    QTemporaryDir dir;
    const QString oldCwd = QDir::currentPath();
    QDir::setCurrent(dir.path());
    CaptureServer server;
    THttpCompressedClient client(true);
    client.AddParam("command", "BeginNewOrder");
    client.AddParam("remarks", "first");
    client.AddParam("remarks", "a<b & \"c\"");
    client.AddParam("empty", "");
    client.AddParam("extra", dir.filePath("none.bin"), true);
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Send());
    QDir::setCurrent(oldCwd);

    const QByteArray body = Body(server.Requests().at(0));
    EXPECT_EQ(body.count("Content-Disposition"), 2) << body.constData();
    EXPECT_TRUE(body.contains("name=\"extra\"; filename="));
    const qsizetype at = body.indexOf("name=\"compressed_params\"; filename=\"");
    ASSERT_GE(at, 0);
    const qsizetype nameStart = at + 36;
    const QByteArray tempPath = body.mid(nameStart, body.indexOf('"', nameStart) - nameStart);
    EXPECT_TRUE(tempPath.startsWith(dir.path().toUtf8() + "/"));
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(tempPath))) << "temporary file left behind";
    // Map order is alphabetical here; the server must not rely on it.
    EXPECT_TRUE(body.contains("\r\n\r\n<compressed_params><command>BeginNewOrder</command>\n<empty/>\n"
                              "<remarks>a&lt;b &amp; &quot;c&quot;</remarks>\n</compressed_params>\r\n"));
    EXPECT_FALSE(body.contains("first"));
}

TEST(HttpWire, BodyGoesInPiecesOfAtMost10240BytesOneNotificationEach)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.bin");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(25000, 'z'));
    file.close();

    CaptureServer server;
    PieceRecorder recorder;
    THttpClient client;
    client.SetStatusObserver(&recorder);
    client.AddParam("orderfile", path, true);
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Send());

    const qsizetype total = Body(server.Requests().at(0)).size();
    ASSERT_GE(recorder.pieces.size(), 3u);
    quint64 sum = 0;
    for (quint32 piece : recorder.pieces) {
        EXPECT_LE(piece, 10240u);
        EXPECT_GT(piece, 0u);
        sum += piece;
    }
    EXPECT_EQ(sum, quint64(total));
    // The request starts, the connection is ready before the body, the exchange ends last.
    ASSERT_GE(recorder.statuses.size(), 3u);
    EXPECT_EQ(recorder.statuses.front(), quint32(kInternetStatusSendingRequest));
    const auto connected = std::find(recorder.statuses.begin(), recorder.statuses.end(), quint32(kInternetStatusConnectedToServer));
    const auto firstPiece = std::find(recorder.statuses.begin(), recorder.statuses.end(), quint32(kInternetStatusRequestSent));
    EXPECT_LT(connected, firstPiece);
    EXPECT_EQ(recorder.statuses.back(), quint32(kInternetStatusRequestComplete));
}

struct ReplyCase {
    const char* name;
    QByteArray reply;
    bool read;
    QByteArray text;
};

class HttpReply : public testing::TestWithParam<ReplyCase> {};

TEST_P(HttpReply, IsReadAsTextOnlyForTextTypes)
{
    CaptureServer server(GetParam().reply);
    THttpClient client;
    client.AddParam("a", "1");
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Send());
    QByteArray text = "stale";
    EXPECT_EQ(client.ReadReply(text), GetParam().read);
    EXPECT_EQ(text, GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Types, HttpReply,
    testing::Values(
        ReplyCase{"TextXml", "HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n<r/>", true, "<r/>"},
        ReplyCase{"UpperCaseTextHtmlErrorPage", "HTTP/1.0 500 Oops\r\nContent-Type: TEXT/HTML\r\n\r\nbroken", true,
                  "broken"},
        ReplyCase{"OctetStream", "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n<r/>", false, ""},
        ReplyCase{"NoContentType", "HTTP/1.0 200 OK\r\n\r\n<r/>", false, "stale"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HttpWire, SecondOpenWithAnotherHostKeepsTheFirstHostAndTakesThePath)
{
    CaptureServer server;
    THttpClient client;
    ASSERT_TRUE(client.Open(Address(server)));
    ASSERT_TRUE(client.Open("http://unreachable.invalid:9/other/zv.php?x=1 2"));
    client.AddParam("a", "1");
    ASSERT_TRUE(client.Send());
    EXPECT_TRUE(server.Requests().at(0).startsWith("POST /other/zv.php?x=1%202 HTTP/1.0\r\n"));
}

TEST(HttpWire, UnusableAddressesGiveNoConnection)
{
    for (const char* address : {"", "ftp://127.0.0.1/zv.php", "not an address", "http://"}) {
        THttpClient client;
        EXPECT_FALSE(client.Open(QString::fromLatin1(address))) << address;
        EXPECT_FALSE(client.Send()) << address;
    }
}

TEST(HttpWire, HttpsIsSpokenWithTls)
{
    CaptureServer server;
    THttpClient client;
    ASSERT_TRUE(client.Open(QStringLiteral("https://127.0.0.1:%1/zv.php").arg(server.Port())));
    client.AddParam("a", "1");
    EXPECT_FALSE(client.Send()); // the capture answers in plain HTTP: no TLS session
    const QByteArray first = server.Requests().at(0);
    ASSERT_FALSE(first.isEmpty());
    EXPECT_EQ(quint8(first[0]), 0x16) << "expected a TLS handshake record";
    EXPECT_FALSE(first.contains("POST"));
}

TEST(HttpWire, TextOutsideCodePage1250FailsTheSend)
{
    CaptureServer server;
    THttpClient client;
    client.AddParam("name", QString::fromUtf8("日本"));
    ASSERT_TRUE(client.Open(Address(server)));
    EXPECT_FALSE(client.Send());
    EXPECT_TRUE(server.Requests().empty());
}

} // namespace
} // namespace zv
