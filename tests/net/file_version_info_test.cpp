// The version record read from our ELF note and from a PE version resource.

#include "net/file_version_info.h"
#include "tests/net/labserver_process.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

// Little-endian byte builder.
struct Bytes {
    QByteArray data;
    Bytes& u8(quint8 v) { data.append(char(v)); return *this; }
    Bytes& u16(quint16 v) { return u8(v & 0xff).u8(v >> 8); }
    Bytes& u32(quint32 v) { return u16(v & 0xffff).u16(v >> 16); }
    Bytes& u64(quint64 v) { return u32(quint32(v)).u32(quint32(v >> 32)); }
    Bytes& raw(QByteArray v) { data.append(v); return *this; }
    Bytes& pad(qsizetype to) { while (data.size() % to) data.append('\0'); return *this; }
    Bytes& at(qsizetype offset) { if (data.size() < offset) data.append(QByteArray(offset - data.size(), '\0')); return *this; }
    Bytes& utf16z(const char* text) { for (; *text; ++text) u16(quint8(*text)); return u16(0); }
};

QByteArray FixedInfo(quint32 signature = 0xFEEF04BD)
{
    Bytes b;
    b.u32(signature).u32(0x00010000).u32((6u << 16) | 1).u32((7600u << 16) | 16385).u32((6u << 16) | 1)
        .u32((7600u << 16) | 16385).u32(0x3f).u32(0).u32(0x40004).u32(2).u32(0).u32(0).u32(0);
    return b.data;
}

// A minimal ELF file (32- or 64-bit) with a .shstrtab and our note section.
QByteArray MakeElf(bool is64, QByteArray desc)
{
    const QByteArray names = QByteArray("\0.shstrtab\0.note.zelvio.version\0", 33);
    Bytes note;
    note.u32(7).u32(quint32(desc.size())).u32(1).raw(QByteArray("Zelvio\0\0", 8)).raw(desc).pad(4);
    const quint32 ehsize = is64 ? 64 : 52, shentsize = is64 ? 64 : 40;
    const quint32 namesAt = ehsize, noteAt = namesAt + 36, shoff = noteAt + quint32(note.data.size());
    Bytes b;
    b.raw("\x7f" "ELF").u8(is64 ? 2 : 1).u8(1).u8(1).at(16).u16(3).u16(is64 ? 62 : 3).u32(1);
    if (is64)
        b.u64(0).u64(0).u64(shoff);
    else
        b.u32(0).u32(0).u32(shoff);
    b.u32(0).u16(quint16(ehsize)).u16(0).u16(0).u16(quint16(shentsize)).u16(3).u16(1);
    b.at(namesAt).raw(names).at(noteAt).raw(note.data).at(shoff);
    const auto section = [&](quint32 name, quint32 type, quint64 offset, quint64 size) {
        b.u32(name).u32(type);
        if (is64)
            b.u64(0).u64(0).u64(offset).u64(size).u32(0).u32(0).u64(4).u64(0);
        else
            b.u32(0).u32(0).u32(quint32(offset)).u32(quint32(size)).u32(0).u32(0).u32(4).u32(0);
    };
    section(0, 0, 0, 0);
    section(1, 3, namesAt, quint64(names.size()));
    section(11, 7, noteAt, quint64(note.data.size()));
    return b.data;
}

// A minimal PE32 file whose only section holds an RT_VERSION resource.
QByteArray MakePe(QByteArray fixed, bool withTranslation = true)
{
    Bytes var;
    if (withTranslation) {
        Bytes t;
        t.u16(36).u16(4).u16(0).utf16z("Translation").pad(4).u16(0x0415).u16(1250);
        var.u16(quint16(32 + t.data.size())).u16(0).u16(1).utf16z("VarFileInfo").pad(4).raw(t.data);
    }
    Bytes vs;
    vs.u16(0).u16(52).u16(0).utf16z("VS_VERSION_INFO").pad(4).raw(fixed).pad(4).raw(var.data);
    vs.data[0] = char(vs.data.size() & 0xff);
    vs.data[1] = char(vs.data.size() >> 8);

    const quint32 rva = 0x1000;
    Bytes rsrc;
    rsrc.u32(0).u32(0).u16(0).u16(0).u16(0).u16(1).u32(16).u32(0x80000000u | 0x18);
    rsrc.u32(0).u32(0).u16(0).u16(0).u16(0).u16(1).u32(1).u32(0x80000000u | 0x30);
    rsrc.u32(0).u32(0).u16(0).u16(0).u16(0).u16(1).u32(0x415).u32(0x48);
    rsrc.u32(rva + 0x58).u32(quint32(vs.data.size())).u32(0).u32(0);
    rsrc.raw(vs.data);

    Bytes b;
    b.raw("MZ").at(0x3c).u32(0x40).raw(QByteArray("PE\0\0", 4));
    b.u16(0x14c).u16(1).u32(0).u32(0).u32(0).u16(224).u16(0x2102);
    const qsizetype opt = b.data.size();
    b.u16(0x10b).at(opt + 92).u32(16);
    b.at(opt + 96 + 2 * 8).u32(rva).u32(quint32(rsrc.data.size()));
    b.at(opt + 224).raw(QByteArray(".rsrc\0\0\0", 8)).u32(quint32(rsrc.data.size())).u32(rva)
        .u32(quint32(rsrc.data.size())).u32(0x200).u32(0).u32(0).u16(0).u16(0).u32(0x40000040);
    b.at(0x200).raw(rsrc.data);
    return b.data;
}

