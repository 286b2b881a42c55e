#pragma once

// The client data page's rules over the records: the e-mail test and the
// checks made when the user finishes the wizard.

#include <QString>

#include <functional>

namespace zv {

struct _ClientInfo;
struct _OrderInfo;

// Masks of the page's masked fields; "#" is a digit position, "_" the
// prompt shown in a position not yet typed.
inline constexpr char kPostalCodeMask[] = "##-###";
inline constexpr char kPhoneMask[] = "(##) ###-##-##";
inline constexpr char kMobileMask[] = "###-###-###";
inline constexpr QChar kMaskPrompt = u'_';

// True for a usable e-mail address: at least 5 characters, an at sign and
// a dot, at most 3 characters after the last dot, no underscore after the
// last at sign, one at sign only, and only A-Z (either case), digits, "_",
// ".", "@" and "-".
bool IsValidEmail(const QString& text);

// The characters typed into the input positions of a masked field shown as
// text, prompts left out.
QString MaskedInput(const QString& text, const QString& mask);
// False when the field is empty or shows its mask with every position untyped.
bool IsMaskedFieldFilled(const QString& text, const QString& mask);

// The page's controls a failed check sends the focus to.
enum class ClientField {
    None,
    Terms,
    Nazwisko,
    Imie,
    Ulica,
    Kod,
    Miasto,
    Telefon,
    Login,
    Password,
    RetypedPassword,
    Lab,
    Payment,
    Email,
};

// What the page holds beside the records.
struct _ClientPageState {
    QString retypedPassword;
    bool termsShown = false; // the server gave a terms address
    bool termsAccepted = false;
};

struct _FinishCheck {
    bool passed = true;
    int messageId = 0; // string-table id of the message to show
    ClientField focus = ClientField::None;
};

// Asks the server whether a login or an e-mail is already registered; a
// failed request counts as "no".
using LoginTakenQuery = std::function<bool(const QString& login, const QString& email)>;

// The Finish checks over the records, whose fields hold what the page's
// controls show (masked fields with their prompts). Unaccepted terms stop
// everything; otherwise three groups run (personal data and account, pickup
// and payment, e-mail), each stopping at its first failure, and the last
// failing group is the one reported. The server is asked about the login
// only when the rest of the first group passed. When all pass, the client's
// kod becomes the postal code's typed digits.
_FinishCheck CheckClientFinish(_ClientInfo& client, const _OrderInfo& order, const _ClientPageState& page,
                               const LoginTakenQuery& loginTaken);

// Runs the checks and shows a failure in a plain message box titled with the
// program's name. True when all passed.
bool RunClientFinish(_ClientInfo& client, const _OrderInfo& order, const _ClientPageState& page,
                     const LoginTakenQuery& loginTaken, ClientField* focus = nullptr);

} // namespace zv
