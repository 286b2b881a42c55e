#pragma once

#include <QByteArray>
#include <QString>

namespace zv {

// Appends one entry to "error.log" in the program folder: a header line with
// the local time, tag and number, the message, an empty line; CR LF line
// ends. The first entry of a run replaces an existing file. Nothing is
// reported when the file cannot be written. GUI thread only.
void LogError(const QByteArray& message, const char* tag, int number);

// The folder error.log and downloads go to: the program folder, ending in "/".
QString NetProgramFolder();
// Points the program folder elsewhere and makes the next entry the run's
// first again (tests).
void SetNetProgramFolderForTesting(const QString& folder);

} // namespace zv
