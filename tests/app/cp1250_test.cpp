#include "app/cp1250.h"

#include <gtest/gtest.h>

#include <iconv.h>

#include <optional>

namespace {

// The byte as glibc's iconv decodes it, or nothing where iconv has no character.
std::optional<QString> iconvDecode(unsigned char byte)
{
    iconv_t cd = iconv_open("UTF-16LE", "CP1250");
    if (cd == iconv_t(-1))
        return std::nullopt;
    char in[1] = {static_cast<char>(byte)};
    char out[8] = {};
    char* inPtr = in;
    char* outPtr = out;
    size_t inLeft = 1;
    size_t outLeft = sizeof out;
    const size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == size_t(-1))
        return std::nullopt;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(out),
                              (sizeof out - outLeft) / 2);
}

TEST(Cp1250, EveryDefinedByteDecodesAsIconvDoes)
{
    const iconv_t probe = iconv_open("UTF-16LE", "CP1250");
    ASSERT_NE(probe, iconv_t(-1)) << "iconv has no CP1250";
    iconv_close(probe);
    int compared = 0;
    for (int b = 0; b < 256; ++b) {
        const std::optional<QString> expected = iconvDecode(static_cast<unsigned char>(b));
        const char byte = static_cast<char>(b);
        if (b == 0x81 || b == 0x83 || b == 0x88 || b == 0x90 || b == 0x98) {
            EXPECT_EQ(zv::cp1250::decode(QByteArrayView(&byte, 1)), QString(QChar(b)))
                << "undefined byte " << b;
            continue;
        }
        ASSERT_TRUE(expected) << "iconv rejects byte " << b;
        ++compared;
        EXPECT_EQ(zv::cp1250::decode(QByteArrayView(&byte, 1)), *expected)
            << "byte 0x" << std::hex << b;
        const auto encoded = zv::cp1250::encode(*expected);
        ASSERT_TRUE(encoded) << "byte 0x" << std::hex << b;
        EXPECT_EQ(*encoded, QByteArray(1, byte)) << "byte 0x" << std::hex << b;
    }
    EXPECT_EQ(compared, 251);
}

TEST(Cp1250, AllBytesRoundTrip)
{
    QByteArray all(256, Qt::Uninitialized);
    for (int b = 0; b < 256; ++b)
        all[b] = static_cast<char>(b);
    const QString text = zv::cp1250::decode(all);
    ASSERT_EQ(text.size(), 256);
    EXPECT_EQ(zv::cp1250::encode(text), all);
}

TEST(Cp1250, PolishText)
{
    const QString text = QStringLiteral("Zażółć gęślą jaźń ZAŻÓŁĆ GĘŚLĄ JAŹŃ");
    const auto bytes = zv::cp1250::encode(text);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), text.size());
    EXPECT_EQ(static_cast<unsigned char>(bytes->at(2)), 0xBF); // ż
    EXPECT_EQ(zv::cp1250::decode(*bytes), text);
}

class Cp1250Unencodable : public ::testing::TestWithParam<const char16_t*> {};

TEST_P(Cp1250Unencodable, IsRefusedNotReplaced)
{
    const QString text = QStringLiteral("ok ") + QString::fromUtf16(GetParam());
    EXPECT_FALSE(zv::cp1250::encode(text).has_value());
}

INSTANTIATE_TEST_SUITE_P(Characters, Cp1250Unencodable,
                         ::testing::Values(u"\u4E2D",       // CJK
                                           u"\u00C0",       // À: Latin-1, not in the code page
                                           u"\u0080",       // C1 control whose byte holds €
                                           u"\U0001F600",   // outside the BMP (surrogate pair)
                                           u"\uFFFD"));     // replacement character itself

} // namespace
