#pragma once

// The laboratory's offer as the operator keeps it: plain UTF-8 files in the
// data folder (see data/README.txt), read once at start.

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace labserver {

struct PriceRow { // one price tier; the first row of a name carries the format's data
    QString id, formatId, name, width, height, isDefault, minQuant, maxQuant, price;
};
struct Lab {
    QString id, name, town, description;
};
struct Payment {
    QString id, name, extengine, addPrice;
    QStringList labs; // empty: offered everywhere
};
struct CropOption {
    QString name, code;
};
struct Paper {
    QString formatId, name;
};
struct Promotion {
    QString code, labId; // labId empty: valid everywhere
    double percent = 0;  // discount on every price
};
struct Account {
    QString id, login, password, partnerId, punkty, imie, nazwisko, ulica, kod, miasto, telefon, komorka,
        email, firma, nip;
};

struct UpdateOffer {
    int build = 0;            // offered to clients with a lower build number
    QString fileName;         // name served in Content-Disposition
    QStringList packets;      // files, relative to the data folder, sent in order
};
struct ModuleOffer {
    QString fileName;
    QString path;
};

class LabData {
public:
    // Reads the folder; an error names the file and line.
    static std::optional<LabData> Load(const QString& folder, QString& error);

    QString folder;
    QMap<QString, QString> config; // GetConfigVal keys
    QString priceListId;
    QString bannerLink; // "{base}" stands for the server's own address
    std::vector<PriceRow> prices;
    std::vector<Lab> labs;
    std::vector<Payment> payments;
    std::vector<CropOption> crops;
    std::vector<Paper> papers;
    std::vector<Promotion> promotions;
    std::vector<Account> seedAccounts;
    UpdateOffer update;
    ModuleOffer module;
};

// Reads a tab-separated file with a header line; '#' lines and empty lines
// are skipped. Each row maps header names to cells.
std::optional<std::vector<QMap<QString, QString>>> ReadTable(const QString& path, QString& error);
// Escapes and unescapes tabs, line breaks and backslashes of one cell.
QString EscapeCell(const QString& text);
QString UnescapeCell(const QString& text);

} // namespace labserver
