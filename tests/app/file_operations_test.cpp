#include "app/file_operations.h"

#include "app/message_box.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <deque>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Question {
    QString text;
    QString title;
    zv::MsgIcon icon;
    zv::MsgButtons buttons;
};

// Answers from a script and records what was asked.
class FakeMessageBox final : public zv::IMessageBox {
public:
    zv::MsgResult Show(const QString& text, const QString& title, zv::MsgIcon icon,
                       zv::MsgButtons buttons) override
    {
        asked.push_back({text, title, icon, buttons});
        if (answers.empty())
            return zv::MsgResult::Cancel;
        const zv::MsgResult a = answers.front();
        answers.pop_front();
        return a;
    }

    std::deque<zv::MsgResult> answers;
    std::vector<Question> asked;
};

class FileOperationsTest : public ::testing::Test {
protected:
    void SetUp() override { zv::SetMessageBoxSeam(&m_box); }
    void TearDown() override { zv::SetMessageBoxSeam(nullptr); }

    QString path(const QString& relative) const { return m_dir.filePath(relative); }

    void makeFile(const QString& relative, bool readOnly = false)
    {
        const QString p = path(relative);
        QDir().mkpath(QFileInfo(p).absolutePath());
        QFile f(p);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        if (readOnly) {
            ASSERT_EQ(::chmod(QFile::encodeName(p).constData(), 0444), 0);
        }
    }
    bool exists(const QString& relative) const
    {
        struct stat st;
        return ::lstat(QFile::encodeName(path(relative)).constData(), &st) == 0;
    }

    // The tree that most cases delete: two files, a sub-folder with one file.
    void makeTree(bool readOnlyInSub = false)
    {
        makeFile(QStringLiteral("t/a.jpg"));
        makeFile(QStringLiteral("t/b.jpg"));
        makeFile(QStringLiteral("t/sub/c.jpg"), readOnlyInSub);
    }

    QTemporaryDir m_dir;
    FakeMessageBox m_box;
};

TEST_F(FileOperationsTest, StartsWithoutError)
{
    zv::TFileOperations ops;
    EXPECT_EQ(ops.errorText, QStringLiteral("No error"));
    EXPECT_EQ(ops.errorCode, 0u);
    EXPECT_FALSE(ops.skipped);
    EXPECT_TRUE(ops.askReadOnly);
}

TEST_F(FileOperationsTest, DeletesWholeTree)
{
    makeTree();
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_FALSE(exists(QStringLiteral("t")));
    EXPECT_FALSE(ops.skipped);
    EXPECT_TRUE(m_box.asked.empty());
}

TEST_F(FileOperationsTest, ReadOnlyAnsweredNoKeepsFileAndItsFolders)
{
    makeTree(true);
    m_box.answers = {zv::MsgResult::No};
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_TRUE(ops.skipped);
    EXPECT_FALSE(exists(QStringLiteral("t/a.jpg")));
    EXPECT_FALSE(exists(QStringLiteral("t/b.jpg")));
    EXPECT_TRUE(exists(QStringLiteral("t/sub/c.jpg")));
    ASSERT_EQ(m_box.asked.size(), 1u);
    EXPECT_EQ(m_box.asked[0].text, QStringLiteral("c.jpg is read only. Do you want delete it?"));
    EXPECT_EQ(m_box.asked[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(m_box.asked[0].icon, zv::MsgIcon::Question);
    EXPECT_EQ(m_box.asked[0].buttons, zv::MsgButtons::YesNoCancel);
}

TEST_F(FileOperationsTest, ReadOnlyAnsweredYesIsDeleted)
{
    makeTree(true);
    m_box.answers = {zv::MsgResult::Yes};
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_FALSE(exists(QStringLiteral("t")));
    EXPECT_EQ(m_box.asked.size(), 1u);
}

TEST_F(FileOperationsTest, ReadOnlyWithoutAskingIsDeleted)
{
    makeTree(true);
    zv::TFileOperations ops;
    ops.askReadOnly = false;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_FALSE(exists(QStringLiteral("t")));
    EXPECT_TRUE(m_box.asked.empty());
}

TEST_F(FileOperationsTest, CancelStopsAtOnceWithCodeZero)
{
    makeFile(QStringLiteral("t/one/a.jpg"), true);
    makeFile(QStringLiteral("t/two/b.jpg"), true);
    m_box.answers = {zv::MsgResult::Cancel, zv::MsgResult::Yes};
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_EQ(ops.errorCode, 0u);
    EXPECT_EQ(ops.errorText, QString());
    EXPECT_TRUE(ops.skipped);
    EXPECT_EQ(m_box.asked.size(), 1u); // the second read-only file was never reached
    EXPECT_TRUE(exists(QStringLiteral("t/one/a.jpg")));
    EXPECT_TRUE(exists(QStringLiteral("t/two/b.jpg")));
}

TEST_F(FileOperationsTest, SingleFile)
{
    makeFile(QStringLiteral("f.tmp"));
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("f.tmp"))));
    EXPECT_FALSE(exists(QStringLiteral("f.tmp")));
}

