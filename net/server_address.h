#pragma once

#include <QString>

namespace zv {

// The order server's base address, ending in "/": the environment variable
// ZELVIO_SERVER when set, else key Address of section [Server] in zelvio.ini
// in the program folder; empty when neither is set. Determined once per run.
QString ServerBaseAddress();
// The server script: the base address followed by "zv.php"; empty without a
// base address.
QString ServerScriptAddress();
// Replaces the address for the rest of the run (tests).
void SetServerBaseAddressForTesting(const QString& address);

} // namespace zv
