// The reference server's order side: opening orders from packed fields,
// whole, part and FTP uploads, file status, cancel, history, persistence.

#include "app/build_info.h"
#include "net/internet_handle.h"
#include "net/http_client.h"
#include "tests/net/labserver_process.h"
#include "tests/net/order_servers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/wait.h>
#include <unistd.h>

namespace zv {
namespace {

using test::LabServerProcess;

const QString kVersion = QStringLiteral("%1-%2").arg(QLatin1String(kBuildId)).arg(kBuildNumber);

class LabServerOrders : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::CopySampleData(m_dir.filePath("data")));
        ASSERT_TRUE(m_server.Start(m_dir.filePath("data"), m_dir.filePath("store"),
                                   {"--ftp-root", m_dir.filePath("ftp")}));
    }

    // Posts fields (and files: name -> path) to the script; the reply text.
    QByteArray Post(const QList<std::pair<QString, QString>>& fields, const QList<std::pair<QString, QString>>& files = {},
                    bool packed = false)
    {
        THttpCompressedClient client(packed);
        for (const auto& [name, value] : fields)
            client.AddParam(name, value);
        for (const auto& [name, path] : files)
            client.AddParam(name, path, true);
        if (!client.Open(m_server.BaseAddress() + "zv.php") || !client.Send())
            return "<no reply>";
        QByteArray text;
        client.ReadReply(text);
        return text;
    }
    static QString Attr(const QByteArray& reply, const char* element, const char* attr)
    {
        const QRegularExpression re(QStringLiteral("<%1 [^>]*%2=\"([^\"]*)\"").arg(element, attr));
        return re.match(QString::fromLatin1(reply)).captured(1);
    }
    static bool Ok(const QByteArray& reply) { return reply.contains("<ReturnValue code=\"0\"/>"); }

    int BeginOrder(const QStringList& names, const QString& password = "demo")
    {
        QList<std::pair<QString, QString>> f = {{"command", "BeginNewOrder"}, {"zvver", kVersion},
                                                 {"login", "demo"},          {"password", password},
                                                 {"remarks", "Proszę o matowe"}, {"price", "12.40"},
                                                 {"lab_id", "3"},            {"payment_id", "3"},
                                                 {"payment_extengine", "przelewy24"}, {"correctcolors", "1"},
                                                 {"sendfacture", "0"},       {"order_id", "0"}, {"partner_id", "0"}};
        for (int i = 0; i < names.size(); ++i)
            f.append({QStringLiteral("print_name%1").arg(i + 1), names[i]});
        const QByteArray reply = Post(f, {}, true);
        return Ok(reply) ? Attr(reply, "NewOrder", "id").toInt() : 0;
    }
    QByteArray SendFile(int order, const QString& name, const QString& path, int part = 0, int parts = 0)
    {
        QList<std::pair<QString, QString>> f = {{"command", "SendOrderFile"}, {"zvver", kVersion}, {"login", "demo"},
                                                 {"password", "demo"}, {"order_id", QString::number(order)},
                                                 {"filename", name}, {"partner_id", "0"}};
        if (path.isEmpty())
            return Post(f + QList<std::pair<QString, QString>>{{"ftp_upload", "1"}});
        QList<std::pair<QString, QString>> tail;
        if (parts)
            tail = {{"part_index", QString::number(part)}, {"nb_parts", QString::number(parts)}};
        THttpClient client;
        for (const auto& [n, v] : f)
            client.AddParam(n, v);
        client.AddParam("orderfile", path, true);
        for (const auto& [n, v] : tail)
            client.AddParam(n, v);
        if (!client.Open(m_server.BaseAddress() + "zv.php") || !client.Send())
            return "<no reply>";
        QByteArray text;
        client.ReadReply(text);
        return text;
    }
    QString Status(int order, const QString& name)
    {
        const QByteArray reply = Post({{"command", "GetFileStatus"}, {"zvver", kVersion}, {"id", QString::number(order)},
                                       {"name", name}, {"partner_id", "0"}});
        return Ok(reply) ? Attr(reply, "filestat", "value") : QStringLiteral("<failed>");
    }
    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    QByteArray Stored(int order, const QString& name)
    {
        QFile file(m_dir.filePath(QStringLiteral("store/orders/%1/files/%2").arg(order).arg(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    static QByteArray Pattern(int size)
    {
        QByteArray b(size, '\0');
        for (int i = 0; i < size; ++i)
            b[i] = char((i * 7 + i / 1024) & 0xff);
        return b;
    }

    QTemporaryDir m_dir;
    LabServerProcess m_server;
};

TEST_F(LabServerOrders, OrderOpensOnlyFromPackedFieldsOfAKnownAccount)
{
    EXPECT_GT(BeginOrder({"a.jpg", "b.jpg"}), 1000);
    EXPECT_EQ(BeginOrder({"a.jpg"}, "wrong"), 0);
    const QByteArray plain = Post({{"command", "BeginNewOrder"}, {"zvver", kVersion}, {"login", "demo"}, {"password", "demo"}});
    EXPECT_FALSE(Ok(plain));
    EXPECT_EQ(BeginOrder({"../a.jpg"}), 0);
}

TEST_F(LabServerOrders, WholeFileArrivesWithItsChecksum)
{
    const int order = BeginOrder({"a.jpg", "b.jpg"});
    EXPECT_EQ(Status(order, "a.jpg"), "toupload");
    const QByteArray content = Pattern(300 * 1024);
    ASSERT_TRUE(Ok(SendFile(order, "a.jpg", WriteFile("a.jpg", content))));
    EXPECT_EQ(Status(order, "a.jpg"), "uploaded");
    EXPECT_EQ(Status(order, "b.jpg"), "toupload");
    EXPECT_EQ(Stored(order, "a.jpg"), content);
    QFile list(m_dir.filePath(QStringLiteral("store/orders/%1/files.tsv").arg(order)));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    const QByteArray sha = QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
    EXPECT_TRUE(list.readAll().contains("a.jpg\tuploaded\t307200\t" + sha));
}

struct PartsCase {
    const char* name;
    int size;
    int partSize;
    std::vector<int> sendOrder; // part numbers, 1-based
};

class LabServerParts : public LabServerOrders, public testing::WithParamInterface<PartsCase> {};

TEST_P(LabServerParts, PartsAreJoinedInOrder)
{
    const PartsCase& p = GetParam();
    const int order = BeginOrder({"big.jpg"});
    const QByteArray content = Pattern(p.size);
    const int parts = int(p.sendOrder.size());
    for (size_t i = 0; i < p.sendOrder.size(); ++i) {
        const int j = p.sendOrder[i];
        EXPECT_EQ(Status(order, "big.jpg"), "toupload") << "before part " << j;
        const QString path = WriteFile(QStringLiteral("%1.%2").arg(j).arg(parts), content.mid((j - 1) * p.partSize, p.partSize));
        ASSERT_TRUE(Ok(SendFile(order, "big.jpg", path, j, parts)));
    }
    EXPECT_EQ(Status(order, "big.jpg"), "uploaded");
    EXPECT_EQ(Stored(order, "big.jpg"), content);
}

INSTANTIATE_TEST_SUITE_P(Uploads, LabServerParts,
                         testing::Values(PartsCase{"ThreeInOrder", 250 * 1024, 100 * 1024, {1, 2, 3}},
                                         PartsCase{"OutOfOrder", 250 * 1024, 100 * 1024, {3, 1, 2}},
                                         PartsCase{"ExactMultipleEndsWithEmptyPart", 200 * 1024, 100 * 1024, {1, 2, 3}},
                                         PartsCase{"EmptyFileOneEmptyPart", 0, 100 * 1024, {1}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(LabServerOrders, FaultSwitchesRefuseTheNextPartsAndFiles)
{
    const int order = BeginOrder({"a.jpg", "b.jpg"});
    const QString a = WriteFile("a", "aaaa");
    THttpClient control;
    ASSERT_TRUE(control.Open(m_server.BaseAddress() + "control"));
    control.AddParam("fault", "refuse_parts");
    control.AddParam("n", "2");
    ASSERT_TRUE(control.Send());
    EXPECT_FALSE(Ok(SendFile(order, "a.jpg", a, 1, 1)));
    EXPECT_FALSE(Ok(SendFile(order, "a.jpg", a, 1, 1)));
    EXPECT_TRUE(Ok(SendFile(order, "b.jpg", a))); // whole files are not affected
    EXPECT_TRUE(Ok(SendFile(order, "a.jpg", a, 1, 1)));
    EXPECT_EQ(Status(order, "a.jpg"), "uploaded");
}

TEST_F(LabServerOrders, BadUploadsAreRefused)
{
    const int order = BeginOrder({"a.jpg"});
    const QString a = WriteFile("a", "aaaa");
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"folder in the name", SendFile(order, "../../etc/x", a)},
        {"unknown order", SendFile(999999, "a.jpg", a)},
        {"part beyond count", SendFile(order, "a.jpg", a, 4, 3)},
        {"part zero", SendFile(order, "a.jpg", a, 0, 3)},
        {"ftp file not there", SendFile(order, "a.jpg", QString())},
    };
    for (const auto& [name, reply] : cases)
        EXPECT_TRUE(reply.contains("<ReturnValue code=\"1\"")) << name << ": " << reply.constData();
    EXPECT_EQ(Status(999999, "a.jpg"), "<failed>");
    EXPECT_EQ(Status(order, "a.jpg"), "toupload");
}

TEST_F(LabServerOrders, CancelHistoryAndRestartKeepEverything)
{
    const int first = BeginOrder({"a.jpg", "b.jpg"});
    const int second = BeginOrder({"c.jpg"});
    ASSERT_TRUE(Ok(SendFile(second, "c.jpg", WriteFile("c", "cccc"))));
    EXPECT_TRUE(Ok(Post({{"command", "CancelNewOrder"}, {"zvver", kVersion}, {"login", "demo"}, {"password", "demo"},
                         {"order_id", QString::number(first)}, {"partner_id", "0"}})));
    EXPECT_FALSE(Ok(SendFile(first, "a.jpg", WriteFile("a", "aaaa"))));

    ASSERT_EQ(m_server.Stop(), 0);
    ASSERT_TRUE(m_server.Start(m_dir.filePath("data"), m_dir.filePath("store")));

    EXPECT_EQ(Status(second, "c.jpg"), "uploaded");
    const QByteArray history = Post({{"command", "GetOrderHist"}, {"zvver", kVersion}, {"partner_id", "0"}, {"user_id", "1"}});
    ASSERT_TRUE(Ok(history)) << history.constData();
    EXPECT_EQ(history.count("<object "), 2);
    const QRegularExpression object(QStringLiteral("<object id=\"%1\" status=\"uploaded\" create_date=\"\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d\" "
                                                   "filescount=\"1\" price=\"12.40\" payment_name=\"Przelewy24\" lab_name=\"Centrum Foto\" "
                                                   "paymentext_name=\"przelewy24\" paymentext_status=\"unknown\" remarks=\"Prosz\xea o matowe\" "
                                                   "correctcolors=\"1\" sendfacture=\"0\"/>").arg(second));
    EXPECT_TRUE(object.match(QString::fromLatin1(history)).hasMatch()) << history.constData();
    EXPECT_TRUE(history.contains(QStringLiteral("<object id=\"%1\" status=\"cancelled\"").arg(first).toLatin1()));
    const QByteArray future = Post({{"command", "GetOrderHist"}, {"zvver", kVersion}, {"partner_id", "0"}, {"user_id", "1"},
                                    {"date_from", "2999-01-01"}});
    EXPECT_TRUE(Ok(future));
    EXPECT_EQ(future.count("<object "), 0);
    EXPECT_GT(BeginOrder({"d.jpg"}), second);
}

TEST_F(LabServerOrders, FileSentByFtpIsTakenFromTheFtpFolder)
{
    const int order = BeginOrder({"f.jpg"});
    const QString remoteDir = m_dir.filePath(QStringLiteral("ftp/%1/%2").arg(QLatin1String(kBuildId)).arg(order));

    // A real FTP server on loopback, serving the folder labserver reads.
    QDir().mkpath(m_dir.filePath("ftp"));
    test::FtpServerProcess ftp;
    ASSERT_TRUE(ftp.Start(m_dir.filePath("ftp"))) << "pyftpdlib did not start";
    const int port = ftp.Port();

    const QByteArray content = Pattern(50000);
    const QString local = WriteFile("f.jpg", content);
    bool uploaded = false;
    try {
        CInternetSession session("zelvio");
        CFtpConnection connection(session, "127.0.0.1", quint16(port), "lab", "secret");
        connection.UploadFile(local, QStringLiteral("%1/%2/f.jpg").arg(QLatin1String(kBuildId)).arg(order).toLatin1());
        uploaded = true;
        EXPECT_THROW(connection.UploadFile(m_dir.filePath("missing"), "x/y"), CInternetException);
        EXPECT_THROW(CFtpConnection(session, "127.0.0.1", quint16(port), "lab", "wrong"), CInternetException);
    } catch (const CInternetException& e) {
        ADD_FAILURE() << e.message.toStdString() << " " << e.responseText.constData();
    }
    ftp.Stop();
    ASSERT_TRUE(uploaded);
    QFile arrived(remoteDir + "/f.jpg");
    ASSERT_TRUE(arrived.open(QIODevice::ReadOnly));
    EXPECT_EQ(arrived.readAll(), content);

    EXPECT_TRUE(Ok(SendFile(order, "f.jpg", QString())));
    EXPECT_EQ(Status(order, "f.jpg"), "uploaded");
    EXPECT_EQ(Stored(order, "f.jpg"), content);
}

TEST(LabServer, RefusesBadStartAndStopsCleanlyOnSigterm)
{
    QTemporaryDir dir;
    LabServerProcess missing;
    EXPECT_FALSE(missing.Start(dir.filePath("no-data"), dir.filePath("store")));
    EXPECT_NE(missing.Stop(), 0);

    ASSERT_TRUE(test::CopySampleData(dir.filePath("data")));
    LabServerProcess server;
    ASSERT_TRUE(server.Start(dir.filePath("data"), dir.filePath("store")));
    EXPECT_EQ(server.Stop(), 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("store/accounts.tsv")));
}

} // namespace
} // namespace zv
