#pragma once

#include "app/message_box.h"

#include <QString>

#include <vector>

namespace zv::test {

// Records every message and gives a set answer; installed for its lifetime.
class FakeMessageBox : public IMessageBox {
public:
    struct Shown {
        QString text;
        QString title;
        MsgIcon icon;
        MsgButtons buttons;
    };

    explicit FakeMessageBox(MsgResult answer = MsgResult::Ok) : answer(answer) { SetMessageBoxSeam(this); }
    ~FakeMessageBox() override { SetMessageBoxSeam(nullptr); }

    MsgResult Show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons) override
    {
        shown.push_back({text, title, icon, buttons});
        return answer;
    }

    MsgResult answer;
    std::vector<Shown> shown;
};

} // namespace zv::test
