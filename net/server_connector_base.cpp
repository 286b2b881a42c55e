#include "net/server_connector_base.h"

#include "app/cp1250.h"
#include "net/error_log.h"
#include "net/lenient_number.h"
#include "net/server_address.h"
#include "net/xml/xml_node.h"
#include "order/price_list.h"

#include <QHash>

namespace zv {

namespace {

QByteArray ResponseMessage(const QByteArray& reply)
{
    return "Response:\n\t" + reply;
}

void Fail(const char* tag, int number, const QByteArray& reply = {})
{
    LogError(ResponseMessage(reply), tag, number);
}

bool IsNull(const QString& text)
{
    return text.isNull();
}

} // namespace

bool NameIs(const TXmlNode& node, const char* name)
{
    return node.name.compare(QByteArrayView(name), Qt::CaseInsensitive) == 0;
}

QString AttrText(const TXmlNode& node, const char* name)
{
    const auto value = node.AttrValue(name);
    return value ? cp1250::decode(*value) : QString();
}

int AttrInt(const TXmlNode& node, const char* name)
{
    const auto value = node.AttrValue(name);
    return value ? LenientInt(*value) : 0;
}

double AttrDouble(const TXmlNode& node, const char* name)
{
    const auto value = node.AttrValue(name);
    return value ? LenientDouble(*value) : 0;
}

TServerConnectorBase::TServerConnectorBase() : m_client(false) {}

TServerConnectorBase::~TServerConnectorBase() = default;

QString TServerConnectorBase::GetClientVersion()
{
    return {};
}

int TServerConnectorBase::GetPartnerId()
{
    return 0;
}

void TServerConnectorBase::BeginCommand(const char* command)
{
    m_client.ResetParams();
    m_client.AddParam(QStringLiteral("command"), QString::fromLatin1(command));
    m_client.AddParam(QStringLiteral("zvver"), GetClientVersion());
}

void TServerConnectorBase::AddField(const char* name, const QString& value)
{
    m_client.AddParam(QString::fromLatin1(name), value);
}

void TServerConnectorBase::AddPartnerId()
{
    AddField("partner_id", QString::number(GetPartnerId()));
}

bool TServerConnectorBase::SendAndRead(QByteArray& reply)
{
    reply.clear();
    if (!m_client.Open(ServerScriptAddress()) || !m_client.Send())
        return false;
    m_client.ReadReply(reply);
    return !reply.isEmpty();
}

bool TServerConnectorBase::JudgeReply(const QByteArray& reply, const ElementReader& reader)
{
    TXmlNode root;
    if (!root.Parse(reply, _XmlParseInfo::Reply()) || root.ChildCount() == 0)
        return false;
    bool success = false;
    for (int i = 0; i < root.ChildCount(); ++i) {
        const TXmlNode* child = root.ChildAt(i);
        if (!child || child->type != XmlNodeType::Element)
            continue;
        if (NameIs(*child, "ReturnValue") && child->AttrValue("code") == QByteArray("0"))
            success = true;
        if (reader)
            reader(*child);
    }
    return success;
}

bool TServerConnectorBase::RunEnvelope(const char* tag, int number, const ElementReader& reader)
{
    QByteArray reply;
    const bool ok = SendAndRead(reply) && JudgeReply(reply, reader);
    if (!ok)
        Fail(tag, number, reply);
    return ok;
}

bool TServerConnectorBase::GetBanner(QString& link)
{
    BeginCommand("GetBanner");
    AddPartnerId();
    return RunEnvelope("?GetBanner", 214, [&](const TXmlNode& e) {
        if (NameIs(e, "Banner"))
            link = AttrText(e, "link");
    });
}

bool TServerConnectorBase::GetConfigVal(const QString& key, QString& value)
{
    if (IsNull(key))
        return false;
    value.clear();
    BeginCommand("GetConfigVal");
    AddField("id", key);
    AddPartnerId();
    return RunEnvelope("?GetConfigVal", 698, [&](const TXmlNode& e) {
        if (NameIs(e, "configval"))
            value = AttrText(e, "value");
    });
}

bool TServerConnectorBase::GetLaboratories(const QString& priceListId, std::vector<_LabInfo>& labs)
{
    labs.clear();
    BeginCommand("GetLaboratories");
    AddPartnerId();
    AddField("price_list_id", priceListId);
    return RunEnvelope("?GetLaboratories", 565, [&](const TXmlNode& e) {
        if (!NameIs(e, "laboratories"))
            return;
        for (const auto& child : e.children) {
            if (child->type != XmlNodeType::Element || child->name != "laboratory")
                continue;
            labs.push_back({AttrInt(*child, "id"), AttrText(*child, "name"), AttrText(*child, "miasto"),
                            AttrText(*child, "description")});
        }
    });
}

bool TServerConnectorBase::GetPaymentTypes(std::vector<_PaymentType>& types)
{
    types.clear();
    BeginCommand("GetPaymentTypes");
    AddPartnerId();
    return RunEnvelope("?GetPaymentTypes", 643, [&](const TXmlNode& e) {
        if (!NameIs(e, "paymenttypes"))
            return;
        for (const auto& child : e.children) {
            if (child->type != XmlNodeType::Element || child->name != "paymenttype")
                continue;
            _PaymentType type;
            type.id = AttrInt(*child, "id");
            type.name = AttrText(*child, "name");
            type.extengine = AttrText(*child, "extengine");
            type.add_price = float(AttrDouble(*child, "add_price"));
            for (const auto& group : child->children) {
                if (group->type != XmlNodeType::Element || group->name != "labsids")
                    continue;
                for (const auto& lab : group->children)
                    if (lab->type == XmlNodeType::Element && lab->name == "labid")
                        type.labsids.insert(AttrInt(*lab, "id"));
            }
            types.push_back(std::move(type));
        }
    });
}

bool TServerConnectorBase::GetKadrowania(const QString& user, const QString& password,
                                         std::vector<_Kadrowanie>& options)
{
    options.clear();
    if (IsNull(user) || IsNull(password)) {
        Fail("?GetKadrowania", 764);
        return false;
    }
    BeginCommand("GetKadrowania");
    AddField("user", user);
    AddField("password", password);
    AddPartnerId();
    return RunEnvelope("?GetKadrowania", 764, [&](const TXmlNode& e) {
        if (!NameIs(e, "kadry"))
            return;
        for (const auto& child : e.children)
            if (child->type == XmlNodeType::Element && child->name == "kadr")
                options.push_back({AttrText(*child, "name"), AttrText(*child, "code")});
    });
}

bool TServerConnectorBase::GetGradations(const QString& formatCode, QStringList& names)
{
    BeginCommand("GetGradations");
    AddField("format_id", formatCode);
    return RunEnvelope("?GetGradations", 824, [&](const TXmlNode& e) {
        if (!NameIs(e, "grads"))
            return;
        for (const auto& child : e.children)
            if (child->type == XmlNodeType::Element && child->name == "grad")
                names.push_back(AttrText(*child, "name"));
    });
}

bool TServerConnectorBase::GetPromotions(const QString& labId, QStringList& codes)
{
    codes.clear();
    BeginCommand("GetPromotion");
    AddField("lab_id", labId.isNull() ? QStringLiteral("") : labId);
    AddPartnerId();
    QByteArray reply;
    if (SendAndRead(reply)) {
        JudgeReply(reply, [&](const TXmlNode& e) {
            if (!NameIs(e, "promotions"))
                return;
            for (const auto& child : e.children)
                if (child->type == XmlNodeType::Element && child->name == "promotion")
                    codes.push_back(AttrText(*child, "code"));
        });
    }
    // The reply is not judged: it always goes to the log and the caller uses the list.
    Fail("?GetPromotions", 1000, reply);
    return false;
}

bool TServerConnectorBase::GetPrices(const QString& user, const QString& password, QString& promotionCode,
                                     TPriceList& prices, const QString& labId)
{
    prices.RemoveAll();
    if (IsNull(user) || IsNull(password)) {
        Fail("?GetPrices", 949);
        return false;
    }
    BeginCommand("GetPrices");
    AddField("user", user);
    AddField("password", password);
    AddField("kodpromocji", promotionCode);
    AddPartnerId();
    if (!IsNull(labId))
        AddField("lab_id", labId);
    AddField("singlecode", promotionCode);
    promotionCode.clear();

    QHash<QString, int> indexByName;
    return RunEnvelope("?GetPrices", 949, [&](const TXmlNode& e) {
        if (NameIs(e, "kodpromocji")) {
            promotionCode = AttrText(e, "code");
            return;
        }
        if (!NameIs(e, "prices"))
            return;
        prices.id = AttrText(e, "id");
        for (const auto& child : e.children) {
            if (child->type != XmlNodeType::Element || child->name != "format")
                continue;
            const _format::_minPrice tier{AttrInt(*child, "minquant"), AttrInt(*child, "maxquant"),
                                          float(AttrDouble(*child, "price"))};
            const QString name = AttrText(*child, "name");
            if (const auto it = indexByName.constFind(name); it != indexByName.cend()) {
                prices.GetAt(*it).minPrices.push_back(tier);
                continue;
            }
            _format format;
            format.id = AttrInt(*child, "id");
            format.formatId = AttrText(*child, "format_id");
            format.name = name;
            format.width = AttrInt(*child, "width");
            format.height = AttrInt(*child, "height");
            format.isDefault = child->AttrValue("isdefault") == QByteArray("1");
            format.minPrices.push_back(tier);
            indexByName.insert(name, prices.Add(format));
        }
    });
}

bool TServerConnectorBase::RemindPassword(const QString& email)
{
    BeginCommand("RemindPassword");
    AddField("email", email);
    AddPartnerId();
    return RunEnvelope("?RemindPassword", 260);
}

bool TServerConnectorBase::IsClientLoginExist(const QString& user, const QString& password,
                                              const QString& email)
{
    if (IsNull(user)) {
        Fail("?IsClientLoginExist", 313);
        return false;
    }
    BeginCommand("IsClientLoginExist");
    AddField("user", user);
    if (!IsNull(password))
        AddField("password", password);
    if (!IsNull(email))
        AddField("email", email);
    AddPartnerId();
    return RunEnvelope("?IsClientLoginExist", 313);
}

bool TServerConnectorBase::GetClientInfo(const QString& user, const QString& password, _ClientInfo& info)
{
    if (IsNull(user) || IsNull(password)) {
        Fail("?GetClientInfo", 380);
        return false;
    }
    BeginCommand("GetClientInfo");
    AddField("user", user);
    AddField("password", password);
    AddPartnerId();
    return RunEnvelope("?GetClientInfo", 380, [&](const TXmlNode& e) {
        if (!NameIs(e, "ClientInfo"))
            return;
        info.id = quint32(AttrInt(e, "id"));
        info.partner_id = AttrInt(e, "partner_id");
        info.punkty = AttrInt(e, "punkty");
        info.login = AttrText(e, "login");
        info.imie = AttrText(e, "imie");
        info.nazwisko = AttrText(e, "nazwisko");
        info.ulica = AttrText(e, "ulica");
        info.kod = AttrText(e, "kod");
        info.miasto = AttrText(e, "miasto");
        info.telefon = AttrText(e, "telefon");
        info.komorka = AttrText(e, "komorka");
        info.email = AttrText(e, "email");
        info.firma = AttrText(e, "firma");
        info.nip = AttrText(e, "nip");
    });
}

bool TServerConnectorBase::CreateNewClient(const _ClientInfo& c)
{
    BeginCommand("CreateNewClient");
    AddField("login", c.login);
    AddField("password", c.password);
    AddField("imie", c.imie);
    AddField("nazwisko", c.nazwisko);
    AddField("ulica", c.ulica);
    AddField("kod", c.kod);
    AddField("miasto", c.miasto);
    AddField("telefon", c.telefon);
    AddField("komorka", c.komorka);
    AddField("email", c.email);
    AddField("firma", c.firma);
    AddField("nip", c.nip);
    AddField("partner_id", QString::number(c.partner_id));
    return RunEnvelope("?CreateNewClient", 438);
}

bool TServerConnectorBase::UpdateClientInfo(const QString& password, const _ClientInfo& c)
{
    if (IsNull(password))
        return false;
    BeginCommand("UpdateClientInfo");
    AddField("login", c.login);
    AddField("password", password);
    AddField("id", QString::number(int(c.id)));
    AddField("imie", c.imie);
    AddField("nazwisko", c.nazwisko);
    AddField("ulica", c.ulica);
    AddField("kod", c.kod);
    AddField("miasto", c.miasto);
    AddField("telefon", c.telefon);
    AddField("komorka", c.komorka);
    AddField("email", c.email);
    AddField("firma", c.firma);
    AddField("nip", c.nip);
    AddPartnerId();
    return RunEnvelope("?UpdateClientInfo", 501);
}

} // namespace zv
