#pragma once

// Accounts and orders kept in the store folder so that they survive a
// restart: accounts.tsv, and per order orders/<id>/ with order.ini, the
// packed request as received (params.xml), files.tsv (name, status, size,
// SHA-256 of every received file) and the files themselves.

#include "labserver/lab_data.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <map>
#include <optional>
#include <vector>

namespace labserver {

struct StoredFile {
    QString name;
    QString status = QStringLiteral("toupload"); // "uploaded" once it has fully arrived
    qint64 size = 0;
    QString sha256;
};

struct Order {
    int id = 0;
    QString login;
    QString clientId;
    QString labId, paymentId, paymentExtengine, price, remarks, correctcolors, sendfacture;
    QString createDate; // "yyyy-MM-dd HH:mm"
    QString status = QStringLiteral("toupload");
    std::vector<StoredFile> files;

    StoredFile* File(const QString& name);
};

class Store {
public:
    // Opens (and creates) the folder; seeds the accounts when there are none.
    static std::optional<Store> Open(const QString& folder, const std::vector<Account>& seed, QString& error);

    Account* FindLogin(const QString& login);
    Account* FindEmail(const QString& email);
    Account* FindById(const QString& id);
    Account& AddAccount(Account account); // gives it the next id
    bool SaveAccounts();

    Order* FindOrder(int id);
    Order& AddOrder(Order order, const QByteArray& params); // gives it the next id
    bool SaveOrder(const Order& order);
    const std::map<int, Order>& Orders() const { return m_orders; }

    // Stores a whole received file; updates the order's status.
    bool PutFile(Order& order, const QString& name, const QByteArray& content);
    // Stores part index of count; joins the parts in order once all are there.
    bool PutPart(Order& order, const QString& name, int index, int count, const QByteArray& content);

    QString OrderFolder(int id) const;

private:
    bool LoadOrders(QString& error);
    void UpdateStatus(Order& order);

    QString m_folder;
    std::vector<Account> m_accounts;
    std::map<int, Order> m_orders;
};

} // namespace labserver
