#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>

namespace zv {

// Reads a file's version record: from the ELF note our build writes
// (section ".note.zelvio.version", note "Zelvio", type 1) or from a PE
// file's version resource. Untrusted files are read with bounds checks only.
class CFileVersionInfo {
public:
    // The fixed file-information record, thirteen 32-bit words.
    struct FixedFileInfo {
        std::uint32_t dwSignature = 0;
        std::uint32_t dwStrucVersion = 0;
        std::uint32_t dwFileVersionMS = 0;
        std::uint32_t dwFileVersionLS = 0;
        std::uint32_t dwProductVersionMS = 0;
        std::uint32_t dwProductVersionLS = 0;
        std::uint32_t dwFileFlagsMask = 0;
        std::uint32_t dwFileFlags = 0;
        std::uint32_t dwFileOS = 0;
        std::uint32_t dwFileType = 0;
        std::uint32_t dwFileSubtype = 0;
        std::uint32_t dwFileDateMS = 0;
        std::uint32_t dwFileDateLS = 0;
    };
    struct Translation {
        std::uint16_t language = 0;
        std::uint16_t codePage = 0;
    };

    static constexpr std::uint32_t kSignature = 0xFEEF04BD;

    CFileVersionInfo() = default;
    virtual ~CFileVersionInfo();

    // True when the file has a record with the right signature and a
    // translation table; otherwise every field is cleared.
    bool Create(const QString& path);
    void Reset();

    bool IsValid() const { return m_valid; }
    const FixedFileInfo& GetFixedInfo() const { return m_fixedInfo; }
    int GetTranslationCount() const { return m_translationCount; }
    Translation GetTranslation(int index) const; // zeros outside the table
    // The upper 16 bits of the file version's high word.
    int GetMajorVersion() const { return int(m_fixedInfo.dwFileVersionMS >> 16); }
    const QByteArray& VersionData() const { return m_versionData; }

private:
    bool FromElf(QByteArrayView file);
    bool FromPe(QByteArrayView file);

    FixedFileInfo m_fixedInfo;
    QByteArray m_versionData;
    qsizetype m_translationOffset = -1; // into m_versionData
    int m_translationCount = 0;
    bool m_valid = false;
};

} // namespace zv
