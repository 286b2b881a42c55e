#include "order/payment.h"

#include "app/program_folder.h"
#include "app/url_encode.h"
#include "net/client_info.h"
#include "net/order_info.h"
#include "net/server_address.h"
#include "net/server_connector_base.h"
#include "order/dispatch.h"

#include <QSettings>
#include <QUrl>

#include <algorithm>

namespace zv {

namespace {

// The service's address without a trailing slash; the order server's own
// origin when none is configured.
QString ServiceRoot(const QString& configured)
{
    QString root = configured;
    if (root.isEmpty()) {
        const QUrl base(ServerBaseAddress());
        root = base.adjusted(QUrl::RemovePath | QUrl::RemoveQuery | QUrl::RemoveFragment).toString();
    }
    while (root.endsWith(u'/'))
        root.chop(1);
    return root;
}

// A configuration value that names a usable identifier.
std::optional<QString> Identifier(TServerConnectorBase& connector, const char* key)
{
    QString value;
    if (!connector.GetConfigVal(QString::fromLatin1(key), value) || value.isEmpty() || value == u"0")
        return std::nullopt;
    return value;
}

} // namespace

_PaymentConfig LoadPaymentConfig()
{
    _PaymentConfig config;
    QSettings ini(GetProgramFolder() + QStringLiteral("zelvio.ini"), QSettings::IniFormat);
    ini.beginGroup(QStringLiteral("Payment"));
    config.przelewy24Engine = ini.value(QStringLiteral("Przelewy24Engine"), config.przelewy24Engine).toString();
    config.allpayEngine = ini.value(QStringLiteral("AllpayEngine"), config.allpayEngine).toString();
    config.przelewy24Address = ini.value(QStringLiteral("Przelewy24Address")).toString();
    config.allpayAddress = ini.value(QStringLiteral("AllpayAddress")).toString();
    config.mtransferAddress = ini.value(QStringLiteral("MTransferAddress")).toString();
    return config;
}

double PaymentAmount(const _OrderInfo& order, const _ClientInfo& client)
{
    const double deduction = order.usepoints ? std::min(client.punkty * 0.1, double(order.price)) : 0.0;
    return double(order.correctionPrice) + double(order.price) - deduction;
}

std::optional<_PaymentRequest> BuildPaymentRequest(const _OrderInfo& order, const _ClientInfo& client,
                                                   TServerConnectorBase& connector, const QString& clientVersion,
                                                   const QString& baseAddress, const _PaymentConfig& config)
{
    const double amount = PaymentAmount(order, client);
    QString description = QStringLiteral("Płatność za usługi Fotograficzne nr %1").arg(order.order_id);
    const QString& engine = order.payment_extengine;

    if (!config.przelewy24Engine.isEmpty() && engine == config.przelewy24Engine) {
        const auto seller = Identifier(connector, "PRZELEWY24_ID_SPRZEDAWCY");
        if (!seller)
            return std::nullopt;
        QString demo;
        if (!connector.GetConfigVal(QStringLiteral("PRZELEWY24_DEMO_MODE"), demo))
            return std::nullopt;
        if (demo == u"1")
            description = order.order_id % 2 == 0 ? QStringLiteral("TEST_OK") : QStringLiteral("TEST_ERR");
        // The values go in as they are: the service reads them unencoded.
        // Built by concatenation: a value holding "%1" must stay as typed.
        const QString form = QStringLiteral("p24_language=pl&p24_session_id=") + clientVersion + QChar(u'/') +
                             QString::number(order.order_id) + QStringLiteral("&p24_id_sprzedawcy=") + *seller +
                             QStringLiteral("&p24_kwota=") + QString::asprintf("%.0f", amount * 100) + QStringLiteral("&p24_klient=") +
                             client.imie + QChar(u' ') + client.nazwisko + QStringLiteral("&p24_adres=") + client.ulica + QStringLiteral("&p24_kod=") +
                             client.kod + QStringLiteral("&p24_miasto=") + client.miasto + QStringLiteral("&p24_kraj=PL&p24_email=") +
                             client.email + QStringLiteral("&p24_opis=") + description + QStringLiteral("&p24_return_url_ok=") + baseAddress +
                             QStringLiteral("/przelewy24.php?retok=1&p24_return_url_error=") + baseAddress +
                             QStringLiteral("/przelewy24.php?retok=0");
        return _PaymentRequest{ServiceRoot(config.przelewy24Address) + QStringLiteral("/index.php"), form};
    }

    if (!config.allpayEngine.isEmpty() && engine == config.allpayEngine) {
        const auto id = Identifier(connector, "ALLPAY_ID_KLIENTA");
        if (!id)
            return std::nullopt;
        QString currency;
        if (!connector.GetConfigVal(QStringLiteral("CURRENCY_NAME"), currency))
            currency = QStringLiteral("PLN");
        const QString form = QStringLiteral("id=%1&kwota=%2&waluta=%3&opis=%4&lang=%5&URL=%6/allpay.php&type=1&control=%7/%8&")
                                 .arg(*id, QString::asprintf("%.2f", amount), currency, description,
                                      QStringLiteral("pl"), baseAddress, clientVersion,
                                      QString::number(order.order_id));
        return _PaymentRequest{ServiceRoot(config.allpayAddress) + QStringLiteral("/"), form};
    }

    if (engine == u"mtransfer") {
        QString session = clientVersion;
        session.remove(u'-');
        const auto service = Identifier(connector, "MTRANSFER_SERVICE_ID");
        if (!service)
            return std::nullopt;
        QString encoded = description;
        UrlEncode(encoded);
        const QString address =
            ServiceRoot(config.mtransferAddress) +
            QStringLiteral("/mtransfer.asp?ServiceId=%1&Amount=%2&Description=%3&TrDate=NOW&SessionId=%4&OrderId=%5")
                .arg(*service, QString::asprintf("%.2f", amount), encoded, session, QString::number(order.order_id));
        return _PaymentRequest{address, QString()};
    }
    return std::nullopt;
}

void StartPayment(const _OrderInfo& order, const _ClientInfo& client, TServerConnectorBase& connector,
                  const QString& clientVersion, const _PaymentConfig& config, IPaymentBrowser* browser)
{
    const auto request = BuildPaymentRequest(order, client, connector, clientVersion, ServerBaseAddress(), config);
    if (!request || !browser)
        return;
    browser->SetNormalStyle();
    browser->Show(request->address, request->formData, QStringLiteral("Realizacja płatności"));
}

} // namespace zv
