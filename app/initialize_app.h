#pragma once

#include "app/app_host.h"

#include <QStringList>

#include <cstdint>

namespace zv {

// The command line as the library reads it.
struct TCommandLineInfo {
    bool versionRequested = false;

    // A switch (introduced by "/" or "-") whose text is exactly "v" asks for
    // the version box; every other argument, file names included, is ignored.
    static TCommandLineInfo Parse(const QStringList& arguments);
};

// The library's start-up, with the command line given (arguments[0] is the
// program). See InitializeAppFn for the results.
std::int32_t InitializeApp(CAppHost* app, QString* newLibraryPath, const QStringList& arguments);

// The text of the version box.
QString VersionText();

} // namespace zv
