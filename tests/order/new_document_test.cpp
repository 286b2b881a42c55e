#include "app/settings.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/zelvio_doc.h"
#include "order_test_support.h"
#include "../net/labserver_process.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <deque>

namespace zv {
namespace {

using test::Message;

// Everything the start of work showed, in order: "advert <address>",
// "login <user>/<password>/<code>/<remember>", "labs <count>", "message <id>".
using Journal = std::vector<std::string>;

class JournalMessageBox final : public IMessageBox {
public:
    explicit JournalMessageBox(Journal& journal) : m_journal(journal) { SetMessageBoxSeam(this); }
    ~JournalMessageBox() override { SetMessageBoxSeam(nullptr); }
    MsgResult Show(const QString& text, const QString&, MsgIcon, MsgButtons) override
    {
        for (int id : {32795, 32796, 32861})
            if (text == Message(id, m_argument))
                m_journal.push_back("message " + std::to_string(id));
        return MsgResult::Ok;
    }
    void SetArgument(const QString& argument) { m_argument = argument; }

private:
    Journal& m_journal;
    QString m_argument;
};

// Answers the login dialog from a script of (result, user, password, code,
// remember); what the dialog was given is journalled.
class ScriptedLogin final : public ILoginDialog {
public:
    struct Answer {
        LoginResult result;
        QString user, password, code;
        bool remember;
    };
    ScriptedLogin(Journal& journal, std::deque<Answer> answers) : m_journal(journal), m_answers(std::move(answers)) {}
    LoginResult Run(_LoginFields& f) override
    {
        m_journal.push_back(QString("login %1/%2/%3/%4").arg(f.user, f.password, f.promoCode).arg(f.remember).toStdString());
        if (m_answers.empty())
            return LoginResult::Cancel;
        Answer a = m_answers.front();
        m_answers.pop_front();
        f = {a.user, a.password, a.code, a.remember};
        return a.result;
    }

private:
    Journal& m_journal;
    std::deque<Answer> m_answers;
};

class ScriptedLab final : public ISelectLabDialog {
public:
    ScriptedLab(Journal& journal, QString choice) : m_journal(journal), m_choice(std::move(choice)) {}
    bool Run(const std::vector<_LabInfo>& labs, QString& chosenId) override
    {
        m_journal.push_back("labs " + std::to_string(labs.size()));
        if (m_choice.isEmpty())
            return false;
        chosenId = m_choice;
        return true;
    }

private:
    Journal& m_journal;
    QString m_choice;
};

class RecordingAdvert final : public IAdvertisementDialog {
public:
    explicit RecordingAdvert(Journal& journal) : m_journal(journal) {}
    void Show(const QString& address) override { m_journal.push_back("advert " + address.toStdString()); }

private:
    Journal& m_journal;
};

class NewDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        ResetCurrencyNameForTesting();
    }

    // Starts the reference server on sample data, with one config line changed.
    void StartServer(const QString& from = {}, const QString& to = {})
    {
        const QString data = m_dir.path() + "/data";
        ASSERT_TRUE(test::CopySampleData(data));
        if (!from.isEmpty()) {
            QFile file(data + "/config.ini");
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            QString text = QString::fromUtf8(file.readAll());
            file.close();
            ASSERT_TRUE(text.contains(from));
            text.replace(from, to);
            ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(text.toUtf8());
        }
        ASSERT_TRUE(m_server.Start(data, m_dir.path() + "/store"));
        SetServerBaseAddressForTesting(m_server.BaseAddress());
    }

    std::string Advert() const { return "advert " + m_server.BaseAddress().toStdString() + "pages/advert.html"; }

    // Runs the start of work with the given dialogs.
    bool Run(std::deque<ScriptedLogin::Answer> answers, const QString& labChoice)
    {
        ScriptedLogin loginDlg(m_journal, std::move(answers));
        ScriptedLab labDlg(m_journal, labChoice);
        RecordingAdvert advert(m_journal);
        m_doc.SetDialogs({&loginDlg, &labDlg, &advert});
        m_doc.SetSettings(&m_settings);
        m_doc.SetDocumentsFolder(m_documents);
        m_box.SetArgument(m_documents + "/Zelvio");
        const bool result = m_doc.OnNewDocument();
        m_doc.SetDialogs({});
        return result;
    }

    QString Stored(const char* key) const
    {
        return QSettings(m_dir.path() + "/settings.ini", QSettings::IniFormat).value(key).toString();
    }

    QTemporaryDir m_dir;
    QString m_documents = m_dir.path() + "/Documents";
    Settings m_settings{m_dir.path() + "/settings.ini"};
    test::LabServerProcess m_server;
    Journal m_journal;
    JournalMessageBox m_box{m_journal};
    TZelvioDoc m_doc;
};

