#pragma once

// The client's earlier orders as the server lists them: objects that are
// bags of named text fields, the command that fetches them, and a table
// model that shows them sorted by one column.

#include <QAbstractTableModel>
#include <QHash>
#include <QMap>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

namespace zv {

class TServerConnectorBase;

// An object as the server sends it: field name to value, as received.
class TBaseField {
public:
    // A walk over the fields; false once past the last one.
    class FieldPosition {
    public:
        FieldPosition() = default;
        explicit operator bool() const { return m_valid; }

    private:
        friend class TBaseField;
        QMap<QString, QString>::const_iterator m_it;
        bool m_valid = false;
    };

    TBaseField() = default;
    virtual ~TBaseField() = default;

    // The leading digits of the key field's value; 0 without a key field or value.
    virtual int GetId() const;
    virtual FieldPosition GetFirstFieldPosition() const;
    // The field at position; position moves on (false after the last field).
    virtual void GetNextField(FieldPosition& position, QString& name, QString& value) const;
    // The value, or an empty text when the field is missing.
    virtual QString GetField(const QString& name) const;
    // A null name or value does nothing; a later value replaces an earlier one.
    virtual void SetField(const QString& name, const QString& value);

    int FieldCount() const { return int(fields.size()); }

    QMap<QString, QString> fields;
    QString keyField;      // name of the field holding the object's number
    bool translate = true; // GetNextField gives display texts (where a kind has them)
};

// The texts by which the server names two of the external payment services
// (the same texts a payment type's extengine holds). Installation
// configuration; the defaults are the reference server's.
struct _PaymentEngineNames {
    QString przelewy24 = QStringLiteral("przelewy24");
    QString allpay = QStringLiteral("allpay");
};

// One order of the history: key field "id"; GetNextField gives Polish display
// texts for the status, the payment and the yes/no options while translate is set.
class TOrderInfo : public TBaseField {
public:
    explicit TOrderInfo(_PaymentEngineNames engines = {});

    void GetNextField(FieldPosition& position, QString& name, QString& value) const override;
    virtual bool HasRemarks() const;

    // The display text of one raw field value (other fields unchanged).
    QString DisplayValue(const QString& name, const QString& value) const;

private:
    _PaymentEngineNames m_engines;
};

// Owns its objects; emptying or destroying it deletes them.
class TFieldsArray {
public:
    int GetSize() const { return int(m_items.size()); }
    TBaseField* GetAt(int index) const { return m_items.at(size_t(index)).get(); }
    void Add(std::unique_ptr<TBaseField> item) { m_items.push_back(std::move(item)); }
    void RemoveAll() { m_items.clear(); }

private:
    std::vector<std::unique_ptr<TBaseField>> m_items;
};

// Makes one empty object of the kind wanted; null when it cannot.
using FieldsFactory = std::function<std::unique_ptr<TBaseField>()>;

// Fetches the order history ("GetOrderHist") with params as extra request
// fields, in the map's order; each "object" of the reply's "objects" becomes
// one object made by factory. True when the server confirmed. out is emptied
// first and keeps whatever was read even on failure. A request that cannot
// be sent fails without an error.log entry; a refused reply is logged.
// Blocks (GUI thread); the caller shows the wait cursor.
bool GetObjects(TServerConnectorBase& connector, const QMap<QString, QString>& params, TFieldsArray& out,
                const FieldsFactory& factory);

// The objects as a table: one column per chosen field, sorted by one column.
// Each row keeps its object's number (Qt::UserRole). A header click goes to
// HeaderClicked; views should not enable their own sorting.
class TFieldsListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class ColumnType { Text = 0, Integer = 1, Real = 2 };

    explicit TFieldsListModel(QObject* parent = nullptr);

    // Appends a column showing the field name under title.
    void AddColumn(const QString& name, const QString& title, ColumnType type);
    // Rebuilds the rows from the objects (null ones skipped), in array order,
    // then sorts when a sort column is set. Column and direction stay.
    void Fill(const TFieldsArray& array);
    // The same column again reverses the direction; another column sorts
    // ascending by it.
    void HeaderClicked(int column);

    int SortColumn() const { return m_sortColumn; }
    bool Ascending() const { return m_ascending; }
    // Column index of a field name, -1 when it has no column.
    int ColumnOf(const QString& name) const { return m_columns.value(name, -1); }
    int RowId(int row) const;
    QString CellText(int row, int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    // Sorts by column in the given direction (for views that drive it).
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Orders two cell texts of a column type: negative, 0 or positive.
    static int CompareCells(ColumnType type, const QString& a, const QString& b);

private:
    struct Row {
        int id = 0;
        QStringList cells;
    };
    void SortRows();

    QHash<QString, int> m_columns;
    QHash<int, ColumnType> m_columnTypes;
    QStringList m_titles;
    std::vector<Row> m_rows;
    int m_sortColumn = -1;
    bool m_ascending = true;
};

} // namespace zv
