// Server commands against the reference laboratory server and, for the
// reply rules, against canned replies.

#include "net/error_log.h"
#include "net/internet_handle.h"
#include "net/lenient_number.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/price_list.h"
#include "tests/net/capture_server.h"
#include "tests/net/labserver_process.h"

#include <QDateTime>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

namespace zv {
namespace {

using test::CaptureServer;
using test::LabServerProcess;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// One labserver with the sample data for the whole suite; each test gets a
// fresh program folder (error.log, downloads).
class LabServerTest : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new QTemporaryDir;
        ASSERT_TRUE(test::CopySampleData(s_dir->filePath("data")));
        s_server = new LabServerProcess;
        ASSERT_TRUE(s_server->Start(s_dir->filePath("data"), s_dir->filePath("store")));
    }
    static void TearDownTestSuite()
    {
        EXPECT_EQ(s_server->Stop(), 0);
        delete s_server;
        delete s_dir;
    }
    void SetUp() override
    {
        ASSERT_TRUE(m_folder.isValid());
        SetNetProgramFolderForTesting(m_folder.path());
        SetServerBaseAddressForTesting(s_server->BaseAddress());
        SetTransferTimeoutsForTesting({5, 1, 2});
        Control("fault=none");
    }
    // Sets a fault switch of the server.
    static void Control(const QByteArray& query)
    {
        THttpClient client;
        ASSERT_TRUE(client.Open(s_server->BaseAddress() + "control"));
        for (const QByteArray& pair : query.split('&')) {
            const auto kv = pair.split('=');
            client.AddParam(QString::fromLatin1(kv.value(0)), QString::fromLatin1(kv.value(1)));
        }
        ASSERT_TRUE(client.Send());
        QByteArray text;
        ASSERT_TRUE(client.ReadReply(text));
        ASSERT_EQ(text, "ok\n") << query.constData();
    }
    QByteArray Log() const { return ReadAll(m_folder.filePath("error.log")); }

    QTemporaryDir m_folder;
    static inline QTemporaryDir* s_dir = nullptr;
    static inline LabServerProcess* s_server = nullptr;
};

TEST_F(LabServerTest, StartUpCatalogueSequenceReadsTheSampleData)
{
    TServerConnector c;
    QString value;
    ASSERT_TRUE(c.GetConfigVal("CURRENCY_NAME", value));
    EXPECT_EQ(value, "PLN");
    ASSERT_TRUE(c.GetConfigVal("SESSION_OPEN_PRICE", value));
    EXPECT_EQ(value, "2.50");
    ASSERT_TRUE(c.GetConfigVal("ADVERTISEMENT_START", value));
    EXPECT_EQ(value, s_server->BaseAddress() + "pages/advert.html");
    ASSERT_TRUE(c.GetConfigVal("NO_SUCH_KEY", value));
    EXPECT_TRUE(value.isEmpty());

    TPriceList prices;
    QString code = "WIOSNA10";
    ASSERT_TRUE(c.GetPrices("demo", "demo", code, prices, QString()));
    EXPECT_EQ(code, "WIOSNA10");
    EXPECT_EQ(prices.id, "2026-wiosna");
    ASSERT_EQ(prices.GetSize(), 5);
    const _format& f913 = prices.GetAt(0);
    EXPECT_EQ(f913.name, "9x13");
    EXPECT_EQ(f913.formatId, "F0913");
    EXPECT_EQ(f913.width, 89);
    EXPECT_EQ(f913.height, 127);
    ASSERT_EQ(f913.minPrices.size(), 3u);
    EXPECT_FLOAT_EQ(f913.GetUnitPrice(49), 0.53f); // 10 % off 0.59
    EXPECT_FLOAT_EQ(f913.GetUnitPrice(150), 0.35f);
    EXPECT_TRUE(prices.GetAt(1).isDefault);
    EXPECT_EQ(prices.GetAt(4).GetMaxQuantity(), 50);

    code = "NOPE";
    ASSERT_TRUE(c.GetPrices("demo", "demo", code, prices, "1"));
    EXPECT_TRUE(code.isEmpty());
    EXPECT_FLOAT_EQ(prices.GetAt(0).GetUnitPrice(1), 0.59f);

    std::vector<_LabInfo> labs;
    ASSERT_TRUE(c.GetLaboratories(prices.id, labs));
    ASSERT_EQ(labs.size(), 6u);
    EXPECT_EQ(labs[0].id, 1);
    EXPECT_EQ(labs[0].miasto, QString::fromUtf8("Kraków"));
    EXPECT_EQ(labs[4].name, QString::fromUtf8("Foto Długi Targ"));

    std::vector<_PaymentType> payments;
    ASSERT_TRUE(c.GetPaymentTypes(payments));
    ASSERT_EQ(payments.size(), 6u);
    EXPECT_EQ(payments[2].extengine, "przelewy24");
    EXPECT_EQ(payments[2].labsids, (std::set<int>{1, 2, 3, 4}));
    EXPECT_EQ(payments[0].labsids.size(), 6u);
    EXPECT_FLOAT_EQ(payments[5].add_price, 1.5f);
    EXPECT_EQ(payments[5].name, QString::fromUtf8("Płatność kartą w punkcie"));
    EXPECT_TRUE(Log().isEmpty());
}

