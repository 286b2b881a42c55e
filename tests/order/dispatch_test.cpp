// Sending an order end to end against the reference server: whole, in
// parts and by FTP; faults of the server; cancel; resending the files an
// order still lacks.

#include "tests/order/dispatch_support.h"

#include "app/build_info.h"
#include "net/xml/xml_node.h"

#include <QSettings>

namespace zv {
namespace {

using namespace test;

// The upload names the sample order gets (display names are lower-cased,
// numbered when repeated, ".jpg" throughout).
const QStringList kUploadNames = {"dsc_1.jpg", "dsc_1(1).jpg", "skan, łąka.jpg", "wide.jpg"};

enum class Transport { Whole, Parts, Ftp };

struct TransportCase {
    const char* name;
    Transport transport;
};

class SendOrderEndToEnd : public OrderSession, public testing::WithParamInterface<TransportCase> {};

TEST_P(SendOrderEndToEnd, StoreHoldsEveryPreparedFileAndOrderIsEmptied)
{
    FtpServerProcess ftp;
    QList<std::pair<QString, QString>> config = {{"POST_PART_SIZE", QString()}};
    if (GetParam().transport == Transport::Parts)
        config = {{"POST_PART_SIZE", "-96"}};
    if (GetParam().transport == Transport::Ftp) {
        QDir().mkpath(Path("ftp"));
        ASSERT_TRUE(ftp.Start(Path("ftp")));
        config << std::pair{QStringLiteral("FTP_SERVER"), ftp.Address()} << std::pair{QStringLiteral("FTP_USER"), QStringLiteral("lab")}
               << std::pair{QStringLiteral("FTP_PASSWORD"), QStringLiteral("secret")};
    }
    StartServer(config);
    MakeOrder();
    const QByteArray userFile = [&] {
        QFile f(m_paths[0]);
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();

    TOrderDispatch dispatch(*m_doc, Seams());
    ASSERT_EQ(dispatch.SendOrder(0), DispatchOutcome::Sent) << m_messages.texts().join("\n").toStdString();
    const int order = dispatch.order().order_id;
    ASSERT_GT(order, 0);
    std::printf("order %d sent (%s):\n", order, GetParam().name);
    ExpectStoreHoldsPreparedFiles(order, 4);
    for (const QString& name : kUploadNames)
        EXPECT_TRUE(m_received.count(name)) << name.toStdString();

    // The 3000 x 2000 photo was reduced to the printer's 11.81 px/mm.
    QImage wide;
    ASSERT_TRUE(wide.loadFromData(StoredFile(order, "wide.jpg")));
    EXPECT_LT(wide.width(), 3000);
    EXPECT_GT(wide.width(), 1500);
    // An unedited .jpg at low resolution goes as the user's own file.
    EXPECT_EQ(StoredFile(order, "dsc_1.jpg"), userFile);
    QImage bmp;
    ASSERT_TRUE(bmp.loadFromData(StoredFile(order, "skan, łąka.jpg"), "JPEG")) << "re-encoded as JPEG";

    if (GetParam().transport == Transport::Ftp) {
        EXPECT_TRUE(QFileInfo::exists(
            Path(QStringLiteral("ftp/%1/%2/wide.jpg").arg(QLatin1String(kBuildId)).arg(order))));
    }

    EXPECT_TRUE(QFileInfo::exists(m_doc->OrderFilePathFor(order))) << "the sent order is on disk";
    EXPECT_EQ(m_doc->photos().GetSize(), 0);
    EXPECT_FALSE(QFileInfo::exists(Path("program/__temp__")));
    for (const QString& path : m_paths)
        EXPECT_TRUE(QFileInfo::exists(path)) << "the user's files stay";
    EXPECT_TRUE(m_waits.empty());
    ASSERT_FALSE(m_messages.texts().isEmpty());
    EXPECT_EQ(m_messages.texts().last(), QStringLiteral("Dziękujemy za zamówienie. Odbiór w wybranym punkcie po "
                                                      "otrzymaniu wiadomości e-mail."));
    EXPECT_EQ(m_messages.icons().back(), MsgIcon::Information);
    EXPECT_TRUE(m_windows.opened && m_windows.closed && m_windows.mainVisible);
    EXPECT_EQ(m_windows.points, TZelvioDoc::PointsText(m_doc->clientInfo.punkty, "PLN"));

    QSettings ini(Path(QStringLiteral("store/orders/%1/order.ini").arg(order)), QSettings::IniFormat);
    EXPECT_EQ(ini.value("order/status").toString(), "uploaded");
    EXPECT_EQ(ini.value("order/remarks").toString(), "Bez ramek");
}

INSTANTIATE_TEST_SUITE_P(Transports, SendOrderEndToEnd,
                         testing::Values(TransportCase{"WholeByHttp", Transport::Whole},
                                         TransportCase{"InParts", Transport::Parts},
                                         TransportCase{"ByFtp", Transport::Ftp}),
                         [](const auto& info) { return std::string(info.param.name); });

struct FaultCase {
    const char* name;
    const char* partSize; // null: none
    const char* fault;
    size_t waits; // 10-second waits the retries cost
};

class SendOrderDespiteFaults : public OrderSession, public testing::WithParamInterface<FaultCase> {};

TEST_P(SendOrderDespiteFaults, OrderCompletesWithEveryFileOnce)
{
    const FaultCase& c = GetParam();
    StartServer({{"POST_PART_SIZE", c.partSize ? QString::fromLatin1(c.partSize) : QString()}}, {c.fault});
    MakeOrder();
    TOrderDispatch dispatch(*m_doc, Seams());
    ASSERT_EQ(dispatch.SendOrder(0), DispatchOutcome::Sent);
    const int order = dispatch.order().order_id;
    std::printf("order %d sent despite %s:\n", order, c.fault);
    ExpectStoreHoldsPreparedFiles(order, 4);
    EXPECT_EQ(m_waits.size(), c.waits);
    for (int seconds : m_waits)
        EXPECT_EQ(seconds, 10);
    EXPECT_EQ(m_doc->photos().GetSize(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, SendOrderDespiteFaults,
    testing::Values(
        // The server stores the file, then the reply is cut: the retry finds
        // the file there and does not send it again.
        FaultCase{"ConnectionDroppedAfterFile", nullptr, "drop:30:1:SendOrderFile", 1},
        FaultCase{"GarbageReply", nullptr, "malformed:0:2:SendOrderFile", 2},
        // Refused parts are sent again within the same upload.
        FaultCase{"PartsRefused", "-96", "refuse_parts:3", 0},
        // Whole files refused: each goes in parts instead.
        FaultCase{"WholeRefusedThenParts", "96", "refuse_files:4", 0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(OrderSession, MissingFilesAreSentLaterUnderTheSameNumber)
{
    StartServer({{"POST_PART_SIZE", QString()}}, {"refuse_files:1000"});
    MakeOrder();
    TOrderDispatch first(*m_doc, Seams());
    ASSERT_EQ(first.SendOrder(0), DispatchOutcome::Sent);
    const int order = first.order().order_id;
    // Four attempts per file with a wait between, then one more each.
    EXPECT_EQ(m_waits.size(), 4u * 3u);
    EXPECT_EQ(m_requests, 4 * 5);
    for (const auto& [name, record] : StoreFiles(order))
        EXPECT_EQ(record.first, "toupload") << name.toStdString();

    // From the history: the sent order's photos back, only missing files sent.
    ASSERT_TRUE(Control("fault=none"));
    ASSERT_TRUE(Control("fault=refuse_files&n=1"));
    TXmlNode document;
    ASSERT_TRUE(m_doc->LoadOrderFile(document, order));
    ASSERT_TRUE(m_doc->RestoreOrder(document, order));
    ASSERT_EQ(m_doc->photos().GetSize(), 4);
    m_wizard.runs = 0;
    m_waits.clear();
    TOrderDispatch resend(*m_doc, Seams());
    ASSERT_EQ(resend.SendOrder(order), DispatchOutcome::Sent);
    EXPECT_EQ(m_wizard.runs, 0) << "no wizard when resending";
    EXPECT_EQ(m_waits.size(), 1u);
    std::printf("order %d completed by resending:\n", order);
    ExpectStoreHoldsPreparedFiles(order, 4);
    // The restored order lists its photos in reverse; each still goes under
    // the name the order was opened with: a/DSC_1.JPG is the landscape one.
    QImage landscape, portrait;
    ASSERT_TRUE(landscape.loadFromData(StoredFile(order, "dsc_1.jpg")));
    ASSERT_TRUE(portrait.loadFromData(StoredFile(order, "dsc_1(1).jpg")));
    EXPECT_GT(landscape.width(), landscape.height());
    EXPECT_LT(portrait.width(), portrait.height());

    // Nothing is missing any more: nothing is prepared or sent, the message still shows.
    ASSERT_TRUE(m_doc->LoadOrderFile(document, order));
    ASSERT_TRUE(m_doc->RestoreOrder(document, order));
    const int before = m_requests;
    const qsizetype messages = m_messages.texts().size();
    TOrderDispatch again(*m_doc, Seams());
    ASSERT_EQ(again.SendOrder(order), DispatchOutcome::Sent);
    EXPECT_EQ(m_requests, before);
    EXPECT_EQ(m_messages.texts().size(), messages + 1);
}

TEST_F(OrderSession, CancelWithdrawsTheOrderAndRestoresThePhotos)
{
    StartServer({{"POST_PART_SIZE", QString()}});
    MakeOrder();
    std::vector<QList<_FormatInfo>> entries;
    for (int i = 0; i < m_doc->photos().GetSize(); ++i)
        entries.push_back(m_doc->photos().GetAt(i)->Edits->Formats);
    // Cancel while the second file is sent: that attempt ends, no later
    // file is sent.
    m_windows.progress.cancelAtFile = 2;
    TOrderDispatch dispatch(*m_doc, Seams());
    ASSERT_EQ(dispatch.SendOrder(0), DispatchOutcome::Cancelled);
    const int order = dispatch.order().order_id;

    QSettings ini(Path(QStringLiteral("store/orders/%1/order.ini").arg(order)), QSettings::IniFormat);
    EXPECT_EQ(ini.value("order/status").toString(), "cancelled");
    EXPECT_TRUE(m_messages.texts().contains(LoadString(32798)));
    ASSERT_EQ(m_doc->photos().GetSize(), 4);
    for (int i = 0; i < 4; ++i) {
        const TThumbData* photo = m_doc->photos().GetAt(i);
        EXPECT_EQ(photo->WorkPath, photo->Path);
        EXPECT_EQ(photo->Edits->Formats, entries[size_t(i)]) << i;
    }
    EXPECT_EQ(m_received.size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(Path("program/__temp__")));
}

TEST_F(OrderSession, FailuresBeforeTheUploadKeepTheOrder)
{
    StartServer({{"POST_PART_SIZE", QString()}, {"MINIMAL_ORDER_PRICE", QString()}}, {"code:5:1:BeginNewOrder"});
    MakeOrder();
    // A cancelled wizard ends the run; photos without prints leave the order.
    m_doc->SetQuantity(Path("a/DSC_1.JPG"), 0, 0);
    m_doc->SetQuantity(Path("a/DSC_1.JPG"), 1, 0);
    m_wizard.result = 2;
    TOrderDispatch dispatch(*m_doc, Seams());
    EXPECT_EQ(dispatch.SendOrder(0), DispatchOutcome::NotStarted);
    EXPECT_EQ(m_doc->photos().GetSize(), 3);
    EXPECT_FALSE(m_windows.opened);

    // The server refuses to open the order: message, photos restored.
    m_wizard.result = IOrderWizard::kFinished;
    EXPECT_EQ(dispatch.SendOrder(0), DispatchOutcome::OpenFailed);
    EXPECT_EQ(m_messages.texts().last(), LoadString(32797));
    ASSERT_EQ(m_doc->photos().GetSize(), 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(m_doc->photos().GetAt(i)->WorkPath, m_doc->photos().GetAt(i)->Path);
    EXPECT_FALSE(QFileInfo::exists(Path("program/__temp__")));
    EXPECT_TRUE(m_windows.closed && m_windows.mainVisible);
    EXPECT_EQ(m_requests, 0);

    // A minimum quantity not reached stops before the wizard.
    const int runs = m_wizard.runs;
    m_doc->priceList().GetAt(1).minPrices.front().minQuant = 100;
    EXPECT_EQ(dispatch.SendOrder(0), DispatchOutcome::NotStarted);
    EXPECT_EQ(m_wizard.runs, runs);
}

TEST_F(OrderSession, PaymentPageOpensAfterTheOrderWasSent)
{
    StartServer({{"POST_PART_SIZE", QString()}});
    MakeOrder();
    m_wizard.extengine = "mtransfer";
    TOrderDispatch dispatch(*m_doc, Seams());
    ASSERT_EQ(dispatch.SendOrder(0), DispatchOutcome::Sent);
    ASSERT_EQ(m_browser.addresses.size(), 1);
    EXPECT_TRUE(m_browser.addresses[0].startsWith(m_server.BaseAddress() + "mtransfer.asp?ServiceId=30023&Amount="));
    EXPECT_TRUE(m_browser.addresses[0].endsWith(QStringLiteral("&OrderId=%1").arg(dispatch.order().order_id)));
    EXPECT_EQ(m_browser.titles[0], "Realizacja płatności");
}

} // namespace
} // namespace zv

namespace zv {
namespace {

using namespace test;

TEST_F(OrderSession, CancelDuringARetryEndsAfterThatAttempt)
{
    StartServer({{"POST_PART_SIZE", QString()}}, {"refuse_files:1000"});
    MakeOrder();
    // The first file fails four times; cancel comes with the second
    // attempt of the second file.
    m_windows.progress.cancelAtFile = 6;
    TOrderDispatch dispatch(*m_doc, Seams());
    ASSERT_EQ(dispatch.SendOrder(0), DispatchOutcome::Cancelled);
    // 4 + 2 attempts, then the one extra attempt of the failed first file;
    // the third and fourth files are never tried.
    EXPECT_EQ(m_requests, 7);
    EXPECT_EQ(m_received.size(), 2u);
    EXPECT_EQ(m_waits.size(), 4u) << "no wait once cancelled";
    QSettings ini(Path(QStringLiteral("store/orders/%1/order.ini").arg(dispatch.order().order_id)), QSettings::IniFormat);
    EXPECT_EQ(ini.value("order/status").toString(), "cancelled");
    EXPECT_EQ(m_doc->photos().GetSize(), 4);
}

} // namespace
} // namespace zv
