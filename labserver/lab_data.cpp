#include "labserver/lab_data.h"

#include <QDir>
#include <QFile>
#include <QTextStream>

namespace labserver {

QString EscapeCell(const QString& text)
{
    QString out;
    for (QChar c : text) {
        if (c == u'\\')
            out += u"\\\\";
        else if (c == u'\t')
            out += u"\\t";
        else if (c == u'\n')
            out += u"\\n";
        else if (c == u'\r')
            out += u"\\r";
        else
            out += c;
    }
    return out;
}

QString UnescapeCell(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size()) {
            const QChar n = text[++i];
            out += n == u't' ? QChar(u'\t') : n == u'n' ? QChar(u'\n') : n == u'r' ? QChar(u'\r') : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::optional<std::vector<QMap<QString, QString>>> ReadTable(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = path + ": " + file.errorString();
        return std::nullopt;
    }
    QTextStream in(&file);
    QStringList header;
    std::vector<QMap<QString, QString>> rows;
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++lineNo;
        if (line.trimmed().isEmpty() || line.startsWith(u'#'))
            continue;
        const QStringList cells = line.split(u'\t');
        if (header.isEmpty()) {
            header = cells;
            continue;
        }
        if (cells.size() > header.size()) {
            error = QStringLiteral("%1:%2: %3 cells, header has %4").arg(path).arg(lineNo).arg(cells.size()).arg(header.size());
            return std::nullopt;
        }
        QMap<QString, QString> row;
        for (qsizetype i = 0; i < header.size(); ++i)
            row[header[i].trimmed()] = i < cells.size() ? UnescapeCell(cells[i].trimmed()) : QString();
        rows.push_back(row);
    }
    return rows;
}

namespace {

// INI: [section] lines, key=value lines, ';' and '#' comments. Keys outside
// a section land in section "".
std::optional<QMap<QString, QMap<QString, QString>>> ReadIni(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        error = path + ": " + file.errorString();
        return std::nullopt;
    }
    QTextStream in(&file);
    QMap<QString, QMap<QString, QString>> out;
    QString section;
    int lineNo = 0;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        ++lineNo;
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = line.mid(1, line.size() - 2).trimmed();
            continue;
        }
        const qsizetype eq = line.indexOf(u'=');
        if (eq <= 0) {
            error = QStringLiteral("%1:%2: expected key=value").arg(path).arg(lineNo);
            return std::nullopt;
        }
        out[section][line.left(eq).trimmed()] = line.mid(eq + 1).trimmed();
    }
    return out;
}

} // namespace

std::optional<LabData> LabData::Load(const QString& folder, QString& error)
{
    LabData d;
    d.folder = QDir(folder).absolutePath();
    const auto path = [&](const char* name) { return d.folder + u'/' + QLatin1String(name); };

    const auto ini = ReadIni(path("config.ini"), error);
    if (!ini)
        return std::nullopt;
    d.config = ini->value(QStringLiteral("config"));
    const auto server = ini->value(QStringLiteral("server"));
    d.priceListId = server.value(QStringLiteral("price_list_id"), QStringLiteral("1"));
    d.bannerLink = server.value(QStringLiteral("banner_link"), QStringLiteral("{base}pages/banner.html"));
    const auto update = ini->value(QStringLiteral("update"));
    d.update.build = update.value(QStringLiteral("build"), QStringLiteral("0")).toInt();
    d.update.fileName = update.value(QStringLiteral("file"));
    const QString packets = update.value(QStringLiteral("packets"));
    if (!packets.isEmpty())
        for (const QString& p : packets.split(u',', Qt::SkipEmptyParts))
            d.update.packets << p.trimmed();
    const auto module = ini->value(QStringLiteral("module"));
    d.module.fileName = module.value(QStringLiteral("file"));
    d.module.path = module.value(QStringLiteral("path"));

    const auto table = [&](const char* name) { return ReadTable(path(name), error); };
    const auto prices = table("prices.tsv");
    const auto labs = prices ? table("labs.tsv") : std::nullopt;
    const auto payments = labs ? table("payments.tsv") : std::nullopt;
    const auto crops = payments ? table("crops.tsv") : std::nullopt;
    const auto papers = crops ? table("papers.tsv") : std::nullopt;
    const auto promotions = papers ? table("promotions.tsv") : std::nullopt;
    const auto accounts = promotions ? table("accounts.tsv") : std::nullopt;
    if (!accounts)
        return std::nullopt;
    for (const auto& r : *prices)
        d.prices.push_back({r["id"], r["format_id"], r["name"], r["width"], r["height"], r["isdefault"],
                            r["minquant"], r["maxquant"], r["price"]});
    for (const auto& r : *labs)
        d.labs.push_back({r["id"], r["name"], r["miasto"], r["description"]});
    for (const auto& r : *payments) {
        Payment p{r["id"], r["name"], r["extengine"], r["add_price"], {}};
        const QString where = r["labs"];
        if (!where.isEmpty() && where != u"*")
            for (const QString& id : where.split(u',', Qt::SkipEmptyParts))
                p.labs << id.trimmed();
        d.payments.push_back(p);
    }
    for (const auto& r : *crops)
        d.crops.push_back({r["name"], r["code"]});
    for (const auto& r : *papers)
        d.papers.push_back({r["format_id"], r["name"]});
    for (const auto& r : *promotions)
        d.promotions.push_back({r["code"], r["lab_id"], r["percent"].toDouble()});
    for (const auto& r : *accounts)
        d.seedAccounts.push_back({r["id"], r["login"], r["password"], r["partner_id"], r["punkty"], r["imie"],
                                  r["nazwisko"], r["ulica"], r["kod"], r["miasto"], r["telefon"], r["komorka"],
                                  r["email"], r["firma"], r["nip"]});
    return d;
}

} // namespace labserver
