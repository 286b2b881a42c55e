// The program update downloads against the reference server.

#include "net/error_log.h"
#include "net/internet_handle.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "tests/net/labserver_process.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace zv {
namespace {

using test::LabServerProcess;

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class UpdateTest : public testing::Test {
protected:
    // Starts a server whose data offer the given packets and module file.
    void Start(const QString& packets, const QString& moduleName = "libzvimaging.so", const QStringList& faults = {})
    {
        const QString data = m_dir.filePath("data");
        ASSERT_TRUE(test::CopySampleData(data));
        QDir().mkpath(data + "/updates");
        for (int i = 1; i <= 3; ++i)
            WriteAll(data + QStringLiteral("/updates/p%1").arg(i), Packet(i));
        WriteAll(data + "/updates/module.so", "module bytes");
        QByteArray config = ReadAll(data + "/config.ini");
        config.replace("build=0\nfile=libqrb.so\npackets=\n",
                       "build=48\nfile=libqrb.so\npackets=" + packets.toUtf8() + "\n");
        config.replace("file=libzvimaging.so\npath=\n", "file=" + moduleName.toUtf8() + "\npath=updates/module.so\n");
        WriteAll(data + "/config.ini", config);
        QStringList extra;
        for (const QString& f : faults)
            extra << "--fault" << f;
        ASSERT_TRUE(m_server.Start(data, m_dir.filePath("store"), extra));
        QDir().mkpath(Folder());
        SetNetProgramFolderForTesting(Folder());
        SetServerBaseAddressForTesting(m_server.BaseAddress());
        SetTransferTimeoutsForTesting({5, 1, 2});
    }
    static QByteArray Packet(int i) { return QByteArray(20000 + i, char('a' + i)); }
    QString Folder() const { return m_dir.filePath("program"); }
    QByteArray Log() const { return ReadAll(Folder() + "/error.log"); }

    QTemporaryDir m_dir;
    LabServerProcess m_server;
};

TEST_F(UpdateTest, PacketsAreAppendedInOrderIntoTheServedFile)
{
    Start("updates/p1,updates/p2,updates/p3");
    WriteAll(Folder() + "/libqrb.so", "old library, longer than nothing");
    TServerConnector c;
    int packets = -1;
    ASSERT_TRUE(c.IsUpdateAvaliable(packets));
    EXPECT_EQ(packets, 2);
    QString path;
    ASSERT_TRUE(c.CheckForUpdate(packets, path));
    EXPECT_EQ(path, Folder() + "/libqrb.so");
    EXPECT_EQ(ReadAll(path), Packet(1) + Packet(2) + Packet(3));
}

TEST_F(UpdateTest, RequestCountIsPacketsPlusOne)
{
    Start("updates/p1,updates/p2,updates/p3");
    TServerConnector c;
    QString path;
    ASSERT_TRUE(c.CheckForUpdate(0, path)); // one request: PacketIndex 1 only
    EXPECT_EQ(ReadAll(path), Packet(1));
    ASSERT_TRUE(c.CheckForUpdate(3, path)); // the fourth gets a text reply
    EXPECT_EQ(ReadAll(path), Packet(1) + Packet(2) + Packet(3));
    EXPECT_TRUE(Log().isEmpty());
}

struct TornCase {
    const char* name;
    const char* packets;
    const char* fault;
};

class TornUpdate : public UpdateTest, public testing::WithParamInterface<TornCase> {};

TEST_P(TornUpdate, FailsAndLeavesNoFile)
{
    Start(GetParam().packets, "libzvimaging.so", *GetParam().fault ? QStringList{GetParam().fault} : QStringList{});
    TServerConnector c;
    QString path = "untouched";
    EXPECT_FALSE(c.CheckForUpdate(2, path));
    EXPECT_FALSE(QFile::exists(Folder() + "/libqrb.so"));
    EXPECT_TRUE(Log().contains("?CheckForUpdate:211"));
}

INSTANTIATE_TEST_SUITE_P(
    Packets, TornUpdate,
    testing::Values(TornCase{"MiddlePacketMissing", "updates/p1,updates/missing,updates/p3", ""},
                    TornCase{"FirstPacketDropped", "updates/p1,updates/p2,updates/p3", "drop:100:1:CheckForUpdate"},
                    TornCase{"NoFileAtAll", "updates/missing", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(UpdateTest, ImagingModuleDownload)
{
    Start("updates/p1");
    TServerConnector c;
    QString path;
    ASSERT_TRUE(c.DownloadGDIPlus(path));
    EXPECT_EQ(path, Folder() + "/libzvimaging.so");
    EXPECT_EQ(ReadAll(path), "module bytes");
}

TEST_F(UpdateTest, ServedNameWithAFolderPartFailsTheDownload)
{
    Start("updates/p1", "../escaped.so");
    TServerConnector c;
    QString path;
    EXPECT_FALSE(c.DownloadGDIPlus(path));
    EXPECT_FALSE(QFile::exists(m_dir.filePath("escaped.so")));
    EXPECT_TRUE(Log().contains("?DownloadGDIPlus:288"));
}

TEST_F(UpdateTest, ModuleReplyCutOffFailsAndLeavesNoFile)
{
    Start("updates/p1", "libzvimaging.so", {"drop:10:1:GetNewGDIPlus"});
    TServerConnector c;
    QString path;
    EXPECT_FALSE(c.DownloadGDIPlus(path));
    EXPECT_FALSE(QFile::exists(Folder() + "/libzvimaging.so"));
    EXPECT_TRUE(Log().contains("?DownloadGDIPlus:288 ---\r\nResponse:\r\n\t\r\n\r\n"));
}

} // namespace
} // namespace zv