class VersionFile : public testing::Test {
protected:
    QString Write(const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(QString::number(m_count++));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(bytes);
        return path;
    }
    static void ExpectCleared(const CFileVersionInfo& info)
    {
        EXPECT_FALSE(info.IsValid());
        EXPECT_EQ(info.GetFixedInfo().dwSignature, 0u);
        EXPECT_EQ(info.GetTranslationCount(), 0);
        EXPECT_TRUE(info.VersionData().isEmpty());
    }
    QTemporaryDir m_dir;
    int m_count = 0;
};

TEST_F(VersionFile, ReadsTheNoteOfALibraryTheBuildMade)
{
    CFileVersionInfo info;
    ASSERT_TRUE(info.Create(test::BinDir() + "/libzv_versioned_fixture.so"));
    EXPECT_TRUE(info.IsValid());
    EXPECT_EQ(info.GetMajorVersion(), 6);
    EXPECT_EQ(info.GetFixedInfo().dwFileVersionMS, (6u << 16) | 1);
    EXPECT_EQ(info.GetFixedInfo().dwFileVersionLS, (2u << 16) | 47);
    ASSERT_EQ(info.GetTranslationCount(), 1);
    EXPECT_EQ(info.GetTranslation(0).language, 0x0415);
    EXPECT_EQ(info.GetTranslation(0).codePage, 1250);
    EXPECT_EQ(info.GetTranslation(1).language, 0);
}

TEST_F(VersionFile, ReadsHandMadeElf32Elf64AndPe)
{
    for (const QByteArray& bytes : {MakeElf(false, FixedInfo() + QByteArray("\x15\x04\xe2\x04", 4)),
                                    MakeElf(true, FixedInfo() + QByteArray("\x15\x04\xe2\x04", 4)),
                                    MakePe(FixedInfo())}) {
        CFileVersionInfo info;
        ASSERT_TRUE(info.Create(Write(bytes)));
        EXPECT_EQ(info.GetMajorVersion(), 6);
        EXPECT_EQ(info.GetFixedInfo().dwFileVersionLS, (7600u << 16) | 16385);
        EXPECT_EQ(info.GetFixedInfo().dwFileType, 2u);
        ASSERT_EQ(info.GetTranslationCount(), 1);
        EXPECT_EQ(info.GetTranslation(0).language, 0x0415);
        EXPECT_EQ(info.GetTranslation(0).codePage, 1250);
    }
}

TEST_F(VersionFile, RefusesFilesWithoutAValidRecordAndClearsEverything)
{
    const QByteArray elf = MakeElf(true, FixedInfo() + QByteArray("\x15\x04\xe2\x04", 4));
    const std::vector<std::pair<const char*, QByteArray>> cases = {
        {"empty", {}},
        {"text", "just some text, no executable"},
        {"elf with wrong signature", MakeElf(true, FixedInfo(0x12345678) + QByteArray(4, '\0'))},
        {"elf without translation", MakeElf(false, FixedInfo())},
        {"elf with short record", MakeElf(true, FixedInfo().left(40))},
        {"big-endian elf", QByteArray(elf).replace(5, 1, "\x02")},
        {"pe with wrong signature", MakePe(FixedInfo(0xFEEF04BC))},
        {"pe without translation", MakePe(FixedInfo(), false)},
        {"elf with huge section count", QByteArray(elf).replace(0x3c, 2, "\xff\xff")},
        {"elf with section table past the end", QByteArray(elf).replace(0x28, 8, QByteArray("\xf0\xff\xff\xff\xff\xff\xff\x7f", 8))},
    };
    for (const auto& [name, bytes] : cases) {
        CFileVersionInfo info;
        ASSERT_TRUE(info.Create(Write(MakePe(FixedInfo())))); // fill it first
        EXPECT_FALSE(info.Create(Write(bytes))) << name;
        ExpectCleared(info);
    }
    CFileVersionInfo info;
    EXPECT_FALSE(info.Create(m_dir.filePath("missing")));
    EXPECT_FALSE(info.Create(QString()));
    ExpectCleared(info);
}

TEST_F(VersionFile, EveryTruncationIsRefused)
{
    const QByteArray pe = MakePe(FixedInfo());
    const QByteArray elf = MakeElf(false, FixedInfo() + QByteArray("\x15\x04\xe2\x04", 4));
    QFile built(test::BinDir() + "/libzv_versioned_fixture.so");
    ASSERT_TRUE(built.open(QIODevice::ReadOnly));
    const QByteArray so = built.readAll();
    for (const QByteArray* file : {&pe, &elf, &so}) {
        const qsizetype step = file->size() > 4096 ? 97 : 1;
        for (qsizetype n = 0; n < file->size(); n += step) {
            CFileVersionInfo info;
            EXPECT_FALSE(info.Create(Write(file->left(n)))) << "cut at " << n << " of " << file->size();
            QFile::remove(m_dir.filePath(QString::number(m_count - 1)));
        }
    }
}

} // namespace
} // namespace zv
