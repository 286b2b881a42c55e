#include "app/rc4.h"

#include <utility>

namespace zv {

Rc4::Rc4(QByteArrayView key)
{
    for (int i = 0; i < 256; ++i)
        m_s[i] = static_cast<std::uint8_t>(i);
    if (key.isEmpty())
        return;
    std::uint8_t j = 0;
    for (int i = 0; i < 256; ++i) {
        j = static_cast<std::uint8_t>(j + m_s[i] + static_cast<std::uint8_t>(key[i % key.size()]));
        std::swap(m_s[i], m_s[j]);
    }
    m_valid = true;
}

QByteArray Rc4::Process(QByteArrayView data)
{
    QByteArray out(data.data(), data.size());
    if (!m_valid)
        return out;
    for (char& ch : out) {
        m_i = static_cast<std::uint8_t>(m_i + 1);
        m_j = static_cast<std::uint8_t>(m_j + m_s[m_i]);
        std::swap(m_s[m_i], m_s[m_j]);
        ch = static_cast<char>(static_cast<std::uint8_t>(ch) ^
                               m_s[static_cast<std::uint8_t>(m_s[m_i] + m_s[m_j])]);
    }
    return out;
}

QByteArray RememberCipher(QByteArrayView bytes)
{
    return Rc4(QByteArrayView(kRememberKey, sizeof(kRememberKey) - 1)).Process(bytes);
}

} // namespace zv
