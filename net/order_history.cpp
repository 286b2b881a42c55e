#include "net/order_history.h"

#include "app/cp1250.h"
#include "net/error_log.h"
#include "net/lenient_number.h"
#include "net/server_address.h"
#include "net/server_connector_base.h"
#include "net/xml/xml_node.h"

#include <algorithm>

namespace zv {

namespace {

struct StatusText {
    const char* raw;
    const char* shown;
};

const StatusText kStatusTexts[] = {
    {"toupload", "trwa wysyłanie..."}, {"uploaded", "do pobrania"},     {"downloading", "trwa pobieranie..."},
    {"downloaded", "pobrane"},          {"realized", "zrealizowane"},   {"accepted", "zaakceptowane"},
    {"taked", "odebrane"},              {"rejected", "odrzucone"},
};

const QString kWaiting = QStringLiteral(" (czeka)");
const QString kPaid = QStringLiteral(" (zapłacone)");
const QString kRefused = QStringLiteral(" (odrzucone)");

// Suffix for one service: its engine name and the states it reports.
QString PaymentSuffix(const QString& engine, const QString& state, const QString& serviceName,
                      const char* acceptedState, const char* rejectedState)
{
    if (serviceName.isEmpty() || engine != serviceName)
        return {};
    if (state == QLatin1String("unknown"))
        return kWaiting;
    if (state == QLatin1String(acceptedState))
        return kPaid;
    if (state == QLatin1String(rejectedState))
        return kRefused;
    return {};
}

} // namespace

int TBaseField::GetId() const
{
    if (keyField.isEmpty())
        return 0;
    const auto it = fields.constFind(keyField);
    return it == fields.cend() ? 0 : LenientInt(it->toUtf8());
}

TBaseField::FieldPosition TBaseField::GetFirstFieldPosition() const
{
    FieldPosition position;
    position.m_it = fields.cbegin();
    position.m_valid = !fields.isEmpty();
    return position;
}

void TBaseField::GetNextField(FieldPosition& position, QString& name, QString& value) const
{
    if (!position) {
        name.clear();
        value.clear();
        return;
    }
    name = position.m_it.key();
    value = position.m_it.value();
    ++position.m_it;
    position.m_valid = position.m_it != fields.cend();
}

QString TBaseField::GetField(const QString& name) const
{
    return fields.value(name);
}

void TBaseField::SetField(const QString& name, const QString& value)
{
    if (name.isNull() || value.isNull())
        return;
    fields.insert(name, value);
}

TOrderInfo::TOrderInfo(_PaymentEngineNames engines) : m_engines(std::move(engines))
{
    keyField = QStringLiteral("id");
}

void TOrderInfo::GetNextField(FieldPosition& position, QString& name, QString& value) const
{
    TBaseField::GetNextField(position, name, value);
    if (translate)
        value = DisplayValue(name, value);
}

QString TOrderInfo::DisplayValue(const QString& name, const QString& value) const
{
    if (name == QLatin1String("status")) {
        for (const StatusText& row : kStatusTexts)
            if (value == QLatin1String(row.raw))
                return QString::fromUtf8(row.shown);
        return value;
    }
    if (name == QLatin1String("payment_name")) {
        const QString engine = GetField(QStringLiteral("paymentext_name"));
        const QString state = GetField(QStringLiteral("paymentext_status"));
        return value + PaymentSuffix(engine, state, m_engines.przelewy24, "accepted24", "rejected24")
               + PaymentSuffix(engine, state, QStringLiteral("mtransfer"), "accepted_mtransfer", "rejected_mtransfer")
               + PaymentSuffix(engine, state, m_engines.allpay, "accepted_allpay", "rejected_allpay");
    }
    if (name == QLatin1String("correctcolors") || name == QLatin1String("sendfacture"))
        return value == QLatin1String("1") ? QStringLiteral("Tak") : QStringLiteral("Nie");
    return value;
}

bool TOrderInfo::HasRemarks() const
{
    return !GetField(QStringLiteral("remarks")).isEmpty();
}

bool GetObjects(TServerConnectorBase& connector, const QMap<QString, QString>& params, TFieldsArray& out,
                const FieldsFactory& factory)
{
    out.RemoveAll();
    THttpCompressedClient& client = connector.client();
    client.ResetParams();
    client.AddParam(QStringLiteral("command"), QStringLiteral("GetOrderHist"));
    client.AddParam(QStringLiteral("zvver"), connector.GetClientVersion());
    client.AddParam(QStringLiteral("partner_id"), QString::number(connector.GetPartnerId()));
    for (auto it = params.cbegin(); it != params.cend(); ++it)
        client.AddParam(it.key(), it.value());
    // Unlike the other commands, a request that never went out leaves no log entry.
    if (!client.Open(ServerScriptAddress()) || !client.Send())
        return false;

    QByteArray reply;
    client.ReadReply(reply);
    bool success = false;
    TXmlNode root;
    if (!reply.isEmpty() && root.Parse(reply, _XmlParseInfo::Reply())) {
        for (const auto& child : root.children) {
            if (child->type != XmlNodeType::Element)
                continue;
            if (NameIs(*child, "ReturnValue") && child->AttrValue("code") == QByteArray("0"))
                success = true;
            if (!NameIs(*child, "objects"))
                continue;
            for (const auto& element : child->children) {
                if (element->type != XmlNodeType::Element || element->name != "object")
                    continue;
                std::unique_ptr<TBaseField> object = factory ? factory() : nullptr;
                if (!object)
                    continue;
                for (const auto& attr : element->attributes)
                    object->SetField(cp1250::decode(attr->name), cp1250::decode(attr->value));
                out.Add(std::move(object));
            }
        }
    }
    if (!success)
        LogError("Response:\n\t" + reply, "?GetObjects", 939);
    return success;
}

TFieldsListModel::TFieldsListModel(QObject* parent) : QAbstractTableModel(parent) {}

void TFieldsListModel::AddColumn(const QString& name, const QString& title, ColumnType type)
{
    const int column = int(m_titles.size());
    beginInsertColumns({}, column, column);
    m_titles.push_back(title);
    m_columns.insert(name, column);
    m_columnTypes.insert(column, type);
    for (Row& row : m_rows)
        row.cells.push_back(QString());
    endInsertColumns();
}

void TFieldsListModel::Fill(const TFieldsArray& array)
{
    beginResetModel();
    m_rows.clear();
    for (int i = 0; i < array.GetSize(); ++i) {
        const TBaseField* object = array.GetAt(i);
        if (!object)
            continue;
        Row row;
        row.id = object->GetId();
        for (int c = 0; c < m_titles.size(); ++c)
            row.cells.push_back(QString());
        QString name;
        QString value;
        for (auto position = object->GetFirstFieldPosition(); position;) {
            object->GetNextField(position, name, value);
            const int column = ColumnOf(name);
            if (column >= 0)
                row.cells[column] = value;
        }
        m_rows.push_back(std::move(row));
    }
    if (m_sortColumn != -1)
        SortRows();
    endResetModel();
}

void TFieldsListModel::HeaderClicked(int column)
{
    if (column < 0 || column >= m_titles.size())
        return;
    if (column == m_sortColumn) {
        m_ascending = !m_ascending;
    } else {
        m_sortColumn = column;
        m_ascending = true;
    }
    emit layoutAboutToBeChanged();
    SortRows();
    emit layoutChanged();
}

void TFieldsListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= m_titles.size())
        return;
    m_sortColumn = column;
    m_ascending = order == Qt::AscendingOrder;
    emit layoutAboutToBeChanged();
    SortRows();
    emit layoutChanged();
}

