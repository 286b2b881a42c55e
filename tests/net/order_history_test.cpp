// Order history objects: display texts, the fetch against the reference
// server and canned replies, and the sort rules of the table model.

#include "net/error_log.h"
#include "net/order_history.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "tests/net/capture_server.h"
#include "tests/net/labserver_process.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <initializer_list>
#include <vector>
#include <utility>

namespace zv {
namespace {

using Fields = std::vector<std::pair<const char*, const char*>>;

std::unique_ptr<TOrderInfo> Order(Fields fields)
{
    auto order = std::make_unique<TOrderInfo>();
    for (const auto& [name, value] : fields)
        order->SetField(QString::fromUtf8(name), QString::fromUtf8(value));
    return order;
}

// The shown value of one field, walked as the list does.
QString Shown(const TBaseField& object, const QString& field)
{
    QString name;
    QString value;
    for (auto position = object.GetFirstFieldPosition(); position;) {
        object.GetNextField(position, name, value);
        if (name == field)
            return value;
    }
    return QStringLiteral("<missing>");
}

FieldsFactory OrderFactory()
{
    return [] { return std::make_unique<TOrderInfo>(); };
}

// ---- display texts ----

struct DisplayCase {
    const char* name;
    Fields fields;
    const char* field;
    const char* shown;
};

class OrderDisplay : public testing::TestWithParam<DisplayCase> {};

TEST_P(OrderDisplay, ShowsThePolishText)
{
    const auto order = Order(GetParam().fields);
    EXPECT_EQ(Shown(*order, QString::fromUtf8(GetParam().field)), QString::fromUtf8(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Translations, OrderDisplay,
    testing::Values(
        DisplayCase{"Toupload", {{"status", "toupload"}}, "status", "trwa wysyłanie..."},
        DisplayCase{"Uploaded", {{"status", "uploaded"}}, "status", "do pobrania"},
        DisplayCase{"Downloading", {{"status", "downloading"}}, "status", "trwa pobieranie..."},
        DisplayCase{"Downloaded", {{"status", "downloaded"}}, "status", "pobrane"},
        DisplayCase{"Realized", {{"status", "realized"}}, "status", "zrealizowane"},
        DisplayCase{"Accepted", {{"status", "accepted"}}, "status", "zaakceptowane"},
        DisplayCase{"Taked", {{"status", "taked"}}, "status", "odebrane"},
        DisplayCase{"Rejected", {{"status", "rejected"}}, "status", "odrzucone"},
        DisplayCase{"NewServerStateAsReceived", {{"status", "archived"}}, "status", "archived"},
        DisplayCase{"StatusIsCaseSensitive", {{"status", "Uploaded"}}, "status", "Uploaded"},
        DisplayCase{"P24Waiting",
                    {{"payment_name", "P24"}, {"paymentext_name", "przelewy24"}, {"paymentext_status", "unknown"}},
                    "payment_name", "P24 (czeka)"},
        DisplayCase{"P24Paid",
                    {{"payment_name", "P24"}, {"paymentext_name", "przelewy24"}, {"paymentext_status", "accepted24"}},
                    "payment_name", "P24 (zapłacone)"},
        DisplayCase{"P24Refused",
                    {{"payment_name", "P24"}, {"paymentext_name", "przelewy24"}, {"paymentext_status", "rejected24"}},
                    "payment_name", "P24 (odrzucone)"},
        DisplayCase{"MtransferPaid",
                    {{"payment_name", "mT"}, {"paymentext_name", "mtransfer"},
                     {"paymentext_status", "accepted_mtransfer"}},
                    "payment_name", "mT (zapłacone)"},
        DisplayCase{"AllpayRefused",
                    {{"payment_name", "A"}, {"paymentext_name", "allpay"}, {"paymentext_status", "rejected_allpay"}},
                    "payment_name", "A (odrzucone)"},
        DisplayCase{"StateOfAnotherService",
                    {{"payment_name", "A"}, {"paymentext_name", "allpay"}, {"paymentext_status", "accepted24"}},
                    "payment_name", "A"},
        DisplayCase{"EngineNameIsCaseSensitive",
                    {{"payment_name", "P24"}, {"paymentext_name", "Przelewy24"}, {"paymentext_status", "unknown"}},
                    "payment_name", "P24"},
        DisplayCase{"NoExternalPayment", {{"payment_name", "Gotówka"}}, "payment_name", "Gotówka"},
        DisplayCase{"CorrectColorsOne", {{"correctcolors", "1"}}, "correctcolors", "Tak"},
        DisplayCase{"CorrectColorsOther", {{"correctcolors", "2"}}, "correctcolors", "Nie"},
        DisplayCase{"SendFactureEmpty", {{"sendfacture", ""}}, "sendfacture", "Nie"},
        DisplayCase{"OtherFieldUntouched", {{"lab_name", "toupload"}}, "lab_name", "toupload"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(OrderInfo, TranslateClearedGivesRawValuesAndEngineNamesAreConfigurable)
{
    auto order = Order({{"status", "uploaded"}, {"payment_name", "P"}, {"paymentext_name", "p24"},
                        {"paymentext_status", "unknown"}, {"sendfacture", "1"}});
    order->translate = false;
    EXPECT_EQ(Shown(*order, "status"), "uploaded");
    EXPECT_EQ(Shown(*order, "payment_name"), "P");
    EXPECT_EQ(Shown(*order, "sendfacture"), "1");

    TOrderInfo other({QStringLiteral("p24"), QStringLiteral("ap")});
    other.SetField("payment_name", "P");
    other.SetField("paymentext_name", "p24");
    other.SetField("paymentext_status", "unknown");
    EXPECT_EQ(Shown(other, "payment_name"), "P (czeka)");
}

TEST(OrderInfo, NumberRemarksAndFieldRules)
{
    auto order = Order({{"id", " 42abc"}, {"remarks", "matowe"}});
    EXPECT_EQ(order->GetId(), 42);
    EXPECT_TRUE(order->HasRemarks());
    EXPECT_EQ(Order({{"remarks", ""}})->HasRemarks(), false);
    EXPECT_EQ(Order({})->GetId(), 0);
    EXPECT_FALSE(Order({})->GetFirstFieldPosition());

    order->SetField(QString(), "x");
    order->SetField("y", QString());
    order->SetField("id", "7");
    EXPECT_EQ(order->FieldCount(), 2);
    EXPECT_EQ(order->GetId(), 7);
    EXPECT_EQ(order->GetField("missing"), "");

    TBaseField plain;
    plain.SetField("id", "5");
    EXPECT_EQ(plain.GetId(), 0); // no key field
}

// ---- fetching ----

class GetObjectsServer : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        SetNetProgramFolderForTesting(m_folder.path());
        SetTransferTimeoutsForTesting({5, 1, 2});
    }
    QByteArray Log() const
    {
        QFile file(m_folder.filePath("error.log"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QTemporaryDir m_folder;
};

TEST_F(GetObjectsServer, ReadsTheReferenceServersHistoryWithDisplayTexts)
{
    QTemporaryDir dir;
    ASSERT_TRUE(test::CopySampleData(dir.filePath("data")));
    test::LabServerProcess server;
    ASSERT_TRUE(server.Start(dir.filePath("data"), dir.filePath("store")));
    SetServerBaseAddressForTesting(server.BaseAddress());

    TServerConnector connector;
    // Opens one order for the sample account, fields packed as the server wants them.
    THttpCompressedClient open(true);
    for (const auto& [name, value] :
         std::initializer_list<std::pair<QString, QString>>{{"command", "BeginNewOrder"},
                                                            {"zvver", connector.GetClientVersion()},
                                                            {"login", "demo"},
                                                            {"password", "demo"},
                                                            {"remarks", "Proszę o matowe"},
                                                            {"price", "12.40"},
                                                            {"lab_id", "3"},
                                                            {"payment_id", "3"},
                                                            {"payment_extengine", "przelewy24"},
                                                            {"correctcolors", "1"},
                                                            {"sendfacture", "0"},
                                                            {"order_id", "0"},
                                                            {"partner_id", "0"},
                                                            {"print_name1", "a.jpg"}})
        open.AddParam(name, value);
    ASSERT_TRUE(open.Open(ServerScriptAddress()) && open.Send());
    QByteArray opened;
    open.ReadReply(opened);
    ASSERT_TRUE(opened.contains("NewOrder")) << opened.constData();

    TFieldsArray orders;
    ASSERT_TRUE(GetObjects(connector, {{"user_id", "1"}}, orders, OrderFactory()));
    ASSERT_EQ(orders.GetSize(), 1);
    const auto& order = static_cast<const TOrderInfo&>(*orders.GetAt(0));
    EXPECT_GT(order.GetId(), 0);
    EXPECT_EQ(order.GetField("remarks"), "Proszę o matowe");
    EXPECT_EQ(Shown(order, "payment_name"), "Przelewy24 (czeka)");
    EXPECT_EQ(Shown(order, "correctcolors"), "Tak");
    EXPECT_EQ(Shown(order, "sendfacture"), "Nie");
    EXPECT_EQ(Shown(order, "filescount"), "1");

    // A range that holds no order empties the array of the previous fetch.
    EXPECT_TRUE(GetObjects(connector, {{"user_id", "1"}, {"date_from", "2999-01-01"}}, orders, OrderFactory()));
    EXPECT_EQ(orders.GetSize(), 0);
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(GetObjectsServer, SendsTheParamsAfterTheEnvelopeFieldsInMapOrder)
{
    test::CaptureServer capture("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n"
                                "<r><ReturnValue code=\"0\"/><Objects><object id=\"3\"/></Objects></r>");
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(capture.Port()));
    TServerConnector connector;
    TFieldsArray orders;
    ASSERT_TRUE(GetObjects(connector, {{"user_id", "12"}, {"date_to", "2026-02-01"}, {"date_from", "2026-01-01"}},
                           orders, OrderFactory()));
    ASSERT_EQ(orders.GetSize(), 1); // "objects" is matched whatever its case
    const auto requests = capture.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const QByteArray body = requests[0].mid(requests[0].indexOf("\r\n\r\n") + 4);
    EXPECT_EQ(body, "command=GetOrderHist&zvver=" + connector.GetClientVersion().toLatin1()
                        + "&partner_id=0&date_from=2026-01-01&date_to=2026-02-01&user_id=12");
}

struct ReplyCase {
    const char* name;
    const char* body;
    bool success;
    int objects;
};

class GetObjectsReply : public GetObjectsServer, public testing::WithParamInterface<ReplyCase> {};

TEST_P(GetObjectsReply, KeepsWhatWasReadAndLogsFailures)
{
    test::CaptureServer capture("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + QByteArray(GetParam().body));
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(capture.Port()));
    TServerConnector connector;
    TFieldsArray orders;
    orders.Add(std::make_unique<TOrderInfo>()); // left from an earlier fetch
    EXPECT_EQ(GetObjects(connector, {{"user_id", "1"}}, orders, OrderFactory()), GetParam().success);
    EXPECT_EQ(orders.GetSize(), GetParam().objects);
    const QByteArray log = Log();
    if (GetParam().success) {
        EXPECT_TRUE(log.isEmpty());
    } else {
        EXPECT_TRUE(log.contains("?GetObjects:939 ---\r\nResponse:\r\n\t" + QByteArray(GetParam().body)))
            << log.constData();
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, GetObjectsReply,
    testing::Values(
        ReplyCase{"TwoObjects",
                  "<r><ReturnValue code='0'/><objects><object id='1'/><object id='2'/></objects></r>", true, 2},
        ReplyCase{"RefusedReplyKeepsObjects", "<r><ReturnValue code='1'/><objects><object id='1'/></objects></r>",
                  false, 1},
        ReplyCase{"ObjectNameIsCaseSensitive", "<r><ReturnValue code='0'/><objects><Object id='1'/></objects></r>",
                  true, 0},
        ReplyCase{"ObjectsNestedDeeperIsNotRead",
                  "<r><ReturnValue code='0'/><x><objects><object id='1'/></objects></x></r>", true, 0},
        ReplyCase{"ObjectWithoutAttributes", "<r><ReturnValue code='0'/><objects><object/></objects></r>", true, 1},
        ReplyCase{"Garbage", "Fatal error: database down", false, 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(GetObjectsServer, NoConnectionFailsWithoutALogEntryAndSkipsObjectsTheFactoryRefuses)
{
    int port = 0;
    {
        test::CaptureServer closed;
        port = closed.Port();
    }
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(port));
    TServerConnector connector;
    TFieldsArray orders;
    orders.Add(std::make_unique<TOrderInfo>());
    EXPECT_FALSE(GetObjects(connector, {{"user_id", "1"}}, orders, OrderFactory()));
    EXPECT_EQ(orders.GetSize(), 0);
    EXPECT_TRUE(Log().isEmpty());

    test::CaptureServer capture("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n"
                                "<r><ReturnValue code='0'/><objects><object id='1'/><object id='2'/></objects></r>");
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(capture.Port()));
    TServerConnector second;
    int made = 0;
    EXPECT_TRUE(GetObjects(second, {}, orders, [&]() -> std::unique_ptr<TBaseField> {
        return ++made == 1 ? nullptr : std::make_unique<TOrderInfo>();
    }));
    ASSERT_EQ(orders.GetSize(), 1);
    EXPECT_EQ(orders.GetAt(0)->GetId(), 2);
}

// ---- the table ----

class HistoryModel : public testing::Test {
protected:
    using Type = TFieldsListModel::ColumnType;

    void SetUp() override
    {
        m_model.AddColumn("id", "Numer zlecenia", Type::Integer);
        m_model.AddColumn("status", "Status", Type::Text);
        m_model.AddColumn("price", "Wartość", Type::Real);
    }
    void Add(Fields fields) { m_orders.Add(Order(fields)); }
    std::vector<int> Ids() const
    {
        std::vector<int> ids;
        for (int row = 0; row < m_model.rowCount(); ++row)
            ids.push_back(m_model.RowId(row));
        return ids;
    }

    TFieldsListModel m_model;
    TFieldsArray m_orders;
};

TEST_F(HistoryModel, FillShowsDisplayTextsInChosenColumnsInArrayOrder)
{
    Add({{"id", "10"}, {"status", "toupload"}, {"price", "12.40"}, {"lab_name", "not a column"}});
    m_orders.Add(nullptr);
    Add({});
    m_model.Fill(m_orders);
    ASSERT_EQ(m_model.rowCount(), 2);
    ASSERT_EQ(m_model.columnCount(), 3);
    EXPECT_EQ(m_model.headerData(2, Qt::Horizontal).toString(), "Wartość");
    EXPECT_EQ(m_model.data(m_model.index(0, 1)).toString(), "trwa wysyłanie...");
    EXPECT_EQ(m_model.data(m_model.index(0, 0), Qt::UserRole).toInt(), 10);
    // An object without fields is a row of empty cells with number 0.
    EXPECT_EQ(m_model.CellText(1, 0), "");
    EXPECT_EQ(m_model.RowId(1), 0);
    EXPECT_EQ(m_model.SortColumn(), -1);
}

TEST_F(HistoryModel, ColumnsSortByTheirTypeAndHeaderClicksToggleDirection)
{
    Add({{"id", "10"}, {"status", "b"}, {"price", "10.50"}});
    Add({{"id", "9"}, {"status", "a"}, {"price", "10.20"}});
    Add({{"id", "100"}, {"status", "B"}, {"price", "2"}});
    m_model.Fill(m_orders);

    m_model.HeaderClicked(0); // numbers, not texts: 9 before 10 before 100
    EXPECT_EQ(Ids(), (std::vector<int>{9, 10, 100}));
    m_model.HeaderClicked(0);
    EXPECT_FALSE(m_model.Ascending());
    EXPECT_EQ(Ids(), (std::vector<int>{100, 10, 9}));
    m_model.HeaderClicked(2); // another column: ascending again; 10.20 and 10.50 are not equal
    EXPECT_TRUE(m_model.Ascending());
    EXPECT_EQ(Ids(), (std::vector<int>{100, 9, 10}));
    m_model.HeaderClicked(1); // case-sensitive: "B" before "a" before "b"
    EXPECT_EQ(Ids(), (std::vector<int>{100, 9, 10}));

    // The sort survives a refill.
    m_model.HeaderClicked(1);
    m_model.Fill(m_orders);
    EXPECT_EQ(m_model.SortColumn(), 1);
    EXPECT_EQ(Ids(), (std::vector<int>{10, 9, 100}));
}

TEST_F(HistoryModel, RowsSharingANumberSortByTheirOwnValues)
{
    Add({{"id", "5"}, {"price", "30"}});
    Add({{"id", "7"}, {"price", "20"}});
    Add({{"id", "5"}, {"price", "10"}});
    m_model.Fill(m_orders);
    m_model.HeaderClicked(2);
    EXPECT_EQ(m_model.CellText(0, 2), "10");
    EXPECT_EQ(m_model.CellText(1, 2), "20");
    EXPECT_EQ(m_model.CellText(2, 2), "30");
}

TEST(FieldsCompare, LargeIntegersDoNotOverflow)
{
    using Type = TFieldsListModel::ColumnType;
    EXPECT_LT(TFieldsListModel::CompareCells(Type::Integer, "-2000000000", "2000000000"), 0);
    EXPECT_GT(TFieldsListModel::CompareCells(Type::Integer, "2000000000", "-2000000000"), 0);
    EXPECT_EQ(TFieldsListModel::CompareCells(Type::Real, "1.5x", "1.50"), 0);
}

} // namespace
} // namespace zv
