#pragma once

// Online payment after an order was sent: the request each payment service
// expects, opened in the browser dialog. The outcome is the service's and
// the order server's business; the program learns nothing of it.

#include <QString>

#include <optional>

namespace zv {

class IPaymentBrowser;
class TServerConnectorBase;
struct _ClientInfo;
struct _OrderInfo;

// Installation configuration: the engine names by which the server names
// two of the services, and the services' addresses (scheme, host and
// port). An empty address stands for the order server itself, whose test
// pages take the services' place in the demo.
struct _PaymentConfig {
    QString przelewy24Engine = QStringLiteral("przelewy24");
    QString allpayEngine = QStringLiteral("allpay");
    QString przelewy24Address;
    QString allpayAddress;
    QString mtransferAddress;
};

// Section [Payment] of zelvio.ini in the program folder (keys
// Przelewy24Engine, AllpayEngine, Przelewy24Address, AllpayAddress,
// MTransferAddress); defaults for what is missing.
_PaymentConfig LoadPaymentConfig();

struct _PaymentRequest {
    QString address;
    QString formData; // empty: the address is opened, not posted to
};

// The points deduction (at most the price, the correction charge not
// counted) taken from correctionPrice + price.
double PaymentAmount(const _OrderInfo& order, const _ClientInfo& client);

// The request for the order's engine, or nothing when the engine is
// unknown or the service's configuration values are missing, empty or "0".
// clientVersion is the text sent as "zvver"; baseAddress ends with "/".
std::optional<_PaymentRequest> BuildPaymentRequest(const _OrderInfo& order, const _ClientInfo& client,
                                                   TServerConnectorBase& connector, const QString& clientVersion,
                                                   const QString& baseAddress, const _PaymentConfig& config);

// Builds the request and shows it modally in the browser, titled
// "Realizacja płatności"; silent when there is nothing to pay through.
void StartPayment(const _OrderInfo& order, const _ClientInfo& client, TServerConnectorBase& connector,
                  const QString& clientVersion, const _PaymentConfig& config, IPaymentBrowser* browser);

} // namespace zv
