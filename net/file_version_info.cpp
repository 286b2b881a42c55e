#include "net/file_version_info.h"

#include <QFile>

#include <cstring>
#include <optional>

namespace zv {

namespace {

constexpr qint64 kMaxFileBytes = qint64(1) << 31;
constexpr qsizetype kFixedInfoBytes = 13 * 4;

// Little-endian reads that fail instead of running past the end.
struct Reader {
    QByteArrayView data;

    bool Has(quint64 offset, quint64 size) const
    {
        return offset <= quint64(data.size()) && size <= quint64(data.size()) - offset;
    }
    std::optional<quint64> U(quint64 offset, int bytes) const
    {
        if (!Has(offset, quint64(bytes)))
            return std::nullopt;
        quint64 v = 0;
        for (int i = bytes - 1; i >= 0; --i)
            v = (v << 8) | quint8(data[qsizetype(offset) + i]);
        return v;
    }
};

quint64 Align4(quint64 v)
{
    return (v + 3) & ~quint64(3);
}

CFileVersionInfo::FixedFileInfo ReadFixed(const char* p)
{
    CFileVersionInfo::FixedFileInfo info;
    std::uint32_t words[13];
    for (int i = 0; i < 13; ++i) {
        std::uint32_t w = 0;
        for (int b = 3; b >= 0; --b)
            w = (w << 8) | quint8(p[i * 4 + b]);
        words[i] = w;
    }
    static_assert(sizeof info == sizeof words);
    std::memcpy(&info, words, sizeof words);
    return info;
}

// Walks the notes of one note area; the desc of "Zelvio"/1, if any.
std::optional<QByteArrayView> FindNote(const Reader& r, quint64 offset, quint64 size)
{
    if (!r.Has(offset, size))
        return std::nullopt;
    const quint64 end = offset + size;
    quint64 at = offset;
    while (at + 12 <= end) {
        const quint64 namesz = *r.U(at, 4), descsz = *r.U(at + 4, 4), type = *r.U(at + 8, 4);
        const quint64 nameAt = at + 12;
        if (namesz > end - nameAt)
            return std::nullopt;
        const quint64 descAt = nameAt + Align4(namesz);
        if (descAt > end || descsz > end - descAt)
            return std::nullopt;
        const QByteArrayView name = r.data.sliced(qsizetype(nameAt), qsizetype(namesz));
        if (type == 1 && name == QByteArrayView("Zelvio\0", 7))
            return r.data.sliced(qsizetype(descAt), qsizetype(descsz));
        at = descAt + Align4(descsz);
    }
    return std::nullopt;
}

} // namespace

CFileVersionInfo::~CFileVersionInfo()
{
    Reset();
}

void CFileVersionInfo::Reset()
{
    m_fixedInfo = {};
    m_versionData.clear();
    m_versionData.squeeze();
    m_translationOffset = -1;
    m_translationCount = 0;
    m_valid = false;
}

CFileVersionInfo::Translation CFileVersionInfo::GetTranslation(int index) const
{
    if (index < 0 || index >= m_translationCount)
        return {};
    const Reader r{m_versionData};
    const quint64 at = quint64(m_translationOffset) + quint64(index) * 4;
    return {std::uint16_t(*r.U(at, 2)), std::uint16_t(*r.U(at + 2, 2))};
}

bool CFileVersionInfo::Create(const QString& path)
{
    if (path.isNull())
        return false;
    Reset();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 4 || file.size() > kMaxFileBytes)
        return false;
    const uchar* mapped = file.map(0, file.size());
    QByteArray copy;
    QByteArrayView bytes;
    if (mapped) {
        bytes = QByteArrayView(reinterpret_cast<const char*>(mapped), file.size());
    } else {
        copy = file.readAll();
        bytes = copy;
    }
    bool found = false;
    if (bytes.startsWith("\x7f" "ELF"))
        found = FromElf(bytes);
    else if (bytes.startsWith("MZ"))
        found = FromPe(bytes);
    if (found && m_valid && m_translationOffset >= 0)
        return true;
    Reset();
    return false;
}

