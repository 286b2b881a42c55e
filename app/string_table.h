#pragma once

#include <QString>

namespace zv {

// The text of a string identifier from the program's string table; empty
// (with a warning in the log) for an identifier the table does not hold.
QString LoadString(int id);

} // namespace zv
