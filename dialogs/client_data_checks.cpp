#include "dialogs/client_data_checks.h"

#include "app/message_box.h"
#include "app/string_table.h"
#include "net/client_info.h"
#include "net/order_info.h"

#include <optional>

namespace zv {

namespace {

struct Failure {
    int messageId;
    ClientField focus;
};

bool IsEmailCharacter(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= u'0' && u <= u'9') || (u >= u'A' && u <= u'Z') || (u >= u'a' && u <= u'z') || u == u'_'
           || u == u'.' || u == u'@' || u == u'-';
}

std::optional<Failure> CheckPersonalData(const _ClientInfo& client, const _ClientPageState& page,
                                         const LoginTakenQuery& loginTaken)
{
    if (client.nazwisko.isEmpty())
        return Failure{32823, ClientField::Nazwisko};
    if (client.imie.isEmpty())
        return Failure{32824, ClientField::Imie};
    if (client.ulica.isEmpty())
        return Failure{32825, ClientField::Ulica};
    if (MaskedInput(client.kod, QLatin1String(kPostalCodeMask)).size() < 5)
        return Failure{32826, ClientField::Kod};
    if (client.miasto.isEmpty())
        return Failure{32827, ClientField::Miasto};
    if (!IsMaskedFieldFilled(client.telefon, QLatin1String(kPhoneMask))
        && !IsMaskedFieldFilled(client.komorka, QLatin1String(kMobileMask)))
        return Failure{32828, ClientField::Telefon};
    if (client.id != 0)
        return std::nullopt;
    if (client.login.isEmpty())
        return Failure{32829, ClientField::Login};
    if (client.password.isEmpty())
        return Failure{32830, ClientField::Password};
    if (client.password != page.retypedPassword)
        return Failure{32831, ClientField::RetypedPassword};
    if (loginTaken && loginTaken(client.login, client.email))
        return Failure{32832, ClientField::Login};
    return std::nullopt;
}

} // namespace

bool IsValidEmail(const QString& text)
{
    if (text.size() < 5)
        return false;
    const qsizetype at = text.lastIndexOf(u'@');
    const qsizetype dot = text.lastIndexOf(u'.');
    if (at < 0 || dot < 0)
        return false;
    if (text.size() - dot - 1 > 3)
        return false;
    if (text.indexOf(u'_', at + 1) >= 0)
        return false;
    if (text.count(u'@') != 1)
        return false;
    for (QChar c : text)
        if (!IsEmailCharacter(c))
            return false;
    return true;
}

QString MaskedInput(const QString& text, const QString& mask)
{
    QString input;
    for (qsizetype i = 0; i < mask.size() && i < text.size(); ++i)
        if (mask[i] == u'#' && text[i] != kMaskPrompt)
            input += text[i];
    return input;
}

bool IsMaskedFieldFilled(const QString& text, const QString& mask)
{
    QString blank = mask;
    blank.replace(u'#', kMaskPrompt);
    return !text.isEmpty() && text != blank;
}

_FinishCheck CheckClientFinish(_ClientInfo& client, const _OrderInfo& order, const _ClientPageState& page,
                               const LoginTakenQuery& loginTaken)
{
    if (page.termsShown && !page.termsAccepted)
        return {false, 32836, ClientField::Terms};

    std::optional<Failure> shown = CheckPersonalData(client, page, loginTaken);
    if (order.lab_id == 0)
        shown = Failure{32833, ClientField::Lab};
    else if (order.payment_id == 0)
        shown = Failure{32834, ClientField::Payment};
    if (client.email.isEmpty() || !IsValidEmail(client.email))
        shown = Failure{32835, ClientField::Email};

    if (shown)
        return {false, shown->messageId, shown->focus};
    client.kod = MaskedInput(client.kod, QLatin1String(kPostalCodeMask));
    return {};
}

bool RunClientFinish(_ClientInfo& client, const _OrderInfo& order, const _ClientPageState& page,
                     const LoginTakenQuery& loginTaken, ClientField* focus)
{
    const _FinishCheck check = CheckClientFinish(client, order, page, loginTaken);
    if (focus)
        *focus = check.focus;
    if (!check.passed)
        ShowMessage(LoadString(check.messageId), MsgIcon::None, MsgButtons::Ok);
    return check.passed;
}

} // namespace zv
