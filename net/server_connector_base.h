#pragma once

#include "net/catalogue_records.h"
#include "net/client_info.h"
#include "net/http_client.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace zv {

class TPriceList;
class TXmlNode;

// A connector for the commands that need no order: catalogue and client
// account. Every command posts its fields to the server script, judges the
// reply's ReturnValue (code "0" is success) and writes an error.log entry on
// failure. A null text (QString()) is "not given"; an empty one is sent.
// Make one on the stack per user action; GUI thread only.
class TServerConnectorBase {
public:
    TServerConnectorBase();
    TServerConnectorBase(const TServerConnectorBase&) = delete;
    TServerConnectorBase& operator=(const TServerConnectorBase&) = delete;
    virtual ~TServerConnectorBase();

    // The text sent as "zvver"; empty in the base.
    virtual QString GetClientVersion();
    // The partner number sent as "partner_id".
    virtual int GetPartnerId();

    THttpCompressedClient& client() { return m_client; }

    // Catalogue.
    bool GetBanner(QString& link);
    bool GetConfigVal(const QString& key, QString& value);
    bool GetLaboratories(const QString& priceListId, std::vector<_LabInfo>& labs);
    bool GetPaymentTypes(std::vector<_PaymentType>& types);
    bool GetKadrowania(const QString& user, const QString& password, std::vector<_Kadrowanie>& options);
    bool GetGradations(const QString& formatCode, QStringList& names); // appends
    // Fills codes from any readable reply; always false and always logged.
    bool GetPromotions(const QString& labId, QStringList& codes);
    bool GetPrices(const QString& user, const QString& password, QString& promotionCode,
                   TPriceList& prices, const QString& labId);

    // Client account.
    bool RemindPassword(const QString& email);
    bool IsClientLoginExist(const QString& user, const QString& password, const QString& email);
    bool GetClientInfo(const QString& user, const QString& password, _ClientInfo& info);
    bool CreateNewClient(const _ClientInfo& info);
    bool UpdateClientInfo(const QString& password, const _ClientInfo& info);

protected:
    using ElementReader = std::function<void(const TXmlNode& element)>;

    // Resets the fields and adds "command" and "zvver".
    void BeginCommand(const char* command);
    void AddField(const char* name, const QString& value);
    void AddPartnerId();
    // Sends, reads and judges; each top-level element of the reply goes to
    // reader as it is met. Logs the reply on failure. lastReply keeps the text.
    bool RunEnvelope(const char* tag, int number, const ElementReader& reader = {});
    // Sends and reads only; false when nothing readable came back.
    bool SendAndRead(QByteArray& reply);
    // Walks the reply's top-level elements; true when one is ReturnValue code="0".
    static bool JudgeReply(const QByteArray& reply, const ElementReader& reader);

    THttpCompressedClient m_client;
};

// Helpers to read reply elements.
bool NameIs(const TXmlNode& node, const char* name);      // case-insensitive
QString AttrText(const TXmlNode& node, const char* name); // empty when absent
int AttrInt(const TXmlNode& node, const char* name);      // 0 when absent
double AttrDouble(const TXmlNode& node, const char* name);

} // namespace zv
