#pragma once

#include <QString>

namespace zv {

// One client account; members carry their wire names.
struct _ClientInfo {
    quint32 id = 0; // 0: not registered yet
    QString login;
    QString password;
    int partner_id = 0;
    int punkty = 0; // loyalty points
    QString imie;
    QString nazwisko;
    QString ulica;
    QString kod;
    QString miasto;
    QString telefon;
    QString komorka;
    QString email;
    QString firma;
    QString nip;
};

} // namespace zv
