#include "app/string_table.h"

#include <QDebug>

#include <cstddef>

namespace zv::resources {
extern const unsigned char kStringTable[];
extern const std::size_t kStringTableSize;
} // namespace zv::resources

namespace zv {
namespace {

bool unquote(QByteArrayView quoted, QByteArray& out)
{
    if (quoted.size() < 2 || quoted.front() != '"' || quoted.back() != '"')
        return false;
    out.clear();
    const QByteArrayView body = quoted.sliced(1, quoted.size() - 2);
    for (qsizetype i = 0; i < body.size(); ++i) {
        const char c = body[i];
        if (c == '"')
            return false; // an unescaped quote inside the text
        if (c != '\\') {
            out.append(c);
            continue;
        }
        if (++i == body.size())
            return false;
        switch (body[i]) {
        case 'n': out.append('\n'); break;
        case 'r': out.append('\r'); break;
        case 't': out.append('\t'); break;
        case '"': out.append('"'); break;
        case '\\': out.append('\\'); break;
        default: return false;
        }
    }
    return true;
}

const QHash<int, QString>& table()
{
    static const QHash<int, QString> t = [] {
        QHash<int, QString> parsed;
        QString error;
        if (!ParseStringTable(StringTableSource(), parsed, &error))
            qWarning().noquote() << "string table:" << error;
        return parsed;
    }();
    return t;
}

} // namespace

QByteArrayView StringTableSource()
{
    return QByteArrayView(reinterpret_cast<const char*>(resources::kStringTable),
                          static_cast<qsizetype>(resources::kStringTableSize));
}

bool ParseStringTable(QByteArrayView source, QHash<int, QString>& table, QString* error)
{
    auto fail = [error](int line, const char* what) {
        if (error)
            *error = QStringLiteral("line %1: %2").arg(line).arg(QLatin1String(what));
        return false;
    };
    int lineNo = 0;
    QByteArray text;
    while (!source.isEmpty()) {
        ++lineNo;
        const qsizetype eol = source.indexOf('\n');
        QByteArrayView line = eol < 0 ? source : source.first(eol);
        source = eol < 0 ? QByteArrayView() : source.sliced(eol + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.front() == '#')
            continue;
        const qsizetype tab = line.indexOf('\t');
        if (tab <= 0)
            return fail(lineNo, "expected identifier, tab, quoted text");
        bool ok = false;
        const int id = line.first(tab).toInt(&ok);
        if (!ok || id <= 0 || id > 65535)
            return fail(lineNo, "bad identifier");
        if (!unquote(line.sliced(tab + 1), text))
            return fail(lineNo, "text must be one quoted string with \\n \\r \\t \\\" \\\\ escapes");
        if (table.contains(id))
            return fail(lineNo, "identifier given twice");
        table.insert(id, QString::fromUtf8(text));
    }
    return true;
}

QString LoadString(int id)
{
    const auto& t = table();
    const auto it = t.constFind(id);
    if (it == t.constEnd()) {
        qWarning() << "string table: no text for identifier" << id;
        return {};
    }
    return *it;
}

} // namespace zv
