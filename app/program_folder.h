#pragma once

#include <QString>

namespace zv {

// The folder of the running launcher, always ending in "/".
QString GetProgramFolder();

} // namespace zv
