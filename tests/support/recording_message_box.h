#pragma once

#include "app/message_box.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace zv::test {

// Records every message and gives a set answer; installed as the program's
// message-box seam for its lifetime.
class RecordingMessageBox final : public IMessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };

    explicit RecordingMessageBox(MsgResult answer = MsgResult::Ok) : answer(answer) { SetMessageBoxSeam(this); }
    ~RecordingMessageBox() override { SetMessageBoxSeam(nullptr); }

    MsgResult Show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons) override
    {
        shown.push_back({text, title, icon, buttons});
        return answer;
    }

    QStringList texts() const
    {
        QStringList all;
        for (const Shown& message : shown)
            all << message.text;
        return all;
    }
    std::vector<MsgIcon> icons() const
    {
        std::vector<MsgIcon> all;
        for (const Shown& message : shown)
            all.push_back(message.icon);
        return all;
    }

    MsgResult answer;
    std::vector<Shown> shown;
};

} // namespace zv::test