TEST_F(LabServerTest, CatalogueListsAppendOrRefillAsSpecified)
{
    TServerConnector c;
    std::vector<_Kadrowanie> crops{{"old", "old"}};
    ASSERT_TRUE(c.GetKadrowania("demo", "demo", crops));
    ASSERT_EQ(crops.size(), 3u);
    EXPECT_EQ(crops[0].code, "kadr");

    QStringList papers;
    ASSERT_TRUE(c.GetGradations("F2030", papers));
    ASSERT_TRUE(c.GetGradations("F2030", papers));
    EXPECT_EQ(papers.size(), 6); // each call appends
    EXPECT_EQ(papers[2], QString::fromUtf8("satynowy"));

    QStringList promotions{"stale"};
    EXPECT_FALSE(c.GetPromotions("5", promotions)); // always false, list filled
    EXPECT_EQ(promotions, (QStringList{"WIOSNA10", "GDANSK5"}));
    EXPECT_TRUE(Log().contains("?GetPromotions:1000"));

    QString link;
    ASSERT_TRUE(c.GetBanner(link)) << Log().constData();
    EXPECT_EQ(link, s_server->BaseAddress() + "pages/banner.html");
}

TEST_F(LabServerTest, AccountLifecycle)
{
    TServerConnector c;
    const QString login = "konto" + QString::number(QDateTime::currentMSecsSinceEpoch());
    _ClientInfo info;
    info.login = login;
    info.password = "tajne";
    info.imie = QString::fromUtf8("Zofia");
    info.nazwisko = QString::fromUtf8("Wójcik");
    info.kod = "00-950";
    info.email = login + "@example.com";
    ASSERT_TRUE(c.CreateNewClient(info));
    EXPECT_FALSE(c.CreateNewClient(info)); // login taken

    EXPECT_TRUE(c.IsClientLoginExist(login, "tajne", QString()));
    EXPECT_FALSE(c.IsClientLoginExist(login, "wrong", QString()));
    EXPECT_TRUE(c.IsClientLoginExist("someone-else", QString(), login + "@example.com"));
    EXPECT_FALSE(c.IsClientLoginExist("free-login", QString(), "free@example.com"));

    _ClientInfo read;
    read.password = "kept";
    ASSERT_TRUE(c.GetClientInfo(login, "tajne", read));
    EXPECT_GT(read.id, 0u);
    EXPECT_EQ(read.nazwisko, QString::fromUtf8("Wójcik"));
    EXPECT_EQ(read.kod, "00-950");
    EXPECT_EQ(read.punkty, 20); // CLIENT_START_POINTS
    EXPECT_EQ(read.password, "kept");

    read.miasto = QString::fromUtf8("Łódź");
    read.password = "not sent";
    ASSERT_TRUE(c.UpdateClientInfo("tajne", read));
    _ClientInfo again;
    ASSERT_TRUE(c.GetClientInfo(login, "tajne", again));
    EXPECT_EQ(again.miasto, QString::fromUtf8("Łódź"));

    EXPECT_TRUE(c.RemindPassword(login + "@example.com"));
    EXPECT_FALSE(c.RemindPassword("nobody@example.com"));
}