bool CFileVersionInfo::FromElf(QByteArrayView data)
{
    const Reader r{data};
    if (data.size() < 16 || data[5] != 1) // little-endian only
        return false;
    const bool is64 = data[4] == 2;
    if (!is64 && data[4] != 1)
        return false;
    const auto shoff = r.U(is64 ? 0x28 : 0x20, is64 ? 8 : 4);
    const auto shentsize = r.U(is64 ? 0x3A : 0x2E, 2);
    const auto shnum = r.U(is64 ? 0x3C : 0x30, 2);
    const auto shstrndx = r.U(is64 ? 0x3E : 0x32, 2);
    if (!shoff || !shentsize || !shnum || !shstrndx || *shentsize < (is64 ? 64u : 40u))
        return false;
    if (*shnum == 0 || !r.Has(*shoff, *shnum * *shentsize))
        return false;
    const auto section = [&](quint64 i, quint64 field64, quint64 field32, int size64) {
        const quint64 at = *shoff + i * *shentsize;
        return r.U(at + (is64 ? field64 : field32), is64 ? size64 : 4);
    };
    // sh_name 0/0 (4), sh_type 4/4 (4), sh_offset 0x18/0x10, sh_size 0x20/0x14.
    const auto strOff = *shstrndx < *shnum ? section(*shstrndx, 0x18, 0x10, 8) : std::nullopt;
    const auto strSize = *shstrndx < *shnum ? section(*shstrndx, 0x20, 0x14, 8) : std::nullopt;

    std::optional<QByteArrayView> desc;
    for (quint64 i = 0; i < *shnum && !desc; ++i) {
        const quint64 nameIndex = *r.U(*shoff + i * *shentsize, 4);
        const quint64 type = *r.U(*shoff + i * *shentsize + 4, 4);
        const quint64 offset = *section(i, 0x18, 0x10, 8);
        const quint64 size = *section(i, 0x20, 0x14, 8);
        if (type != 7) // SHT_NOTE
            continue;
        bool named = false;
        if (strOff && strSize && nameIndex < *strSize && r.Has(*strOff, *strSize)) {
            const QByteArrayView table = data.sliced(qsizetype(*strOff), qsizetype(*strSize));
            const QByteArrayView rest = table.sliced(qsizetype(nameIndex));
            const qsizetype nul = rest.indexOf('\0');
            named = nul >= 0 && rest.first(nul) == QByteArrayView(".note.zelvio.version");
        }
        // Our section by name first; any note area holding our note will do.
        if (named || !desc)
            desc = FindNote(r, offset, size);
    }
    if (!desc || desc->size() < kFixedInfoBytes)
        return false;
    m_versionData = desc->toByteArray();
    m_fixedInfo = ReadFixed(m_versionData.constData());
    m_valid = m_fixedInfo.dwSignature == kSignature;
    const qsizetype tableBytes = m_versionData.size() - kFixedInfoBytes;
    if (m_valid && tableBytes >= 4) {
        m_translationOffset = kFixedInfoBytes;
        m_translationCount = int(tableBytes / 4);
    }
    return true;
}

