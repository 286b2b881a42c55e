// The payment requests of the three services, with the sample server's
// configuration values.

#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/payment.h"
#include "tests/net/labserver_process.h"
#include "tests/net/order_servers.h"

#include "net/client_info.h"
#include "net/order_info.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

class Payment : public testing::Test {
protected:
    void Start(const QList<std::pair<QString, QString>>& config = {})
    {
        ASSERT_TRUE(test::CopySampleData(m_dir.filePath("data")));
        ASSERT_TRUE(test::SetConfigValues(m_dir.filePath("data"), config));
        ASSERT_TRUE(m_server.Start(m_dir.filePath("data"), m_dir.filePath("store")));
        SetServerBaseAddressForTesting(m_server.BaseAddress());
        m_version = m_connector.GetClientVersion();
        m_order.order_id = 215;
        m_order.price = 42.5f;
        m_order.correctionPrice = 3.0f;
        m_order.usepoints = true;
        m_client.punkty = 100;
        m_client.imie = "Jan";
        m_client.nazwisko = "Kowalski";
        m_client.ulica = "ul. Długa 5";
        m_client.kod = "30-001";
        m_client.miasto = "Kraków";
        m_client.email = "jan@example.com";
    }
    std::optional<_PaymentRequest> Build(const QString& engine)
    {
        m_order.payment_extengine = engine;
        return BuildPaymentRequest(m_order, m_client, m_connector, m_version, m_server.BaseAddress(), {});
    }

    QTemporaryDir m_dir;
    test::LabServerProcess m_server;
    TServerConnector m_connector;
    QString m_version;
    _OrderInfo m_order;
    _ClientInfo m_client;
};

TEST(PaymentAmount, PointsAreCappedAtThePrice)
{
    _OrderInfo order;
    _ClientInfo client;
    order.price = 42.5f;
    order.correctionPrice = 3.0f;
    client.punkty = 100;
    EXPECT_DOUBLE_EQ(PaymentAmount(order, client), 45.5);
    order.usepoints = true;
    EXPECT_DOUBLE_EQ(PaymentAmount(order, client), 35.5);
    order.price = 20.0f;
    client.punkty = 1000;
    EXPECT_DOUBLE_EQ(PaymentAmount(order, client), 3.0);
}

TEST_F(Payment, EachServiceGetsItsExactRequest)
{
    Start();
    const QString base = m_server.BaseAddress();
    const auto p24 = Build("przelewy24");
    ASSERT_TRUE(p24);
    EXPECT_EQ(p24->address, base + "index.php");
    // Demo mode on an odd order number: the test description for an error.
    EXPECT_EQ(p24->formData,
              "p24_language=pl&p24_session_id=" + m_version + "/215&p24_id_sprzedawcy=10007&p24_kwota=3550"
              "&p24_klient=Jan Kowalski&p24_adres=ul. Długa 5&p24_kod=30-001&p24_miasto=Kraków&p24_kraj=PL"
              "&p24_email=jan@example.com&p24_opis=TEST_ERR&p24_return_url_ok=" + base +
              "/przelewy24.php?retok=1&p24_return_url_error=" + base + "/przelewy24.php?retok=0");
    m_order.order_id = 216;
    EXPECT_TRUE(Build("przelewy24")->formData.contains("&p24_opis=TEST_OK&"));
    m_order.order_id = 215;

    const auto allpay = Build("allpay");
    ASSERT_TRUE(allpay);
    EXPECT_EQ(allpay->address, base);
    EXPECT_EQ(allpay->formData, "id=20011&kwota=35.50&waluta=PLN&opis=Płatność za usługi Fotograficzne nr 215&lang=pl&URL=" +
                                    base + "/allpay.php&type=1&control=" + m_version + "/215&");

    const auto mtransfer = Build("mtransfer");
    ASSERT_TRUE(mtransfer);
    QString session = m_version;
    session.remove(u'-');
    EXPECT_EQ(mtransfer->address, base + "mtransfer.asp?ServiceId=30023&Amount=35.50&Description=P%B3atno%9C%E6+za+us%B3ugi+"
                                         "Fotograficzne+nr+215&TrDate=NOW&SessionId=" + session + "&OrderId=215");
    EXPECT_TRUE(mtransfer->formData.isEmpty());

    EXPECT_FALSE(Build("Przelewy24")) << "engine names are exact";
    EXPECT_FALSE(Build("cash"));
}

TEST_F(Payment, MissingOrZeroIdentifiersSkipThePayment)
{
    Start({{"PRZELEWY24_ID_SPRZEDAWCY", "0"}, {"ALLPAY_ID_KLIENTA", QString()}, {"PRZELEWY24_DEMO_MODE", "0"},
           {"MTRANSFER_SERVICE_ID", ""}});
    EXPECT_FALSE(Build("przelewy24"));
    EXPECT_FALSE(Build("allpay"));
    EXPECT_FALSE(Build("mtransfer"));
}

TEST_F(Payment, ConfiguredEngineNamesAndHosts)
{
    Start({{"PRZELEWY24_DEMO_MODE", "0"}});
    _PaymentConfig config;
    config.przelewy24Engine = "p24";
    config.przelewy24Address = "https://pay.example.test/";
    m_order.payment_extengine = "p24";
    const auto p24 = BuildPaymentRequest(m_order, m_client, m_connector, m_version, m_server.BaseAddress(), config);
    ASSERT_TRUE(p24);
    EXPECT_EQ(p24->address, "https://pay.example.test/index.php");
    EXPECT_TRUE(p24->formData.contains("&p24_opis=Płatność za usługi Fotograficzne nr 215&"));
    m_order.payment_extengine = "przelewy24";
    EXPECT_FALSE(BuildPaymentRequest(m_order, m_client, m_connector, m_version, m_server.BaseAddress(), config));
}

} // namespace
} // namespace zv
