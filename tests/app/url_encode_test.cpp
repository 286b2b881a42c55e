#include "app/url_encode.h"

#include <gtest/gtest.h>

namespace {

struct UrlCase {
    const char* name;
    const char16_t* text;
    const char* encoded;
};

class UrlEncodeCases : public ::testing::TestWithParam<UrlCase> {};

TEST_P(UrlEncodeCases, EncodesCodePageBytes)
{
    QString text = QString::fromUtf16(GetParam().text);
    ASSERT_TRUE(zv::UrlEncode(text));
    EXPECT_EQ(text, QLatin1String(GetParam().encoded));
}

INSTANTIATE_TEST_SUITE_P(
    Texts, UrlEncodeCases,
    ::testing::Values(UrlCase{"BlankIsPlus", u"a b", "a+b"},
                      UrlCase{"Slash", u"/", "%2F"},
                      UrlCase{"PolishA", u"ą", "%B9"},
                      UrlCase{"LettersDigitsKept", u"AZaz09", "AZaz09"},
                      UrlCase{"UnreservedAreEncodedToo", u"-_.~*", "%2D%5F%2E%7E%2A"},
                      UrlCase{"PlusAndPercent", u"1+1=2%", "1%2B1%3D2%25"},
                      UrlCase{"ControlAndHigh", u"\n\u20AC\u02D9", "%0A%80%FF"},
                      UrlCase{"Empty", u"", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UrlEncode, TextOutsideCodePageIsRefusedAndKept)
{
    QString text = QStringLiteral("a\u4E2Db");
    EXPECT_FALSE(zv::UrlEncode(text));
    EXPECT_EQ(text, QStringLiteral("a\u4E2Db"));
}

TEST(UrlEncode, ZeroByteIsEncoded)
{
    EXPECT_EQ(zv::UrlEncodeBytes(QByteArrayView("a\0b", 3)), QByteArray("a%00b"));
}

} // namespace
