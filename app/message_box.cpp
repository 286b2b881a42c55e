#include "app/message_box.h"

#include <QDebug>

#include <atomic>

namespace zv {
namespace {

class LogMessageBox final : public IMessageBox {
public:
    MsgResult Show(const QString& text, const QString& title, MsgIcon icon,
                   MsgButtons buttons) override
    {
        MsgResult answer = MsgResult::No;
        switch (buttons) {
        case MsgButtons::Ok: answer = MsgResult::Ok; break;
        case MsgButtons::OkCancel:
        case MsgButtons::YesNoCancel: answer = MsgResult::Cancel; break;
        case MsgButtons::YesNo: answer = MsgResult::No; break;
        }
        static constexpr const char* kNames[] = {"Ok", "Cancel", "Yes", "No"};
        const char* name = kNames[static_cast<int>(answer)];
        // No window to show it in: keep the text in the log with the answer given.
        if (icon == MsgIcon::Warning || icon == MsgIcon::Error)
            qWarning().noquote() << "message box" << title << ":" << text << "-> answered" << name;
        else
            qInfo().noquote() << "message box" << title << ":" << text << "-> answered" << name;
        return answer;
    }
};

LogMessageBox g_logBox;
std::atomic<IMessageBox*> g_seam{nullptr};

} // namespace

IMessageBox& MessageBoxSeam()
{
    IMessageBox* seam = g_seam.load();
    return seam ? *seam : g_logBox;
}

void SetMessageBoxSeam(IMessageBox* seam)
{
    g_seam.store(seam);
}

MsgResult ShowMessage(const QString& text, MsgIcon icon, MsgButtons buttons, const QString& title)
{
    return MessageBoxSeam().Show(text, title.isEmpty() ? QStringLiteral("Zelvio") : title, icon,
                                 buttons);
}

} // namespace zv
