#pragma once

// Small helpers shared by the order tests: message texts, photo files in a
// temporary folder, and the recording message box.

#include "app/message_box.h"
#include "app/string_table.h"
#include "tests/support/recording_message_box.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zv::test {

// The text of a string with "%s" filled in.
inline QString Message(int id, const QString& argument = {})
{
    return LoadString(id).replace(QLatin1String("%s"), argument);
}

// Writes a file of the given size; returns its path.
inline QString MakeFile(const QTemporaryDir& dir, const QString& name, int size = 100)
{
    const QString path = dir.path() + "/" + name;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(QByteArray(size, 'x'));
    return path;
}

} // namespace zv::test