bool CFileVersionInfo::FromPe(QByteArrayView data)
{
    const Reader r{data};
    const auto peAt = r.U(0x3C, 4);
    if (!peAt || !r.Has(*peAt, 24) || data.sliced(qsizetype(*peAt), 4) != QByteArrayView("PE\0\0", 4))
        return false;
    const quint64 coff = *peAt + 4;
    const quint64 sections = *r.U(coff + 2, 2);
    const quint64 optSize = *r.U(coff + 16, 2);
    const quint64 opt = coff + 20;
    const auto magic = r.U(opt, 2);
    if (!magic || (*magic != 0x10b && *magic != 0x20b))
        return false;
    const quint64 dirs = opt + (*magic == 0x20b ? 112 : 96);
    const auto dirCount = r.U(dirs - 4, 4);
    if (!dirCount || *dirCount < 3 || dirs + 3 * 8 > opt + optSize)
        return false;
    const auto rsrcRva = r.U(dirs + 2 * 8, 4);
    if (!rsrcRva || *rsrcRva == 0)
        return false;
    const quint64 table = opt + optSize;
    // Maps a relative virtual address to a file offset through the sections.
    const auto toOffset = [&](quint64 rva) -> std::optional<quint64> {
        for (quint64 i = 0; i < sections; ++i) {
            const quint64 s = table + i * 40;
            const auto vsize = r.U(s + 8, 4), va = r.U(s + 12, 4), rawSize = r.U(s + 16, 4),
                       raw = r.U(s + 20, 4);
            if (!vsize || !va || !rawSize || !raw)
                return std::nullopt;
            const quint64 span = std::max(*vsize, *rawSize);
            if (rva >= *va && rva < *va + span) {
                if (rva - *va >= *rawSize)
                    return std::nullopt;
                return *raw + (rva - *va);
            }
        }
        return std::nullopt;
    };
    const auto root = toOffset(*rsrcRva);
    if (!root)
        return false;
    // One entry of a resource directory: by id at the first level, the
    // first one below it.
    const auto entry = [&](quint64 dir, std::optional<quint64> id) -> std::optional<quint64> {
        const auto named = r.U(dir + 12, 2), ids = r.U(dir + 14, 2);
        if (!named || !ids)
            return std::nullopt;
        for (quint64 i = 0; i < *named + *ids; ++i) {
            const auto name = r.U(dir + 16 + i * 8, 4), target = r.U(dir + 16 + i * 8 + 4, 4);
            if (!name || !target)
                return std::nullopt;
            if (!id || (!(*name & 0x80000000u) && *name == *id))
                return *target;
        }
        return std::nullopt;
    };
    quint64 dir = *root;
    std::optional<quint64> want = 16; // RT_VERSION
    for (int level = 0; level < 2; ++level) {
        const auto target = entry(dir, want);
        if (!target || !(*target & 0x80000000u))
            return false;
        dir = *root + (*target & 0x7fffffffu);
        want.reset();
    }
    const auto leaf = entry(dir, std::nullopt);
    if (!leaf || (*leaf & 0x80000000u))
        return false;
    const quint64 dataEntry = *root + *leaf;
    const auto dataRva = r.U(dataEntry, 4), dataSize = r.U(dataEntry + 4, 4);
    if (!dataRva || !dataSize || *dataSize == 0)
        return false;
    const auto dataAt = toOffset(*dataRva);
    if (!dataAt || !r.Has(*dataAt, *dataSize))
        return false;
    m_versionData = data.sliced(qsizetype(*dataAt), qsizetype(*dataSize)).toByteArray();

    // VS_VERSIONINFO: length, value length, type, key, padding, value, children.
    const Reader v{m_versionData};
    const auto key = [&](quint64 at, quint64 end, QStringView expected) -> std::optional<quint64> {
        // A NUL-ended UTF-16 key at `at`; the offset after it and its padding.
        QString text;
        quint64 p = at;
        while (true) {
            const auto c = v.U(p, 2);
            if (!c || p + 2 > end)
                return std::nullopt;
            p += 2;
            if (*c == 0)
                break;
            text += QChar(char16_t(*c));
        }
        if (text != expected)
            return std::nullopt;
        return Align4(p);
    };
    const auto length = v.U(0, 2), valueLength = v.U(2, 2);
    if (!length || !valueLength)
        return false;
    const quint64 end = std::min<quint64>(*length, quint64(m_versionData.size()));
    const auto valueAt = key(6, end, u"VS_VERSION_INFO");
    if (!valueAt || *valueLength < quint64(kFixedInfoBytes) || !v.Has(*valueAt, kFixedInfoBytes) ||
        *valueAt + kFixedInfoBytes > end)
        return false;
    m_fixedInfo = ReadFixed(m_versionData.constData() + *valueAt);
    m_valid = m_fixedInfo.dwSignature == kSignature;
    if (!m_valid)
        return true;
    // Children: StringFileInfo and VarFileInfo blocks; find VarFileInfo\Translation.
    quint64 child = Align4(*valueAt + *valueLength);
    while (child + 6 <= end) {
        const quint64 childLength = *v.U(child, 2);
        if (childLength < 6)
            break;
        const quint64 childEnd = std::min(end, child + childLength);
        if (const auto varAt = key(child + 6, childEnd, u"VarFileInfo")) {
            quint64 var = *varAt;
            while (var + 6 <= childEnd) {
                const quint64 varLength = *v.U(var, 2), varValue = *v.U(var + 2, 2);
                if (varLength < 6)
                    break;
                const quint64 varEnd = std::min(childEnd, var + varLength);
                if (const auto tableAt = key(var + 6, varEnd, u"Translation")) {
                    if (*tableAt + varValue > varEnd)
                        return true;
                    m_translationOffset = qsizetype(*tableAt);
                    m_translationCount = int(varValue / 4);
                    return true;
                }
                var = Align4(var + varLength);
            }
        }
        child = Align4(child + childLength);
    }
    return true;
}

} // namespace zv