TEST_F(NewDocumentTest, LogsInAfterARefusalChoosesALabAndRemembersTheLogin)
{
    StartServer();
    ASSERT_TRUE(Run({{LoginResult::Ok, "Demo", "demo", "", true},     // letter case differs
                     {LoginResult::Ok, "demo", "wrong", "", true},
                     {LoginResult::Ok, "demo", "demo", "wiosna10", true}},
                    "2"));

    EXPECT_EQ(m_journal, (Journal{Advert(), "login ///0", "message 32795", "login Demo/demo//1", "message 32795",
                                  "login demo/wrong//1", "labs 6"}));
    EXPECT_EQ(m_doc.login, "demo");
    EXPECT_EQ(m_doc.password, "demo");
    EXPECT_EQ(m_doc.clientInfo.login, "demo");
    EXPECT_EQ(m_doc.clientInfo.punkty, 120);
    EXPECT_EQ(m_doc.PointsText(), "120pkt = 12.00PLN");
    EXPECT_EQ(m_doc.labId, 2);
    EXPECT_EQ(m_doc.priceList().GetSize(), 5);
    EXPECT_DOUBLE_EQ(m_doc.sessionOpenPrice, 2.5);
    EXPECT_EQ(m_doc.workingFolder, m_documents + "/Zelvio");
    EXPECT_EQ(m_doc.orderFilePath, m_documents + "/Zelvio/Order.xml");
    EXPECT_TRUE(QFileInfo(m_doc.workingFolder).isDir());

    EXPECT_EQ(m_settings.LastUser(), "demo");
    EXPECT_EQ(m_settings.LastPass(), "demo");
    // The server confirms the code in its own spelling; that one is kept.
    EXPECT_EQ(m_doc.promoCode, "WIOSNA10");
    EXPECT_EQ(m_settings.LastPCode(), "WIOSNA10");
    EXPECT_FLOAT_EQ(m_doc.priceList().GetAt(0).minPrices[0].price, 0.53f);
}

TEST_F(NewDocumentTest, RememberedLoginFillsTheDialogAndUntickingForgetsUserAndPassword)
{
    StartServer();
    m_settings.SetLastUser("demo");
    m_settings.SetLastPass("demo");
    m_settings.SetLastPCode("KOD");
    ASSERT_TRUE(Run({{LoginResult::Ok, "demo", "demo", "KOD", false}}, "1"));

    EXPECT_EQ(m_journal, (Journal{Advert(), "login demo/demo/KOD/1", "labs 6"}));
    EXPECT_EQ(m_doc.login, "demo");
    EXPECT_EQ(m_doc.labId, 1);
    EXPECT_EQ(m_settings.LastUser(), "");
    EXPECT_EQ(m_settings.LastPass(), "");
    EXPECT_EQ(m_settings.LastPCode(), "KOD");
}

TEST_F(NewDocumentTest, AnEmptyRememberedPasswordDeciphersToEmpty)
{
    StartServer();
    m_settings.SetLastUser("demo");
    m_settings.SetLastPass("");
    ASSERT_TRUE(Run({}, ""));
    EXPECT_EQ(m_journal[1], "login demo//" "/1");
}

TEST_F(NewDocumentTest, NewUserWithTheLabDialogCancelledHasNoPriceList)
{
    StartServer();
    ASSERT_TRUE(Run({{LoginResult::NewUser, "demo", "demo", "KOD", true}}, ""));

    EXPECT_EQ(m_journal, (Journal{Advert(), "login ///0", "labs 6", "message 32796"}));
    EXPECT_EQ(m_doc.login, "");
    EXPECT_EQ(m_doc.password, "");
    EXPECT_EQ(m_doc.promoCode, "KOD");
    EXPECT_EQ(m_doc.clientInfo.punkty, 20);
    EXPECT_EQ(m_doc.labId, 0);
    EXPECT_EQ(m_doc.priceList().GetSize(), 0);
    // Remembered, but with nobody logged in.
    EXPECT_EQ(m_settings.LastUser(), "");
}

TEST_F(NewDocumentTest, WithoutTheLabChoiceThePricesComeForNoLab)
{
    StartServer("SELECT_LAB_ON_START=1", "SELECT_LAB_ON_START=0");
    ASSERT_TRUE(Run({{LoginResult::Cancel, "", "", "", false}}, "3"));

    EXPECT_EQ(m_journal, (Journal{Advert(), "login ///0"}));
    EXPECT_EQ(m_doc.labId, 0);
    EXPECT_EQ(m_doc.priceList().GetSize(), 5);
}

TEST_F(NewDocumentTest, UnreachableServerLeavesEverythingEmpty)
{
    StartServer();
    m_server.Stop();
    ASSERT_TRUE(Run({{LoginResult::Ok, "demo", "demo", "", false}}, "1"));

    // No advertisement, the login fails, no lab dialog, no price list.
    EXPECT_EQ(m_journal, (Journal{"login ///0", "message 32795", "login demo/demo//0", "message 32796"}));
    EXPECT_EQ(m_doc.login, "");
    EXPECT_EQ(m_doc.clientInfo.punkty, 0);
    EXPECT_DOUBLE_EQ(m_doc.sessionOpenPrice, 0);
    EXPECT_EQ(m_doc.priceList().GetSize(), 0);
}

TEST_F(NewDocumentTest, AWorkingFolderThatCannotBeMadeEndsTheProgram)
{
    StartServer("ADVERTISEMENT_START=", "X_ADVERTISEMENT_START=");
    QFile blocker(m_documents);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly)); // a file where the folder should be
    blocker.close();
    EXPECT_FALSE(Run({}, "1"));
    EXPECT_EQ(m_journal, (Journal{"login ///0", "labs 6", "message 32861"}));
}

} // namespace
} // namespace zv
