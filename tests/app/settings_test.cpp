#include "app/settings.h"

#include "app/cp1250.h"
#include "app/rc4.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class SettingsTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath(QStringLiteral("Zelvio.ini")); }

    // Writes values the way another program (or an older version) left them.
    void writeRaw(const QString& key, const QVariant& value)
    {
        QSettings raw(path(), QSettings::IniFormat);
        raw.setValue(key, value);
    }
    QVariant readRaw(const QString& key) const
    {
        return QSettings(path(), QSettings::IniFormat).value(key);
    }

    QTemporaryDir m_dir;
};

TEST_F(SettingsTest, EmptyStoreGivesDefaults)
{
    zv::Settings s(path());
    EXPECT_EQ(s.LastUser(), QString());
    EXPECT_EQ(s.LastPass(), QString());
    EXPECT_EQ(s.LastPCode(), QString());
    EXPECT_EQ(s.DefVisiblePanel(), 1);
    EXPECT_EQ(s.Language(), 0);
    EXPECT_FALSE(s.WindowState(zv::PlacementName::MainFrame));
    EXPECT_TRUE(s.BarState().isEmpty());
}

TEST_F(SettingsTest, ValuesSurviveAReopen)
{
    const zv::WindowPlacement placement =
        zv::WindowPlacement::FromGeometry({QRect(5, 6, 900, 700), true, false});
    {
        zv::Settings s(path());
        EXPECT_TRUE(s.SetLastUser(QStringLiteral("Łukasz")));
        EXPECT_TRUE(s.SetLastPass(QStringLiteral("tajne hasło")));
        EXPECT_TRUE(s.SetLastPCode(QStringLiteral("WIOSNA")));
        s.SetDefVisiblePanel(2);
        s.SetLanguage(1);
        s.SetWindowState(zv::PlacementName::SummaryDlg, placement);
        s.SetBarState(QByteArray("\x00\x01layout", 8));
        EXPECT_TRUE(s.Sync());
    }
    zv::Settings s(path());
    EXPECT_EQ(s.LastUser(), QStringLiteral("Łukasz"));
    EXPECT_EQ(s.LastPass(), QStringLiteral("tajne hasło"));
    EXPECT_EQ(s.LastPCode(), QStringLiteral("WIOSNA"));
    EXPECT_EQ(s.DefVisiblePanel(), 2);
    EXPECT_EQ(s.Language(), 1);
    const auto back = s.WindowState(zv::PlacementName::SummaryDlg);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->Build(), placement.Build());
    EXPECT_FALSE(s.WindowState(zv::PlacementName::MainFrame));
    EXPECT_EQ(s.BarState(), QByteArray("\x00\x01layout", 8));
}

TEST_F(SettingsTest, RememberedValuesAreStoredEnciphered)
{
    {
        zv::Settings s(path());
        s.SetLastUser(QStringLiteral("jan"));
    }
    EXPECT_EQ(readRaw(QStringLiteral("Settings/lastuser")).toByteArray(),
              zv::RememberCipher("jan"));
}

// A text whose cipher text has a zero byte at position 2: the plain byte there
// equals the keystream byte.
QString textWithZeroInCipher()
{
    const QByteArray keystream = zv::RememberCipher(QByteArray(8, '\0'));
    QByteArray plain = "abcdefgh";
    plain[2] = keystream[2];
    return zv::cp1250::decode(plain);
}

TEST_F(SettingsTest, ZeroByteInCipherTextLosesNothing)
{
    const QString text = textWithZeroInCipher();
    ASSERT_EQ(zv::RememberCipher(*zv::cp1250::encode(text)).at(2), '\0');
    {
        zv::Settings s(path());
        s.SetLastPass(text);
    }
    EXPECT_EQ(zv::Settings(path()).LastPass(), text);
}

TEST_F(SettingsTest, OldTextValueEndingAtZeroByteReadsAsPrefix)
{
    const QString text = textWithZeroInCipher();
    const QByteArray cipher = zv::RememberCipher(*zv::cp1250::encode(text));
    // An older version kept the cipher bytes as text, which stops at the zero.
    writeRaw(QStringLiteral("Settings/lastuser"), zv::cp1250::decode(cipher.first(2)));
    writeRaw(QStringLiteral("Settings/lastpcode"), zv::cp1250::decode(zv::RememberCipher("KOD10")));
    zv::Settings s(path());
    EXPECT_EQ(s.LastUser(), text.left(2));
    EXPECT_EQ(s.LastPCode(), QStringLiteral("KOD10"));
}

TEST_F(SettingsTest, ForgettingKeepsPromotionCode)
{
    zv::Settings s(path());
    s.SetLastPCode(QStringLiteral("LATO"));
    s.SetLastUser(QStringLiteral("jan"));
    s.SetLastPass(QStringLiteral("x"));
    s.SetLastUser(QString());
    s.SetLastPass(QString());
    EXPECT_EQ(s.LastUser(), QString());
    EXPECT_EQ(s.LastPass(), QString());
    EXPECT_EQ(s.LastPCode(), QStringLiteral("LATO"));
}

TEST_F(SettingsTest, UserWithEmptyPasswordReadsEmptyPassword)
{
    zv::Settings s(path());
    s.SetLastUser(QStringLiteral("jan"));
    s.SetLastPass(QString());
    EXPECT_EQ(s.LastUser(), QStringLiteral("jan"));
    EXPECT_EQ(s.LastPass(), QString());
}

TEST_F(SettingsTest, TextOutsideCodePageIsNotRemembered)
{
    zv::Settings s(path());
    s.SetLastUser(QStringLiteral("jan"));
    EXPECT_FALSE(s.SetLastUser(QStringLiteral("用户")));
    EXPECT_EQ(s.LastUser(), QString()); // no stale login left behind
}

struct CorruptCase {
    const char* name;
    const char* key;
    QVariant value;
};

class SettingsCorrupt : public SettingsTest, public ::testing::WithParamInterface<CorruptCase> {};

TEST_P(SettingsCorrupt, FallsBackToDefault)
{
    writeRaw(QLatin1String(GetParam().key), GetParam().value);
    zv::Settings s(path());
    EXPECT_EQ(s.DefVisiblePanel(), 1);
    EXPECT_EQ(s.Language(), 0);
    EXPECT_FALSE(s.WindowState(zv::PlacementName::MainFrame));
    EXPECT_EQ(s.LastUser(), QString());
    EXPECT_TRUE(s.BarState().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Values, SettingsCorrupt,
    ::testing::Values(
        CorruptCase{"PanelText", "Settings/defvisiblepanel", QStringLiteral("abc")},
        CorruptCase{"PanelThree", "Settings/defvisiblepanel", 3},
        CorruptCase{"PanelZero", "Settings/defvisiblepanel", 0},
        CorruptCase{"LanguageTwo", "General/Language", 2},
        CorruptCase{"LanguageNegative", "General/Language", -1},
        CorruptCase{"LanguageText", "General/Language", QStringLiteral("pl")},
        CorruptCase{"PlacementShort", "WindowStates/MainFrame", QByteArray(40, '\0')},
        CorruptCase{"PlacementAsText", "WindowStates/MainFrame", QStringLiteral("0,0,800,600")},
        CorruptCase{"PlacementEmptyRect", "WindowStates/MainFrame",
                    zv::WindowPlacement{}.Build()},
        CorruptCase{"LastUserOutsideCodePage", "Settings/lastuser", QStringLiteral("\u4E2D")},
        CorruptCase{"BarStateText", "BarState/Layout", QStringLiteral("text")}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
