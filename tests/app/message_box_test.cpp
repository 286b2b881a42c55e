#include "app/message_box.h"

#include "app/program_folder.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

struct SafeAnswer {
    const char* name;
    zv::MsgButtons buttons;
    zv::MsgResult answer;
};

class DefaultMessageBox : public ::testing::TestWithParam<SafeAnswer> {};

TEST_P(DefaultMessageBox, AnswersSafely)
{
    zv::SetMessageBoxSeam(nullptr);
    EXPECT_EQ(zv::ShowMessage(QStringLiteral("text"), zv::MsgIcon::Question, GetParam().buttons),
              GetParam().answer);
}

INSTANTIATE_TEST_SUITE_P(Buttons, DefaultMessageBox,
                         ::testing::Values(SafeAnswer{"Ok", zv::MsgButtons::Ok, zv::MsgResult::Ok},
                                           SafeAnswer{"OkCancel", zv::MsgButtons::OkCancel,
                                                      zv::MsgResult::Cancel},
                                           SafeAnswer{"YesNo", zv::MsgButtons::YesNo, zv::MsgResult::No},
                                           SafeAnswer{"YesNoCancel", zv::MsgButtons::YesNoCancel,
                                                      zv::MsgResult::Cancel}),
                         [](const auto& info) { return std::string(info.param.name); });

class TitleRecorder final : public zv::IMessageBox {
public:
    zv::MsgResult Show(const QString&, const QString& t, zv::MsgIcon, zv::MsgButtons) override
    {
        title = t;
        return zv::MsgResult::Yes;
    }
    QString title;
};

TEST(MessageBoxSeam, InstalledSeamAnswersAndEmptyTitleIsProgramName)
{
    TitleRecorder box;
    zv::SetMessageBoxSeam(&box);
    EXPECT_EQ(zv::ShowMessage(QStringLiteral("?"), zv::MsgIcon::Question, zv::MsgButtons::YesNo),
              zv::MsgResult::Yes);
    EXPECT_EQ(box.title, QStringLiteral("Zelvio"));
    zv::ShowMessage(QStringLiteral("?"), zv::MsgIcon::Warning, zv::MsgButtons::Ok,
                    QStringLiteral("Warning"));
    EXPECT_EQ(box.title, QStringLiteral("Warning"));
    zv::SetMessageBoxSeam(nullptr);
    EXPECT_NE(&zv::MessageBoxSeam(), &box);
}

TEST(ProgramFolder, IsTheExecutablesFolderWithOrWithoutApplication)
{
    const QString exeFolder =
        QFileInfo(QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget()).absolutePath() +
        QLatin1Char('/');
    EXPECT_EQ(zv::GetProgramFolder(), exeFolder);
    int argc = 1;
    char name[] = "zv_app_core_tests";
    char* argv[] = {name, nullptr};
    QCoreApplication app(argc, argv);
    EXPECT_EQ(zv::GetProgramFolder(), exeFolder);
}

} // namespace