TEST_F(LabServerTest, PreconditionsSendNothing)
{
    TServerConnector c;
    QString value = "x";
    EXPECT_FALSE(c.GetConfigVal(QString(), value));
    EXPECT_FALSE(c.UpdateClientInfo(QString(), _ClientInfo{}));
    EXPECT_TRUE(Log().isEmpty()) << "these two fail without a log entry";

    _ClientInfo info;
    EXPECT_FALSE(c.GetClientInfo(QString(), "p", info));
    EXPECT_FALSE(c.IsClientLoginExist(QString(), QString(), QString()));
    std::vector<_Kadrowanie> crops;
    EXPECT_FALSE(c.GetKadrowania("u", QString(), crops));
    const QByteArray log = Log();
    EXPECT_TRUE(log.contains("?GetClientInfo:380 ---\r\nResponse:\r\n\t\r\n\r\n"));
    EXPECT_TRUE(log.contains("?IsClientLoginExist:313"));
    EXPECT_TRUE(log.contains("?GetKadrowania:764"));
}

struct FaultCase {
    const char* name;
    const char* control; // empty: the server is not reachable
    bool replyInLog;     // the reply text is in the log entry
    bool everyCommand;   // false: one command is enough (the slow cases)
};

// Every command of the connectors, with its log tag.
struct Command {
    const char* tag;
    std::function<bool(TServerConnector&)> call;
};

std::vector<Command> AllCommands()
{
    return {
        {"?GetConfigVal:698", [](TServerConnector& c) { QString v; return c.GetConfigVal("CURRENCY_NAME", v); }},
        {"?GetBanner:214", [](TServerConnector& c) { QString v; return c.GetBanner(v); }},
        {"?GetLaboratories:565", [](TServerConnector& c) { std::vector<_LabInfo> v; return c.GetLaboratories("1", v); }},
        {"?GetPaymentTypes:643", [](TServerConnector& c) { std::vector<_PaymentType> v; return c.GetPaymentTypes(v); }},
        {"?GetKadrowania:764", [](TServerConnector& c) { std::vector<_Kadrowanie> v; return c.GetKadrowania("demo", "demo", v); }},
        {"?GetGradations:824", [](TServerConnector& c) { QStringList v; return c.GetGradations("F1015", v); }},
        {"?GetPromotions:1000", [](TServerConnector& c) { QStringList v; return c.GetPromotions("1", v); }},
        {"?GetPrices:949", [](TServerConnector& c) { TPriceList p; QString code; return c.GetPrices("demo", "demo", code, p, "1"); }},
        {"?RemindPassword:260", [](TServerConnector& c) { return c.RemindPassword("jan.kowalski@example.com"); }},
        {"?IsClientLoginExist:313", [](TServerConnector& c) { return c.IsClientLoginExist("demo", "demo", QString()); }},
        {"?GetClientInfo:380", [](TServerConnector& c) { _ClientInfo i; return c.GetClientInfo("demo", "demo", i); }},
        {"?CreateNewClient:438", [](TServerConnector& c) {
             _ClientInfo i;
             i.login = "new" + QString::number(QDateTime::currentMSecsSinceEpoch());
             i.password = "x";
             return c.CreateNewClient(i);
         }},
        {"?UpdateClientInfo:501", [](TServerConnector& c) {
             _ClientInfo i;
             i.login = "demo";
             i.id = 1;
             i.imie = "Jan";
             i.nazwisko = "Kowalski";
             i.email = "jan.kowalski@example.com";
             return c.UpdateClientInfo("demo", i);
         }},
        {"?IsUpdateAvaliable:113", [](TServerConnector& c) { int n = 0; return c.IsUpdateAvaliable(n); }},
        {"?CheckForUpdate:211", [](TServerConnector& c) { QString p; return c.CheckForUpdate(0, p); }},
        {"?DownloadGDIPlus:288", [](TServerConnector& c) { QString p; return c.DownloadGDIPlus(p); }},
    };
}

