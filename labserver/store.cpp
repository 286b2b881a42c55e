#include "labserver/store.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QSettings>
#include <QTextStream>

namespace labserver {

namespace {

const QStringList kAccountColumns = {"id", "login", "password", "partner_id", "punkty", "imie", "nazwisko",
                                     "ulica", "kod", "miasto", "telefon", "komorka", "email", "firma", "nip"};

QStringList AccountCells(const Account& a)
{
    return {a.id, a.login, a.password, a.partnerId, a.punkty, a.imie, a.nazwisko, a.ulica, a.kod,
            a.miasto, a.telefon, a.komorka, a.email, a.firma, a.nip};
}

bool WriteTable(const QString& path, const QStringList& header, const std::vector<QStringList>& rows)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray text = header.join(u'\t').toUtf8() + '\n';
    for (const QStringList& row : rows) {
        QStringList cells;
        for (const QString& c : row)
            cells << EscapeCell(c);
        text += cells.join(u'\t').toUtf8() + '\n';
    }
    file.write(text);
    return file.commit();
}

bool WriteFile(const QString& path, const QByteArray& content)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

} // namespace

StoredFile* Order::File(const QString& name)
{
    for (StoredFile& f : files)
        if (f.name == name)
            return &f;
    return nullptr;
}

std::optional<Store> Store::Open(const QString& folder, const std::vector<Account>& seed, QString& error)
{
    Store s;
    s.m_folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(s.m_folder + "/orders")) {
        error = "cannot create " + s.m_folder;
        return std::nullopt;
    }
    const QString accounts = s.m_folder + "/accounts.tsv";
    if (QFile::exists(accounts)) {
        const auto rows = ReadTable(accounts, error);
        if (!rows)
            return std::nullopt;
        for (const auto& r : *rows)
            s.m_accounts.push_back({r["id"], r["login"], r["password"], r["partner_id"], r["punkty"], r["imie"],
                                    r["nazwisko"], r["ulica"], r["kod"], r["miasto"], r["telefon"],
                                    r["komorka"], r["email"], r["firma"], r["nip"]});
    } else {
        s.m_accounts = seed;
        if (!s.SaveAccounts()) {
            error = "cannot write " + accounts;
            return std::nullopt;
        }
    }
    if (!s.LoadOrders(error))
        return std::nullopt;
    return s;
}

Account* Store::FindLogin(const QString& login)
{
    for (Account& a : m_accounts)
        if (a.login == login)
            return &a;
    return nullptr;
}

Account* Store::FindEmail(const QString& email)
{
    for (Account& a : m_accounts)
        if (!email.isEmpty() && a.email.compare(email, Qt::CaseInsensitive) == 0)
            return &a;
    return nullptr;
}

Account* Store::FindById(const QString& id)
{
    for (Account& a : m_accounts)
        if (a.id == id)
            return &a;
    return nullptr;
}

Account& Store::AddAccount(Account account)
{
    int next = 1;
    for (const Account& a : m_accounts)
        next = std::max(next, a.id.toInt() + 1);
    account.id = QString::number(next);
    m_accounts.push_back(account);
    return m_accounts.back();
}

bool Store::SaveAccounts()
{
    std::vector<QStringList> rows;
    for (const Account& a : m_accounts)
        rows.push_back(AccountCells(a));
    return WriteTable(m_folder + "/accounts.tsv", kAccountColumns, rows);
}

QString Store::OrderFolder(int id) const
{
    return m_folder + "/orders/" + QString::number(id);
}