TEST_F(FileOperationsTest, MissingPathFailsWithSystemError)
{
    zv::TFileOperations ops;
    EXPECT_FALSE(ops.DeleteTree(path(QStringLiteral("nothing"))));
    EXPECT_EQ(ops.errorCode, static_cast<std::uint32_t>(ENOENT));
    EXPECT_EQ(ops.errorText, QString::fromLocal8Bit(std::strerror(ENOENT)));
}

TEST_F(FileOperationsTest, LinkToFolderIsRemovedNotFollowed)
{
    makeFile(QStringLiteral("keep/precious.jpg"));
    makeFile(QStringLiteral("t/a.jpg"));
    ASSERT_EQ(::symlink(QFile::encodeName(path(QStringLiteral("keep"))).constData(),
                        QFile::encodeName(path(QStringLiteral("t/link"))).constData()),
              0);
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.DeleteTree(path(QStringLiteral("t"))));
    EXPECT_FALSE(exists(QStringLiteral("t")));
    EXPECT_TRUE(exists(QStringLiteral("keep/precious.jpg")));
}

TEST_F(FileOperationsTest, MoveRenamesFile)
{
    makeFile(QStringLiteral("parts/1"));
    zv::TFileOperations ops;
    EXPECT_TRUE(ops.MoveFile(path(QStringLiteral("parts/1")), path(QStringLiteral("parts/1.3"))));
    EXPECT_FALSE(exists(QStringLiteral("parts/1")));
    EXPECT_TRUE(exists(QStringLiteral("parts/1.3")));
}

TEST_F(FileOperationsTest, MoveOntoExistingNameFails)
{
    makeFile(QStringLiteral("a"));
    makeFile(QStringLiteral("b"));
    zv::TFileOperations ops;
    EXPECT_FALSE(ops.MoveFile(path(QStringLiteral("a")), path(QStringLiteral("b"))));
    EXPECT_EQ(ops.errorCode, static_cast<std::uint32_t>(EEXIST));
    EXPECT_EQ(ops.errorText, QString::fromLocal8Bit(std::strerror(EEXIST)));
    EXPECT_TRUE(exists(QStringLiteral("a")));
}

TEST_F(FileOperationsTest, MoveOfMissingFileFails)
{
    zv::TFileOperations ops;
    EXPECT_FALSE(ops.MoveFile(path(QStringLiteral("none")), path(QStringLiteral("b"))));
    EXPECT_EQ(ops.errorCode, static_cast<std::uint32_t>(ENOENT));
}

struct PathTypeCase {
    const char* name;
    const char* relative;
    int type;
};

class FileOperationsPathType : public FileOperationsTest,
                               public ::testing::WithParamInterface<PathTypeCase> {};

TEST_P(FileOperationsPathType, Reports)
{
    makeFile(QStringLiteral("dir/file.jpg"));
    EXPECT_EQ(zv::TFileOperations::GetPathType(path(QLatin1String(GetParam().relative))),
              GetParam().type);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, FileOperationsPathType,
    ::testing::Values(PathTypeCase{"File", "dir/file.jpg", 1},
                      PathTypeCase{"Folder", "dir", 2},
                      PathTypeCase{"MissingFileInExistingFolder", "dir/none.jpg", 0},
                      PathTypeCase{"FileInMissingFolder", "none/file.jpg", 0},
                      PathTypeCase{"BelowAFile", "dir/file.jpg/x", 0}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