class LabServerFault : public LabServerTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(LabServerFault, EveryCommandFailsAndLogs)
{
    const FaultCase& f = GetParam();
    if (*f.control)
        Control(QByteArray(f.control) + "&count=0");
    else
        SetServerBaseAddressForTesting("http://127.0.0.1:1/");
    auto commands = AllCommands();
    if (!f.everyCommand)
        commands.resize(1);
    for (const Command& command : commands) {
        QFile::remove(m_folder.filePath("error.log"));
        TServerConnector c;
        EXPECT_FALSE(command.call(c)) << command.tag;
        const QByteArray log = Log();
        EXPECT_TRUE(log.startsWith("--- [")) << command.tag;
        EXPECT_TRUE(log.contains(QByteArray("], ") + command.tag + " ---\r\nResponse:\r\n\t")) << command.tag;
        if (QByteArrayView(command.tag).startsWith("?GetConfigVal")) {
            EXPECT_EQ(log.contains("<reply>"), f.replyInLog) << log.left(300).constData();
        }
    }

    // Without the fault the same commands work again (the update ones have
    // nothing to offer with the sample data).
    Control("fault=none");
    SetServerBaseAddressForTesting(s_server->BaseAddress());
    for (const Command& command : AllCommands()) {
        TServerConnector c;
        const QByteArrayView tag(command.tag);
        const bool offered = !tag.startsWith("?GetPromotions") && !tag.startsWith("?IsUpdate") &&
                             !tag.startsWith("?CheckForUpdate") && !tag.startsWith("?DownloadGDIPlus");
        EXPECT_EQ(command.call(c), offered) << command.tag;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Replies, LabServerFault,
    testing::Values(FaultCase{"ServerDown", "", false, true},
                    FaultCase{"NonText", "fault=nontext", false, true},
                    FaultCase{"Empty", "fault=empty", false, true},
                    FaultCase{"Malformed", "fault=malformed", true, true},
                    FaultCase{"CodeOtherThanZero", "fault=code&n=7", true, true},
                    FaultCase{"DroppedMidReply", "fault=drop&n=20", false, true},
                    FaultCase{"Huge40MB", "fault=huge&n=40", false, false},
                    FaultCase{"StopsAnsweringMidReply", "fault=stall", false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Envelope, HostileReplyFailsWithoutHarm)
{
    QTemporaryDir folder;
    SetNetProgramFolderForTesting(folder.path());
    for (const QByteArray& body : {QByteArray(200000, '<'), QByteArray("<r>") + QByteArray(100000, 'a').replace("a", "<a>"),
                                   QByteArray("<r a='") + QByteArray(5 * 1024 * 1024, 'x'), QByteArray("\0\0\0<r>", 6)}) {
        CaptureServer server("HTTP/1.0 200 OK\r\nContent-Type: text/plain\r\n\r\n" + body);
        SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
        TServerConnector c;
        QString value;
        EXPECT_FALSE(c.GetConfigVal("CURRENCY_NAME", value));
    }
}

TEST_F(LabServerTest, SlowButSteadyReplyStillArrives)
{
    Control("fault=slow&n=20");
    TServerConnector c;
    QString value;
    EXPECT_TRUE(c.GetConfigVal("CURRENCY_NAME", value));
    EXPECT_EQ(value, "PLN");
}

TEST_F(LabServerTest, ErrorLogFirstEntryOfARunReplacesTheFile)
{
    QFile old(m_folder.filePath("error.log"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old run\r\n");
    old.close();

    TServerConnector c;
    EXPECT_FALSE(c.IsClientLoginExist("no-such-login", QString(), QString()));
    EXPECT_FALSE(c.RemindPassword("nobody@example.com"));
    const QByteArray log = Log();
    EXPECT_FALSE(log.contains("old run"));
    const QRegularExpression entry(
        "^--- \\[\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\], \\?IsClientLoginExist:313 ---\r\n"
        "Response:\r\n\t<reply><ReturnValue code=\"1\" message=\"no such login\"/></reply>\r\n\r\n\r\n"
        "--- \\[[^\\]]+\\], \\?RemindPassword:260 ---\r\nResponse:\r\n\t<reply>.*</reply>\r\n\r\n\r\n$");
    EXPECT_TRUE(entry.match(QString::fromLatin1(log)).hasMatch()) << log.toPercentEncoding(" <>=/\\\"-[]:,.?").constData();
}

TEST_F(LabServerTest, NoUpdateOfferedIsLogged)
{
    TServerConnector c;
    int packets = -5;
    EXPECT_FALSE(c.IsUpdateAvaliable(packets));
    EXPECT_EQ(packets, -5);
    EXPECT_TRUE(Log().contains("?IsUpdateAvaliable:113"));
    QString path;
    EXPECT_FALSE(c.DownloadGDIPlus(path));
    EXPECT_TRUE(Log().contains("?DownloadGDIPlus:288 ---\r\nResponse:\r\n\t<reply><ReturnValue code=\"1\""));
}

TEST(CurrencyName, FallsBackToPlnWithoutServerAndAsksAgainForAnEmptyName)
{
    QTemporaryDir folder;
    SetNetProgramFolderForTesting(folder.path());
    SetServerBaseAddressForTesting("http://127.0.0.1:1/");
    ResetCurrencyNameForTesting();
    EXPECT_EQ(GetCurrencyName(), "PLN");

    CaptureServer empty("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n"
                        "<r><ReturnValue code=\"0\"/><configval value=\"\"/></r>");
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(empty.Port()));
    ResetCurrencyNameForTesting();
    EXPECT_EQ(GetCurrencyName(), "");
    EXPECT_EQ(GetCurrencyName(), "");
    EXPECT_EQ(empty.Requests().size(), 2u);
    EXPECT_TRUE(empty.Requests()[0].contains("command=GetConfigVal&zvver=5F0B2C71-8E4A-4D36-9A1E-3C7D2B9F6E04-47"
                                             "&id=CURRENCY_NAME&partner_id=0"));

    CaptureServer eur("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n"
                      "<r><ReturnValue code=\"0\"/><configval value=\"EUR\"/></r>");
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(eur.Port()));
    ResetCurrencyNameForTesting();
    EXPECT_EQ(GetCurrencyName(), "EUR");
    EXPECT_EQ(GetCurrencyName(), "EUR");
    EXPECT_EQ(eur.Requests().size(), 1u);
    ResetCurrencyNameForTesting();
}

// The envelope's reading rules, on canned replies.
struct EnvelopeCase {
    const char* name;
    const char* body;
    bool success;
    const char* link; // after GetBanner
};

class Envelope : public testing::TestWithParam<EnvelopeCase> {};

TEST_P(Envelope, JudgesTheReply)
{
    QTemporaryDir folder;
    SetNetProgramFolderForTesting(folder.path());
    CaptureServer server("HTTP/1.0 200 OK\r\nContent-Type: text/xml\r\n\r\n" + QByteArray(GetParam().body));
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
    TServerConnector c;
    QString link = "unchanged";
    EXPECT_EQ(c.GetBanner(link), GetParam().success);
    EXPECT_EQ(link, QString::fromLatin1(GetParam().link));
    EXPECT_EQ(QFile::exists(folder.filePath("error.log")), !GetParam().success);
}

INSTANTIATE_TEST_SUITE_P(
    Rules, Envelope,
    testing::Values(
        EnvelopeCase{"CodeZero", "<r><ReturnValue code='0'/><Banner link='L'/></r>", true, "L"},
        EnvelopeCase{"CodeOne", "<r><ReturnValue code='1'/><Banner link='L'/></r>", false, "L"},
        EnvelopeCase{"LowerCaseNames", "<r><returnvalue code='0'/><banner link='L'/></r>", true, "L"},
        EnvelopeCase{"AnySuccessChildIsEnough", "<r><ReturnValue code='2'/><ReturnValue code='0'/></r>", true,
                     "unchanged"},
        EnvelopeCase{"CodeMustBeExactlyZero", "<r><ReturnValue code='00'/></r>", false, "unchanged"},
        EnvelopeCase{"NestedDeeperIsNotRead", "<r><ReturnValue code='0'/><x><Banner link='L'/></x></r>", true,
                     "unchanged"},
        EnvelopeCase{"RootWithoutChildren", "<r/>", false, "unchanged"},
        EnvelopeCase{"NotXml", "Fatal error: database down", false, "unchanged"},
        EnvelopeCase{"Truncated", "<r><ReturnValue code='0'/><Banner link='L", false, "unchanged"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Envelope, NoServerAddressFailsAtOnceWithALogEntry)
{
    QTemporaryDir folder;
    SetNetProgramFolderForTesting(folder.path());
    SetServerBaseAddressForTesting(QString());
    TServerConnector c;
    QString link;
    EXPECT_FALSE(c.GetBanner(link));
    EXPECT_TRUE(ReadAll(folder.filePath("error.log")).contains("?GetBanner:214 ---\r\nResponse:\r\n\t\r\n\r\n"));
}

TEST(Envelope, FieldsGoInTheCommandsOrder)
{
    QTemporaryDir folder;
    SetNetProgramFolderForTesting(folder.path());
    CaptureServer server;
    SetServerBaseAddressForTesting(QStringLiteral("http://127.0.0.1:%1/").arg(server.Port()));
    TServerConnector c;
    const QByteArray v = "zvver=5F0B2C71-8E4A-4D36-9A1E-3C7D2B9F6E04-47";
    TPriceList prices;
    QString code = "K1";
    c.GetPrices("u", "p", code, prices, "3");
    c.IsClientLoginExist("u", "p", QString());
    c.IsClientLoginExist("u", QString(), "e@x");
    QStringList grads;
    c.GetGradations("F1", grads);
    c.GetPromotions(QString(), grads);
    _ClientInfo info;
    info.login = "l";
    info.password = "record";
    info.id = 9;
    info.kod = "00-950";
    c.UpdateClientInfo("arg", info);
    const auto r = server.Requests();
    ASSERT_EQ(r.size(), 6u);
    const auto body = [&](size_t i) { return r[i].mid(r[i].indexOf("\r\n\r\n") + 4); };
    EXPECT_EQ(body(0), "command=GetPrices&" + v + "&user=u&password=p&kodpromocji=K1&partner_id=0&lab_id=3&singlecode=K1");
    EXPECT_EQ(body(1), "command=IsClientLoginExist&" + v + "&user=u&password=p&partner_id=0");
    EXPECT_EQ(body(2), "command=IsClientLoginExist&" + v + "&user=u&email=e@x&partner_id=0");
    EXPECT_EQ(body(3), "command=GetGradations&" + v + "&format_id=F1");
    EXPECT_EQ(body(4), "command=GetPromotion&" + v + "&lab_id=&partner_id=0");
    EXPECT_EQ(body(5), "command=UpdateClientInfo&" + v + "&login=l&password=arg&id=9&imie=&nazwisko=&ulica=&kod=00-950"
                       "&miasto=&telefon=&komorka=&email=&firma=&nip=&partner_id=0");
}

struct NumberCase {
    const char* text;
    int integer;
    double decimal;
};

class Lenient : public testing::TestWithParam<NumberCase> {};

TEST_P(Lenient, ReadsTheLeadingNumber)
{
    EXPECT_EQ(LenientInt(GetParam().text), GetParam().integer);
    EXPECT_DOUBLE_EQ(LenientDouble(GetParam().text), GetParam().decimal);
}

INSTANTIATE_TEST_SUITE_P(Numbers, Lenient,
                         testing::Values(NumberCase{"12", 12, 12}, NumberCase{"  -7x", -7, -7},
                                         NumberCase{"+3.75 zł", 3, 3.75}, NumberCase{"1e2", 1, 100},
                                         NumberCase{"abc", 0, 0}, NumberCase{"", 0, 0},
                                         NumberCase{"10,50", 10, 10}, NumberCase{"99999999999", 2147483647, 99999999999.0}));

struct NameCase {
    const char* header;
    const char* name; // null: refused
};

class ServedName : public testing::TestWithParam<NameCase> {};

TEST_P(ServedName, StaysAPlainNameInTheProgramFolder)
{
    const auto name = TServerConnector::ServedFileName(GetParam().header);
    if (GetParam().name) {
        EXPECT_EQ(name.value_or("<refused>"), QString::fromLatin1(GetParam().name));
    }
    else
        EXPECT_FALSE(name.has_value()) << qPrintable(*name);
}

INSTANTIATE_TEST_SUITE_P(Headers, ServedName,
                         testing::Values(NameCase{"attachment; filename=setup.dll", "setup.dll"},
                                         NameCase{"attachment; filename=\"setup.dll\"", "\"setup.dll\""},
                                         NameCase{"attachment; filename=../../etc/passwd", nullptr},
                                         NameCase{"attachment; filename=/tmp/x", nullptr},
                                         NameCase{"attachment; filename=..", nullptr},
                                         NameCase{"attachment; filename=a\\b.dll", nullptr},
                                         NameCase{"attachment; filename=", nullptr},
                                         NameCase{"inline", nullptr}));

} // namespace
} // namespace zv