int TFieldsListModel::CompareCells(ColumnType type, const QString& a, const QString& b)
{
    switch (type) {
    case ColumnType::Integer: {
        // Compared, not subtracted: a difference of two large numbers overflows.
        const int x = LenientInt(a.toUtf8());
        const int y = LenientInt(b.toUtf8());
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ColumnType::Real: {
        const double x = LenientDouble(a.toUtf8());
        const double y = LenientDouble(b.toUtf8());
        return x < y ? -1 : (x > y ? 1 : 0);
    }
    case ColumnType::Text:
        break;
    }
    return a.compare(b, Qt::CaseSensitive);
}

void TFieldsListModel::SortRows()
{
    if (m_sortColumn < 0 || m_sortColumn >= m_titles.size())
        return;
    const ColumnType type = m_columnTypes.value(m_sortColumn, ColumnType::Text);
    const int column = m_sortColumn;
    const bool ascending = m_ascending;
    // Each row sorts by its own cell, so rows that share a number (or have
    // none) still land where their values put them.
    std::stable_sort(m_rows.begin(), m_rows.end(), [&](const Row& a, const Row& b) {
        const int order = CompareCells(type, a.cells[column], b.cells[column]);
        return ascending ? order < 0 : order > 0;
    });
}

int TFieldsListModel::RowId(int row) const
{
    return row >= 0 && row < int(m_rows.size()) ? m_rows[size_t(row)].id : 0;
}

QString TFieldsListModel::CellText(int row, int column) const
{
    if (row < 0 || row >= int(m_rows.size()) || column < 0 || column >= m_titles.size())
        return {};
    return m_rows[size_t(row)].cells[column];
}

int TFieldsListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int TFieldsListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_titles.size());
}

QVariant TFieldsListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= int(m_rows.size()) || index.column() >= m_titles.size())
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return CellText(index.row(), index.column());
    case Qt::UserRole:
        return RowId(index.row());
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    default:
        return {};
    }
}

QVariant TFieldsListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= m_titles.size())
        return {};
    if (role == Qt::DisplayRole)
        return m_titles[section];
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    return {};
}

} // namespace zv
