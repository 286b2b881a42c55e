#pragma once

#include "app/message_box.h"

namespace zv {

// The production message-box seam: modal QMessageBox without a visible owner.
class TQtMessageBox final : public IMessageBox {
public:
    MsgResult Show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons) override;
};

} // namespace zv
