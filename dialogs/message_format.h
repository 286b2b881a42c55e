#pragma once

#include <QString>
#include <QStringList>

namespace zv {

// Fills the printf-style placeholders of a string-table text (%s, %d, %.2f
// and the like) in order with ready-made texts; "%%" is a percent sign.
// Missing arguments leave their placeholder empty and extra ones are
// dropped, so a table text never reads past what it is given.
QString FillPlaceholders(const QString& text, const QStringList& args);

} // namespace zv
