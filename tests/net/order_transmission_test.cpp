// Opening, sending and withdrawing orders against the reference server:
// packed entries, whole files, parts, FTP with its HTTP fallback, statuses.

#include "app/build_info.h"
#include "net/error_log.h"
#include "net/order_info.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/price_list.h"
#include "photos/thumbs_array.h"
#include "tests/net/labserver_process.h"
#include "tests/net/order_servers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

using test::FtpServerProcess;
using test::LabServerProcess;

struct PartCall {
    int part;
    int parts;
    qint64 size;
    QString partFileName;
};

// Records every request the file upload makes.
class RecordingConnector final : public TServerConnector {
public:
    std::vector<PartCall> calls;

protected:
    bool SendPartOrderFile(const QString& login, const QString& password, int order, const QString& name,
                           const QString& path, ISendingOrderDlg* dialog, int part, int parts) override
    {
        calls.push_back({part, parts, QFileInfo(path).size(), QFileInfo(path).fileName()});
        return TServerConnector::SendPartOrderFile(login, password, order, name, path, dialog, part, parts);
    }
};

QByteArray Pattern(qint64 size, int seed = 7)
{
    QByteArray data(size, Qt::Uninitialized);
    quint32 x = quint32(seed) * 2654435761u + 1;
    for (qint64 i = 0; i < size; ++i) {
        x = x * 1103515245u + 12345u;
        data[i] = char(x >> 24);
    }
    return data;
}

class OrderTransmission : public testing::Test {
protected:
    // Starts the server with extra configuration values (null: removed).
    void StartServer(const QList<std::pair<QString, QString>>& config, const QStringList& faults = {})
    {
        ASSERT_TRUE(test::CopySampleData(m_dir.filePath("data")));
        ASSERT_TRUE(test::SetConfigValues(m_dir.filePath("data"), config));
        QStringList extra = {"--ftp-root", m_dir.filePath("ftp")};
        for (const QString& f : faults)
            extra << "--fault" << f;
        QDir().mkpath(m_dir.filePath("ftp"));
        QDir().mkpath(m_dir.filePath("program"));
        ASSERT_TRUE(m_server.Start(m_dir.filePath("data"), m_dir.filePath("store"), extra));
        SetServerBaseAddressForTesting(m_server.BaseAddress());
        SetNetProgramFolderForTesting(m_dir.filePath("program"));
    }

    QString WriteFile(const QString& name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        return path;
    }

    // Opens an order with one entry per name.
    int Open(TServerConnector& connector, const QStringList& names)
    {
        TPriceList prices;
        _format format;
        format.name = "10x15";
        format.width = 100;
        format.height = 150;
        format.minPrices = {{1, 0, 0.5f}};
        prices.Add(format);
        TThumbsArray photos;
        for (const QString& name : names) {
            auto* photo = new TThumbData(WriteFile(name, "x"));
            photo->DisplayName = name;
            photo->SetQuantity(0, 1);
            photos.Add(photo);
        }
        _OrderInfo order;
        order.login = order.password = "demo";
        EXPECT_TRUE(connector.BeginNewOrder(order, photos, QString(), prices));
        return order.order_id;
    }

