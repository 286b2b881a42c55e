#include "app/rc4.h"

#include <gtest/gtest.h>

namespace {

struct Rc4Vector {
    const char* name;
    QByteArray key;
    QByteArray plain;
    QByteArray cipherHex;
};

class Rc4Vectors : public ::testing::TestWithParam<Rc4Vector> {};

TEST_P(Rc4Vectors, MatchPublishedCipherText)
{
    const Rc4Vector& v = GetParam();
    EXPECT_EQ(zv::Rc4(v.key).Process(v.plain).toHex().toUpper(), v.cipherHex.toUpper());
}

INSTANTIATE_TEST_SUITE_P(
    Published, Rc4Vectors,
    ::testing::Values(
        Rc4Vector{"KeyPlaintext", "Key", "Plaintext", "BBF316E8D940AF0AD3"},
        Rc4Vector{"WikiPedia", "Wiki", "pedia", "1021BF0420"},
        Rc4Vector{"SecretAttack", "Secret", "Attack at dawn", "45A01F645FC35B383552544B9BF5"},
        // 40-bit key 0x0102030405, keystream offsets 0 and 16.
        Rc4Vector{"Key40Offsets0And16", QByteArray::fromHex("0102030405"), QByteArray(32, '\0'),
                  "B2396305F03DC027CCC3524A0A1118A8"
                  "6982944F18FC82D589C403A47A0D0919"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Rc4, StreamContinuesAcrossCalls)
{
    zv::Rc4 split(QByteArray::fromHex("0102030405"));
    const QByteArray first = split.Process(QByteArray(7, '\0'));
    const QByteArray rest = split.Process(QByteArray(25, '\0'));
    EXPECT_EQ(first + rest, zv::Rc4(QByteArray::fromHex("0102030405")).Process(QByteArray(32, '\0')));
}

TEST(Rc4, RememberCipherUsesFullKeyTextAndFreshState)
{
    const QByteArray keyText = "5A71C2E4-B8D6-4F19-A3C0-7E2D9B6F1C84";
    ASSERT_EQ(keyText.size(), 36);
    const QByteArray text = "jan.kowalski";
    const QByteArray cipher = zv::RememberCipher(text);
    EXPECT_EQ(cipher, zv::Rc4(keyText).Process(text));
    EXPECT_EQ(zv::RememberCipher(text), cipher); // no state carried between values
    EXPECT_EQ(zv::RememberCipher(cipher), text);
    EXPECT_TRUE(zv::RememberCipher(QByteArray()).isEmpty());
}

} // namespace
