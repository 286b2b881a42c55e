// The library's start-up and its first main window, in process, with the
// message boxes answered by the test.

#include "app/build_info.h"
#include "app/initialize_app.h"
#include "app/main_frame.h"
#include "app/message_box.h"
#include "app/settings.h"
#include "app/string_table.h"
#include "tests/support/recording_message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMenuBar>
#include <QSettings>
#include <QTemporaryDir>

namespace zv {
namespace {

class FakeHost final : public CAppHost {
public:
    QApplication* Application() override { return qApp; }
    void AddDocTemplate(std::unique_ptr<CDocTemplate> docTemplate) override
    {
        templates.push_back(std::move(docTemplate));
    }
    std::vector<std::unique_ptr<CDocTemplate>> templates;
};

class ShellTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // Settings and the working folder go to a scratch home; no server.
        static QTemporaryDir home;
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/.config")).toUtf8());
        qunsetenv("ZELVIO_SERVER");
        static int argc = 1;
        static char name[] = "Zelvio";
        static char* argv[] = {name, nullptr};
        if (!qApp)
            new QApplication(argc, argv);
    }
    test::RecordingMessageBox m_messages;
    FakeHost m_host;
    QString m_newLibrary;
};

struct CommandLineCase {
    const char* name;
    QStringList arguments;
    bool versionRequested;
};

class CommandLineTest : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(CommandLineTest, OnlyLowerCaseVSwitchAsksForTheVersion)
{
    QStringList arguments{QStringLiteral("zelvio")};
    arguments += GetParam().arguments;
    EXPECT_EQ(TCommandLineInfo::Parse(arguments).versionRequested, GetParam().versionRequested);
}

INSTANTIATE_TEST_SUITE_P(
    Switches, CommandLineTest,
    ::testing::Values(CommandLineCase{"Slash", {"/v"}, true}, CommandLineCase{"Dash", {"-v"}, true},
                      CommandLineCase{"AmongOthers", {"photo.jpg", "-v"}, true},
                      CommandLineCase{"UpperCase", {"/V"}, false}, CommandLineCase{"DashUpper", {"-V"}, false},
                      CommandLineCase{"NoSwitchMark", {"v"}, false},
                      CommandLineCase{"LongerSwitch", {"-version"}, false},
                      CommandLineCase{"DoubleDash", {"--v"}, false},
                      CommandLineCase{"FileName", {"/home/jan/libqrb.so"}, false},
                      CommandLineCase{"Nothing", {}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellTest, VersionSwitchShowsTheVersionBoxAndEndsStartUp)
{
    EXPECT_EQ(InitializeApp(&m_host, &m_newLibrary, {QStringLiteral("zelvio"), QStringLiteral("-v")}), 0);
    EXPECT_TRUE(m_host.templates.empty());
    ASSERT_EQ(m_messages.texts().size(), 1);
    EXPECT_TRUE(m_messages.texts()[0].contains(QLatin1String(kBuildId)));
    EXPECT_TRUE(m_messages.texts()[0].contains(QLatin1String("47")));
    EXPECT_EQ(QString::fromLatin1(kBuildId).size(), 36);
    EXPECT_EQ(m_messages.icons()[0], MsgIcon::Information);
}

TEST_F(ShellTest, WithoutApplicationObjectNothingStarts)
{
    EXPECT_EQ(InitializeApp(nullptr, &m_newLibrary, {QStringLiteral("zelvio")}), 0);
}

TEST_F(ShellTest, RegistersTheDocumentWhoseWindowIsTheMainFrame)
{
    ASSERT_EQ(InitializeApp(&m_host, &m_newLibrary, {QStringLiteral("zelvio"), QStringLiteral("/V")}), 1);
    EXPECT_TRUE(m_messages.texts().isEmpty());
    EXPECT_TRUE(m_newLibrary.isEmpty());
    ASSERT_EQ(m_host.templates.size(), 1u);
    CDocTemplate& docTemplate = *m_host.templates.front();
    ASSERT_TRUE(docTemplate.OpenNewDocument());
    // Without a server the start of work ends with no price list.
    EXPECT_EQ(m_messages.texts(), QStringList{LoadString(32796)});
    auto* frame = qobject_cast<TMainFrame*>(docTemplate.MainWindow());
    ASSERT_NE(frame, nullptr);

    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Zelvio [Nowy użytkownik]"));
    frame->UpdateTitle(QStringLiteral("jan"));
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Zelvio [Użytkownik: jan]"));
    EXPECT_EQ(frame->minimumSize(), QSize(800, 600));

    QStringList menus;
    for (QAction* menu : frame->menuBar()->actions())
        menus << menu->text();
    EXPECT_EQ(menus, (QStringList{"&Plik", "&Użytkownik", "&Pomoc"}));
    for (int id : {57665, 32869, 32868, 32790})
        EXPECT_NE(frame->CommandAction(id), nullptr) << id;
    EXPECT_EQ(frame->CommandAction(32869)->text(), QStringLiteral("Dane &klienta"));
    EXPECT_EQ(TMainFrame::HelpPageAddress(QStringLiteral("http://lab.example/")),
              QStringLiteral("http://lab.example/zvhelp.php"));
    EXPECT_EQ(frame->CommandAction(32868)->text(), QStringLiteral("Historia zleceń"));
}

TEST_F(ShellTest, FirstRunOpensMaximisedAndTheStoredPlacementIsUsedNextTime)
{
    QSettings(QStringLiteral("Tevaro"), QStringLiteral("Zelvio")).remove(QStringLiteral("WindowStates/MainFrame"));
    {
        TMainFrame frame;
        frame.show();
        EXPECT_TRUE(frame.windowState() & Qt::WindowMaximized);
        frame.showNormal();
        frame.setGeometry(100, 120, 900, 700);
        frame.close();
    }
    const std::optional<WindowPlacement> stored = Settings().WindowState(PlacementName::MainFrame);
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->ToGeometry().normal, QRect(100, 120, 900, 700));
    EXPECT_FALSE(stored->ToGeometry().maximized);

    TMainFrame again;
    again.show();
    EXPECT_FALSE(again.windowState() & Qt::WindowMaximized);
    EXPECT_EQ(again.geometry(), QRect(100, 120, 900, 700));
}

} // namespace
} // namespace zv
