#pragma once

#include <QString>

namespace zv {

enum class MsgIcon { None, Warning, Information, Question, Error };
enum class MsgButtons { Ok, OkCancel, YesNo, YesNoCancel };
enum class MsgResult { Ok, Cancel, Yes, No };

// Every message box of the program goes through this seam, so that tests
// answer them and the logic never needs a widget.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MsgResult Show(const QString& text, const QString& title, MsgIcon icon,
                           MsgButtons buttons) = 0;
};

// The installed seam. Without one installed, messages go to the log and the
// answer is the safe one: Ok for Ok, Cancel where offered, otherwise No.
IMessageBox& MessageBoxSeam();

// Installs a seam (not owned); null restores the default one.
void SetMessageBoxSeam(IMessageBox* seam);

// Shows text through the seam; an empty title means the program's title "Zelvio".
MsgResult ShowMessage(const QString& text, MsgIcon icon, MsgButtons buttons = MsgButtons::Ok,
                      const QString& title = {});

} // namespace zv
