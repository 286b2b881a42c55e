#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>

namespace zv {

// The RC4 stream cipher: standard key schedule, no keystream dropped.
// Enciphering and deciphering are the same operation.
class Rc4 final {
public:
    // key must not be empty (an empty key leaves the state unusable: Process copies).
    explicit Rc4(QByteArrayView key);

    // Applies the next data.size() bytes of keystream; consecutive calls continue the stream.
    QByteArray Process(QByteArrayView data);

private:
    std::array<std::uint8_t, 256> m_s{};
    std::uint8_t m_i = 0;
    std::uint8_t m_j = 0;
    bool m_valid = false;
};

// Key text of the remembered login, password and promotion code.
inline constexpr char kRememberKey[] = "5A71C2E4-B8D6-4F19-A3C0-7E2D9B6F1C84";

// One remembered value: RC4 under kRememberKey with a fresh state, over the
// given bytes (no terminator). Deciphering is the same call.
QByteArray RememberCipher(QByteArrayView bytes);

} // namespace zv
