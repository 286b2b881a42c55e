// The client data page's e-mail test and Finish checks.

#include "dialogs/client_data_checks.h"

#include "net/client_info.h"
#include "net/order_info.h"
#include "tests/support/recording_message_box.h"

#include <gtest/gtest.h>

#include <functional>

namespace zv {
namespace {

struct EmailCase {
    const char* name;
    const char* text;
    bool valid;
};

class EmailTest : public testing::TestWithParam<EmailCase> {};

TEST_P(EmailTest, Validity)
{
    EXPECT_EQ(IsValidEmail(QString::fromUtf8(GetParam().text)), GetParam().valid) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmailTest,
    testing::Values(EmailCase{"ShortestUsual", "ab@c.d", true},
                    EmailCase{"Typical", "jan.kowalski@example.com", true},
                    EmailCase{"FourAfterLastDot", "ab@cd.info", false},
                    EmailCase{"UnderscoreBeforeAt", "jan_k@example.pl", true},
                    EmailCase{"UnderscoreAfterAt", "jan@ex_ample.pl", false},
                    EmailCase{"TwoAtSigns", "a@b@c.pl", false},
                    EmailCase{"PolishLetter", "ją@example.pl", false},
                    EmailCase{"EndsInItsOnlyDot", "abc@d.", true},
                    EmailCase{"FourCharacters", "a@.b", false},
                    EmailCase{"NoDot", "abcd@ef", false},
                    EmailCase{"NoAt", "abcd.ef", false},
                    EmailCase{"UpperCaseAndHyphen", "A-B@X-Y.PL", true},
                    EmailCase{"Blank", "a b@c.pl", false},
                    EmailCase{"Plus", "a+b@c.pl", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MaskedField, InputAndFilled)
{
    EXPECT_EQ(MaskedInput("30-001", kPostalCodeMask), "30001");
    EXPECT_EQ(MaskedInput("30-01_", kPostalCodeMask), "3001");
    EXPECT_EQ(MaskedInput("__-___", kPostalCodeMask), "");
    EXPECT_FALSE(IsMaskedFieldFilled("(__) ___-__-__", kPhoneMask));
    EXPECT_FALSE(IsMaskedFieldFilled("", kPhoneMask));
    EXPECT_TRUE(IsMaskedFieldFilled("(1_) ___-__-__", kPhoneMask));
    EXPECT_TRUE(IsMaskedFieldFilled("600-100-200", kMobileMask));
}

// A new client whose page would pass every check.
struct Page {
    _ClientInfo client;
    _OrderInfo order;
    _ClientPageState state;
    bool loginTaken = false;

    Page()
    {
        client.nazwisko = "Kowalski";
        client.imie = "Jan";
        client.ulica = "ul. Długa 5";
        client.kod = "30-001";
        client.miasto = "Kraków";
        client.telefon = "(12) 345-67-89";
        client.komorka = "___-___-___";
        client.email = "jan@example.pl";
        client.login = "jan";
        client.password = "tajne";
        state.retypedPassword = "tajne";
        order.lab_id = 3;
        order.payment_id = 2;
    }
};

struct FinishCase {
    const char* name;
    std::function<void(Page&)> change;
    int messageId; // 0: passes
    ClientField focus;
};

class Finish : public testing::TestWithParam<FinishCase> {};

TEST_P(Finish, ReportsTheLastFailingGroup)
{
    Page page;
    GetParam().change(page);
    int asked = 0;
    const _FinishCheck check = CheckClientFinish(page.client, page.order, page.state,
                                                 [&](const QString& login, const QString& email) {
                                                     ++asked;
                                                     EXPECT_EQ(login, page.client.login);
                                                     EXPECT_EQ(email, page.client.email);
                                                     return page.loginTaken;
                                                 });
    EXPECT_EQ(check.passed, GetParam().messageId == 0);
    EXPECT_EQ(check.messageId, GetParam().messageId);
    EXPECT_EQ(check.focus, GetParam().focus);
}

const auto kNone = [](Page&) {};

INSTANTIATE_TEST_SUITE_P(
    Cases, Finish,
    testing::Values(
        FinishCase{"AllFilled", kNone, 0, ClientField::None},
        FinishCase{"SurnameMissing", [](Page& p) { p.client.nazwisko.clear(); }, 32823, ClientField::Nazwisko},
        FinishCase{"SurnameMissingAndEmailInvalidShowsEmail",
                   [](Page& p) {
                       p.client.nazwisko.clear();
                       p.client.email = "jan@example.info";
                   },
                   32835, ClientField::Email},
        FinishCase{"FirstNameMissing", [](Page& p) { p.client.imie.clear(); }, 32824, ClientField::Imie},
        FinishCase{"StreetMissing", [](Page& p) { p.client.ulica.clear(); }, 32825, ClientField::Ulica},
        FinishCase{"PostalCodeFourDigits", [](Page& p) { p.client.kod = "30-01_"; }, 32826, ClientField::Kod},
        FinishCase{"TownMissing", [](Page& p) { p.client.miasto.clear(); }, 32827, ClientField::Miasto},
        FinishCase{"NoPhone", [](Page& p) { p.client.telefon = "(__) ___-__-__"; }, 32828, ClientField::Telefon},
        FinishCase{"OnlyMobile",
                   [](Page& p) {
                       p.client.telefon = "(__) ___-__-__";
                       p.client.komorka = "600-100-200";
                   },
                   0, ClientField::None},
        FinishCase{"LoginMissing", [](Page& p) { p.client.login.clear(); }, 32829, ClientField::Login},
        FinishCase{"PasswordMissing", [](Page& p) { p.client.password.clear(); }, 32830, ClientField::Password},
        FinishCase{"PasswordsDiffer", [](Page& p) { p.state.retypedPassword = "tajni"; }, 32831,
                   ClientField::RetypedPassword},
        FinishCase{"LoginTaken", [](Page& p) { p.loginTaken = true; }, 32832, ClientField::Login},
        FinishCase{"LoggedInUserNeedsNoAccountFields",
                   [](Page& p) {
                       p.client.id = 1;
                       p.client.login.clear();
                       p.client.password.clear();
                       p.loginTaken = true;
                   },
                   0, ClientField::None},
        FinishCase{"NoPickupPoint", [](Page& p) { p.order.lab_id = 0; }, 32833, ClientField::Lab},
        FinishCase{"NoPayment", [](Page& p) { p.order.payment_id = 0; }, 32834, ClientField::Payment},
        FinishCase{"PickupOverPersonalData",
                   [](Page& p) {
                       p.client.imie.clear();
                       p.order.lab_id = 0;
                       p.order.payment_id = 0;
                   },
                   32833, ClientField::Lab},
        FinishCase{"EmailMissing", [](Page& p) { p.client.email.clear(); }, 32835, ClientField::Email},
        FinishCase{"TermsNotAcceptedStopsAll",
                   [](Page& p) {
                       p.state.termsShown = true;
                       p.client.email.clear();
                   },
                   32836, ClientField::Terms},
        FinishCase{"TermsAccepted",
                   [](Page& p) {
                       p.state.termsShown = true;
                       p.state.termsAccepted = true;
                   },
                   0, ClientField::None}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FinishChecks, ServerIsAskedOnlyAfterTheRestOfTheFirstGroupAndKodKeepsTheDigits)
{
    Page page;
    int asked = 0;
    const auto query = [&](const QString&, const QString&) { return ++asked, false; };
    page.client.telefon = "(1_) ___-__-__"; // partly typed counts as filled, kept as shown
    page.client.miasto.clear();
    EXPECT_FALSE(CheckClientFinish(page.client, page.order, page.state, query).passed);
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(page.client.kod, "30-001"); // untouched on failure

    page.client.miasto = "Kraków";
    EXPECT_TRUE(CheckClientFinish(page.client, page.order, page.state, query).passed);
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(page.client.kod, "30001");
    EXPECT_EQ(page.client.telefon, "(1_) ___-__-__");
}

TEST(FinishChecks, FailureIsShownInAPlainBoxWithTheProgramTitle)
{
    test::RecordingMessageBox box;
    Page page;
    page.client.nazwisko.clear();
    ClientField focus = ClientField::None;
    EXPECT_FALSE(RunClientFinish(page.client, page.order, page.state, {}, &focus));
    EXPECT_EQ(focus, ClientField::Nazwisko);
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Musisz podać Nazwisko");
    EXPECT_EQ(box.shown[0].title, "Zelvio");
    EXPECT_EQ(box.shown[0].icon, MsgIcon::None);
    EXPECT_EQ(box.shown[0].buttons, MsgButtons::Ok);

    page.client.nazwisko = "Kowalski";
    EXPECT_TRUE(RunClientFinish(page.client, page.order, page.state, {}, &focus));
    EXPECT_EQ(box.shown.size(), 1u);
}

} // namespace
} // namespace zv