    QByteArray Stored(int order, const QString& name)
    {
        QFile file(m_dir.filePath(QStringLiteral("store/orders/%1/files/%2").arg(order).arg(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    QTemporaryDir m_dir;
    LabServerProcess m_server;
};

TEST_F(OrderTransmission, BeginNewOrderPacksHeaderAndOnlyEntriesWithQuantities)
{
    StartServer({});
    TPriceList prices;
    for (const auto& [name, w, h] : {std::tuple{"9x13", 90, 130}, {"10x15", 100, 150}, {"13x18", 130, 180}}) {
        _format format;
        format.name = name;
        format.width = w;
        format.height = h;
        format.minPrices = {{1, 0, 0.60f}, {5, 0, 0.45f}};
        prices.Add(format);
    }
    TThumbsArray photos;
    auto* first = new TThumbData(WriteFile("a.jpg", "a"));
    first->DisplayName = "a.jpg";
    first->SetQuantity(0, 6);
    first->SetQuantity(1, 1);
    _FormatInfo* entry = first->GetFormatInfo(0);
    entry->Gradation = "Matowy";
    entry->ColorMode = "kolor";
    entry->Cropping = "2";
    entry->CropRect = {10, 20, 110, 220};
    entry->HasCropRect = true;
    photos.Add(first);
    auto* second = new TThumbData(WriteFile("b.jpg", "b"));
    second->DisplayName = "b.jpg";
    second->SetQuantity(0, 2);
    second->SetQuantity(1, 3);
    second->SetQuantity(2, 0);
    photos.Add(second);

    _OrderInfo order;
    order.login = order.password = "demo";
    order.price = 12.5f;
    order.correctionPrice = 5.0f;
    order.lab_id = 3;
    order.payment_id = 5;
    order.payment_extengine = "mtransfer";
    order.remarks = "Proszę o staranne wywołanie";
    order.sendfacture = true;
    order.usepoints = true;
    TServerConnector connector;
    ASSERT_TRUE(connector.BeginNewOrder(order, photos, "LATO", prices));
    ASSERT_GT(order.order_id, 0);
    EXPECT_FALSE(connector.client().Compress());

    QFile params(m_dir.filePath(QStringLiteral("store/orders/%1/params.xml").arg(order.order_id)));
    ASSERT_TRUE(params.open(QIODevice::ReadOnly));
    const QByteArray text = params.readAll();
    for (const char* expected :
         {"<command>BeginNewOrder</command>", "<price>17.50</price>", "<lab_id>3</lab_id>", "<payment_id>5</payment_id>",
          "<payment_extengine>mtransfer</payment_extengine>", "<kodpromocji>LATO</kodpromocji>",
          "<singlecode>LATO</singlecode>", "<correctcolors>0</correctcolors>", "<sendfacture>1</sendfacture>",
          "<usepoints>1</usepoints>", "<order_id>0</order_id>", "<partner_id>0</partner_id>",
          // Entry 1: the first photo's first format, its crop and its own tier (6 prints).
          "<print_name1>a.jpg</print_name1>", "<print_format1>9x13</print_format1>",
          "<print_price1>0.45</print_price1>", "<print_quantity1>6</print_quantity1>",
          "<print_paper1>Matowy</print_paper1>", "<print_efect1>kolor</print_efect1>", "<print_kadr1>2</print_kadr1>",
          "<print_x11>10</print_x11>", "<print_y11>20</print_y11>", "<print_x21>110</print_x21>",
          "<print_y21>220</print_y21>",
          // Entry 2: no crop rectangle sends zeros; one print is the first tier.
          "<print_format2>10x15</print_format2>", "<print_price2>0.60</print_price2>", "<print_x12>0</print_x12>",
          "<print_y22>0</print_y22>", "<print_name3>b.jpg</print_name3>", "<print_name4>b.jpg</print_name4>",
          "<print_format4>10x15</print_format4>", "<print_quantity4>3</print_quantity4>"})
        EXPECT_TRUE(text.contains(expected)) << expected << "\n" << text.constData();
    EXPECT_FALSE(text.contains("print_name5"));
    EXPECT_TRUE(text.contains(QStringLiteral("<remarks>Proszę o staranne wywołanie</remarks>").toUtf8()) ||
                text.contains("<remarks>Prosz\xea o staranne wywo\xb3" "anie</remarks>"));

    // An entry outside the price list is refused before anything is sent.
    second->SetQuantity(7, 1);
    _OrderInfo again;
    again.login = again.password = "demo";
    EXPECT_FALSE(connector.BeginNewOrder(again, photos, QString(), prices));
    EXPECT_EQ(again.order_id, 0);
}

struct PartsCase {
    const char* name;
    const char* partSize;  // POST_PART_SIZE; null: not configured
    qint64 fileSize;
    bool refuseWhole;      // the server refuses whole files
    bool expectSent;
    std::vector<std::pair<int, int>> expectCalls; // (part_index, nb_parts), 0/0 whole
    std::vector<qint64> expectSizes;
};

class OrderFileParts : public OrderTransmission, public testing::WithParamInterface<PartsCase> {};

TEST_P(OrderFileParts, SplitsAsConfigured)
{
    const PartsCase& c = GetParam();
    StartServer({{"POST_PART_SIZE", c.partSize ? QString::fromLatin1(c.partSize) : QString()}},
                c.refuseWhole ? QStringList{"refuse_files:0:0"} : QStringList{});
    RecordingConnector connector;
    const int order = Open(connector, {"p.jpg"});
    const QByteArray content = Pattern(c.fileSize);
    const QString path = WriteFile("local.jpg", content);

    EXPECT_EQ(connector.SendOrderFile("demo", "demo", order, "p.jpg", path, nullptr), c.expectSent);
    std::vector<std::pair<int, int>> calls;
    std::vector<qint64> sizes;
    for (const auto& call : connector.calls) {
        calls.emplace_back(call.part, call.parts);
        sizes.push_back(call.size);
        if (call.parts > 0) {
            EXPECT_EQ(call.partFileName, QStringLiteral("%1.%2").arg(call.part).arg(call.parts));
        }
    }
    EXPECT_EQ(calls, c.expectCalls);
    EXPECT_EQ(sizes, c.expectSizes);
    if (c.expectSent) {
        EXPECT_EQ(Stored(order, "p.jpg"), content);
    }
    // Parts folders live only while their file is sent.
    EXPECT_FALSE(QFileInfo::exists(m_dir.filePath("program/__temp__/_p.jpg")));
}

constexpr qint64 KB = 1024;
INSTANTIATE_TEST_SUITE_P(
    Cases, OrderFileParts,
    testing::Values(
        PartsCase{"WholeWhenAccepted", "100", 250 * KB, false, true, {{0, 0}}, {250 * KB}},
        PartsCase{"RefusedWholeGoesInThreeParts", "100", 250 * KB, true, true,
                  {{0, 0}, {1, 3}, {2, 3}, {3, 3}}, {250 * KB, 100 * KB, 100 * KB, 50 * KB}},
        PartsCase{"NegativeSizeSkipsTheWholeFile", "-100", 250 * KB, false, true, {{1, 3}, {2, 3}, {3, 3}},
                  {100 * KB, 100 * KB, 50 * KB}},
        PartsCase{"ExactMultipleEndsWithEmptyPart", "-100", 200 * KB, false, true, {{1, 3}, {2, 3}, {3, 3}},
                  {100 * KB, 100 * KB, 0}},
        PartsCase{"NoPartSizeNoSplitting", nullptr, 250 * KB, true, false, {{0, 0}}, {250 * KB}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrderTransmission, RefusedPartIsSentAgainAndFileSkippedOnceOnServer)
{
    StartServer({{"POST_PART_SIZE", "-64"}}, {"refuse_parts:2"});
    RecordingConnector connector;
    const int order = Open(connector, {"r.jpg"});
    const QByteArray content = Pattern(150 * KB, 3);
    const QString path = WriteFile("r-local.jpg", content);

    ASSERT_TRUE(connector.SendOrderFile("demo", "demo", order, "r.jpg", path, nullptr));
    ASSERT_EQ(connector.calls.size(), 5u); // part 1 refused twice, then 1, 2, 3
    EXPECT_EQ(connector.calls[0].part, 1);
    EXPECT_EQ(connector.calls[2].part, 1);
    EXPECT_EQ(connector.calls[4].part, 3);
    EXPECT_EQ(Stored(order, "r.jpg"), content);

    QString status;
    ASSERT_TRUE(connector.GetFileStatus(order, "r.jpg", status));
    EXPECT_EQ(status, "uploaded");
    connector.calls.clear();
    EXPECT_TRUE(connector.SendOrderFile("demo", "demo", order, "r.jpg", path, nullptr));
    EXPECT_TRUE(connector.calls.empty()) << "the server had the file already";
}

TEST_F(OrderTransmission, StatusAndCancelGuardsAndCancel)
{
    StartServer({});
    TServerConnector connector;
    const int order = Open(connector, {"c.jpg"});
    QString status = "stale";
    EXPECT_FALSE(connector.GetFileStatus(0, "c.jpg", status));
    EXPECT_TRUE(status.isEmpty());
    ASSERT_TRUE(connector.GetFileStatus(order, "c.jpg", status));
    EXPECT_EQ(status, "toupload");

    EXPECT_FALSE(connector.CancelNewOrder(QString(), "demo", order));
    EXPECT_FALSE(connector.CancelNewOrder("demo", "wrong", order));
    ASSERT_TRUE(connector.CancelNewOrder("demo", "demo", order));
    QSettings ini(m_dir.filePath(QStringLiteral("store/orders/%1/order.ini").arg(order)), QSettings::IniFormat);
    EXPECT_EQ(ini.value("order/status").toString(), "cancelled");
    const QString path = WriteFile("c-local.jpg", "data");
    EXPECT_FALSE(connector.SendOrderFile("demo", "demo", order, "c.jpg", path, nullptr));
}

TEST_F(OrderTransmission, WholeFilesGoByFtpAndFallBackToHttpWhenFtpFails)
{
    FtpServerProcess ftp;
    QDir().mkpath(m_dir.filePath("ftp"));
    ASSERT_TRUE(ftp.Start(m_dir.filePath("ftp")));
    StartServer({{"FTP_SERVER", ftp.Address()}, {"FTP_USER", "lab"}, {"FTP_PASSWORD", "secret"},
                 {"POST_PART_SIZE", QString()}});
    RecordingConnector connector;
    const int order = Open(connector, {"f1.jpg", "f2.jpg", "f3.jpg"});
    const QByteArray one = Pattern(300 * KB, 1);
    const QByteArray two = Pattern(10 * KB, 2);
    const QByteArray three = Pattern(20 * KB, 3);

    ASSERT_TRUE(connector.SendOrderFile("demo", "demo", order, "f1.jpg", WriteFile("l1.jpg", one), nullptr));
    const QString remote = m_dir.filePath(QStringLiteral("ftp/%1/%2/f1.jpg").arg(QLatin1String(kBuildId)).arg(order));
    EXPECT_TRUE(QFileInfo::exists(remote)) << "sent to build id / order / name";
    EXPECT_EQ(Stored(order, "f1.jpg"), one);

    // The FTP server goes away: the next file falls back to HTTP, and the
    // connection is set up anew for the file after it.
    ftp.Stop();
    ASSERT_TRUE(connector.SendOrderFile("demo", "demo", order, "f2.jpg", WriteFile("l2.jpg", two), nullptr));
    EXPECT_EQ(Stored(order, "f2.jpg"), two);
    EXPECT_FALSE(QFileInfo::exists(remote.chopped(6) + "f2.jpg"));
    ASSERT_TRUE(connector.SendOrderFile("demo", "demo", order, "f3.jpg", WriteFile("l3.jpg", three), nullptr));
    EXPECT_EQ(Stored(order, "f3.jpg"), three);
}

TEST_F(OrderTransmission, FtpDirectoryPrefixesTheRemotePath)
{
    FtpServerProcess ftp;
    QDir().mkpath(m_dir.filePath("ftp-root"));
    ASSERT_TRUE(ftp.Start(m_dir.filePath("ftp-root")));
    StartServer({{"FTP_SERVER", ftp.Address()}, {"FTP_USER", "lab"}, {"FTP_PASSWORD", "secret"},
                 {"FTP_DIRECTORY", "incoming"}});
    TServerConnector connector;
    const int order = Open(connector, {"d.jpg"});
    // labserver reads FTP files from its own folder, so the upload lands
    // under incoming/ and the request that names it is refused.
    connector.SendOrderFile("demo", "demo", order, "d.jpg", WriteFile("ld.jpg", Pattern(KB)), nullptr);
    EXPECT_TRUE(QFileInfo::exists(m_dir.filePath(
        QStringLiteral("ftp-root/incoming/%1/%2/d.jpg").arg(QLatin1String(kBuildId)).arg(order))));
}

} // namespace
} // namespace zv
