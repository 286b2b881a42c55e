// Where the server address comes from. It is read once per run, so each case
// runs in a child process of its own.

#include "net/error_log.h"
#include "net/server_address.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>

namespace zv {
namespace {

struct AddressCase {
    const char* name;
    const char* env; // null: unset
    const char* ini; // null: no zelvio.ini
    const char* script;
};

class ServerAddress : public testing::TestWithParam<AddressCase> {};

TEST_P(ServerAddress, ComesFromTheEnvironmentOrZelvioIni)
{
    const AddressCase& c = GetParam();
    QTemporaryDir folder;
    if (c.ini) {
        QFile ini(folder.filePath("zelvio.ini"));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write(QByteArray("[Server]\nAddress=") + c.ini + "\n");
    }
    EXPECT_EXIT(
        {
            if (c.env)
                setenv("ZELVIO_SERVER", c.env, 1);
            else
                unsetenv("ZELVIO_SERVER");
            SetNetProgramFolderForTesting(folder.path());
            const bool ok = ServerScriptAddress() == QLatin1String(c.script) &&
                            ServerScriptAddress() == QLatin1String(c.script);
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

INSTANTIATE_TEST_SUITE_P(
    Sources, ServerAddress,
    testing::Values(AddressCase{"EnvironmentWins", "http://127.0.0.1:8080/", "http://lab.example/", "http://127.0.0.1:8080/zv.php"},
                    AddressCase{"IniWhenNoEnvironment", nullptr, "http://lab.example/photo/", "http://lab.example/photo/zv.php"},
                    AddressCase{"MissingSlashIsAdded", nullptr, "http://lab.example/photo", "http://lab.example/photo/zv.php"},
                    AddressCase{"EmptyEnvironmentFallsBackToIni", "", "http://lab.example/", "http://lab.example/zv.php"},
                    AddressCase{"NothingConfigured", nullptr, nullptr, ""}),
    [](const auto& info) { return std::string(info.param.name); });

} // namespace
} // namespace zv
