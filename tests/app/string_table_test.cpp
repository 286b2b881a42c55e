#include "app/string_table.h"

#include "app/cp1250.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(StringTable, KnownTexts)
{
    EXPECT_EQ(zv::LoadString(32800), QStringLiteral("Czy chcesz wczytać zapisane zamówienie?"));
    EXPECT_EQ(zv::LoadString(32796),
              QStringLiteral("Brak zdefiniowanych cenników, proszę skontaktować się z "
                             "laboratorium.\nPełna funkcjonalość programu będzie niedostępna."));
    EXPECT_EQ(zv::LoadString(32786), QStringLiteral("Zlecenie\nWłącza podgląd zawartości zlecenia"));
    EXPECT_EQ(zv::LoadString(32807),
              QStringLiteral("Trwa wysyłanie plików zlecenia, proszę czekać... ")); // trailing blank
    EXPECT_TRUE(zv::LoadString(32862).startsWith(QStringLiteral("\t\t Zlecenie o numerze %d,")));
    EXPECT_TRUE(zv::LoadString(32862).endsWith(QStringLiteral("\n\n\t\t\t\tDziękujemy.")));
    EXPECT_EQ(zv::LoadString(32831), QStringLiteral("Podaj poprawne hałso"));
    EXPECT_EQ(zv::LoadString(57664), QStringLiteral("Wyświetlenie informacji o programie\nO programie"));
}

TEST(StringTable, UnknownIdIsEmpty)
{
    EXPECT_EQ(zv::LoadString(1), QString());
}

TEST(StringTable, SourceFileParsesAndIsTheOneBuiltIn)
{
    const char* root = std::getenv("ZV_SOURCE_DIR");
    if (!root)
        root = ZV_TEST_SOURCE_DIR;
    QFile file(QString::fromLocal8Bit(root) + QStringLiteral("/resources/strings.tsv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray source = file.readAll();
    EXPECT_EQ(QByteArrayView(source), zv::StringTableSource()) << "rebuild after editing";

    QHash<int, QString> table;
    QString error;
    ASSERT_TRUE(zv::ParseStringTable(source, table, &error)) << error.toStdString();
    EXPECT_GT(table.size(), 90);
    for (auto it = table.cbegin(); it != table.cend(); ++it)
        EXPECT_TRUE(zv::cp1250::encode(*it)) << it.key() << " holds a character outside code page 1250";
}

struct BadSource {
    const char* name;
    const char* source;
};

class StringTableRejects : public ::testing::TestWithParam<BadSource> {};

TEST_P(StringTableRejects, NamesTheLine)
{
    QHash<int, QString> table;
    QString error;
    EXPECT_FALSE(zv::ParseStringTable(GetParam().source, table, &error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("line 2:"))) << error.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Sources, StringTableRejects,
    ::testing::Values(BadSource{"RepeatedId", "100\t\"a\"\n100\t\"b\"\n"},
                      BadSource{"NoTab", "# c\n100 \"a\"\n"},
                      BadSource{"Unquoted", "\n100\ta\n"},
                      BadSource{"BadEscape", "1\t\"\"\n100\t\"a\\q\"\n"},
                      BadSource{"StrayQuote", "1\t\"\"\n100\t\"a\"b\"\n"},
                      BadSource{"BadId", "1\t\"\"\nx1\t\"a\"\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StringTable, EscapesAndComments)
{
    QHash<int, QString> table;
    ASSERT_TRUE(zv::ParseStringTable("# note\r\n\r\n7\t\"a\\tb\\\\c\\\"d\\n\"\r\n", table));
    EXPECT_EQ(table.value(7), QStringLiteral("a\tb\\c\"d\n"));
}

} // namespace