bool Store::LoadOrders(QString& error)
{
    const QDir orders(m_folder + "/orders");
    for (const QString& entry : orders.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const int id = entry.toInt(&ok);
        if (!ok)
            continue;
        QSettings ini(OrderFolder(id) + "/order.ini", QSettings::IniFormat);
        Order o;
        o.id = id;
        const auto v = [&](const char* key) { return ini.value(QLatin1String("order/") + key).toString(); };
        o.login = v("login");
        o.clientId = v("client_id");
        o.labId = v("lab_id");
        o.paymentId = v("payment_id");
        o.paymentExtengine = v("payment_extengine");
        o.price = v("price");
        o.remarks = v("remarks");
        o.correctcolors = v("correctcolors");
        o.sendfacture = v("sendfacture");
        o.createDate = v("create_date");
        o.status = v("status");
        const auto files = ReadTable(OrderFolder(id) + "/files.tsv", error);
        if (!files)
            return false;
        for (const auto& r : *files)
            o.files.push_back({r["name"], r["status"], r["size"].toLongLong(), r["sha256"]});
        m_orders[id] = o;
    }
    return true;
}

Order* Store::FindOrder(int id)
{
    const auto it = m_orders.find(id);
    return it == m_orders.end() ? nullptr : &it->second;
}

Order& Store::AddOrder(Order order, const QByteArray& params)
{
    order.id = m_orders.empty() ? 1001 : m_orders.rbegin()->first + 1;
    order.createDate = QDateTime::currentDateTime().toString("yyyy-MM-dd HH:mm");
    QDir().mkpath(OrderFolder(order.id) + "/files");
    WriteFile(OrderFolder(order.id) + "/params.xml", params);
    UpdateStatus(order);
    Order& stored = m_orders[order.id] = order;
    SaveOrder(stored);
    return stored;
}

bool Store::SaveOrder(const Order& o)
{
    {
        QSettings ini(OrderFolder(o.id) + "/order.ini", QSettings::IniFormat);
        ini.beginGroup("order");
        ini.setValue("login", o.login);
        ini.setValue("client_id", o.clientId);
        ini.setValue("lab_id", o.labId);
        ini.setValue("payment_id", o.paymentId);
        ini.setValue("payment_extengine", o.paymentExtengine);
        ini.setValue("price", o.price);
        ini.setValue("remarks", o.remarks);
        ini.setValue("correctcolors", o.correctcolors);
        ini.setValue("sendfacture", o.sendfacture);
        ini.setValue("create_date", o.createDate);
        ini.setValue("status", o.status);
        ini.endGroup();
        ini.sync();
        if (ini.status() != QSettings::NoError)
            return false;
    }
    std::vector<QStringList> rows;
    for (const StoredFile& f : o.files)
        rows.push_back({f.name, f.status, QString::number(f.size), f.sha256});
    return WriteTable(OrderFolder(o.id) + "/files.tsv", {"name", "status", "size", "sha256"}, rows);
}

void Store::UpdateStatus(Order& order)
{
    if (order.status == u"cancelled")
        return;
    bool all = true;
    for (const StoredFile& f : order.files)
        all = all && f.status == u"uploaded";
    order.status = all ? QStringLiteral("uploaded") : QStringLiteral("toupload");
}

bool Store::PutFile(Order& order, const QString& name, const QByteArray& content)
{
    if (!WriteFile(OrderFolder(order.id) + "/files/" + name, content))
        return false;
    StoredFile* f = order.File(name);
    if (!f) {
        order.files.push_back(StoredFile{name, QStringLiteral("toupload"), 0, {}});
        f = &order.files.back();
    }
    f->status = QStringLiteral("uploaded");
    f->size = content.size();
    f->sha256 = QString::fromLatin1(QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex());
    QDir(OrderFolder(order.id) + "/parts/" + name).removeRecursively();
    UpdateStatus(order);
    return SaveOrder(order);
}

bool Store::PutPart(Order& order, const QString& name, int index, int count, const QByteArray& content)
{
    const QString folder = OrderFolder(order.id) + "/parts/" + name;
    if (!QDir().mkpath(folder) ||
        !WriteFile(folder + "/" + QString::number(index) + "." + QString::number(count), content))
        return false;
    QByteArray joined;
    for (int i = 1; i <= count; ++i) {
        QFile part(folder + "/" + QString::number(i) + "." + QString::number(count));
        if (!part.open(QIODevice::ReadOnly))
            return true; // still waiting for more parts
        joined += part.readAll();
    }
    return PutFile(order, name, joined);
}

} // namespace labserver
