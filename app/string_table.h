#pragma once

#include <QByteArrayView>
#include <QHash>
#include <QString>

namespace zv {

// The text of a string identifier from the program's string table; empty
// (with a warning in the log) for an identifier the table does not hold.
QString LoadString(int id);

// The string table's source as built into the program (UTF-8 lines of
// identifier, tab, quoted text; see resources/strings.tsv).
QByteArrayView StringTableSource();

// Parses a string table source into table. False, with the line named in
// error, on a malformed line, a bad escape or an identifier given twice.
bool ParseStringTable(QByteArrayView source, QHash<int, QString>& table, QString* error = nullptr);

} // namespace zv
