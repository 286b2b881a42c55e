#include "dialogs/message_format.h"

#include <QRegularExpression>

namespace zv {

QString FillPlaceholders(const QString& text, const QStringList& args)
{
    static const QRegularExpression placeholder(QStringLiteral("%%|%[-+ 0#]*\\d*(?:\\.\\d+)?[lh]?[sdiufgx]"));
    QString result;
    qsizetype from = 0;
    int next = 0;
    for (auto it = placeholder.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        result += text.mid(from, match.capturedStart() - from);
        if (match.captured() == QLatin1String("%%"))
            result += QLatin1Char('%');
        else if (next < args.size())
            result += args[next++];
        else
            ++next;
        from = match.capturedEnd();
    }
    result += text.mid(from);
    return result;
}

} // namespace zv
