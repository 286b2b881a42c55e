#pragma once

// Small fakes shared by the order tests: a message box that records what it
// was asked to show, and photo files in a temporary folder.

#include "app/message_box.h"
#include "app/string_table.h"

#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace zv::test {

class RecordingMessageBox final : public IMessageBox {
public:
    RecordingMessageBox() { SetMessageBoxSeam(this); }
    ~RecordingMessageBox() override { SetMessageBoxSeam(nullptr); }

    MsgResult Show(const QString& text, const QString&, MsgIcon icon, MsgButtons) override
    {
        texts << text;
        icons.push_back(icon);
        return MsgResult::Ok;
    }

    QStringList texts;
    std::vector<MsgIcon> icons;
};

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
