#pragma once

#include "net/catalogue_records.h"

#include <QString>

#include <vector>

namespace zv {

class TThumbData;

// What the login dialog shows and gives back.
struct _LoginFields {
    QString user;
    QString password;
    QString promoCode;
    bool remember = false; // "Zapamiętaj użytkownika i hasło"
};

// Ok is "Loguj"; NewUser is "Nowy użytkownik"; Cancel is Escape or the close
// box. The document treats NewUser and Cancel alike.
enum class LoginResult { Ok, Cancel, NewUser };

// The login dialog, run modally by the start of work. It starts from fields
// and leaves what the user typed (and the remember box) in them.
class ILoginDialog {
public:
    virtual ~ILoginDialog() = default;
    virtual LoginResult Run(_LoginFields& fields) = 0;
};

// The pickup-point dialog: true when the user confirmed a laboratory, whose
// id ("%d") is then in chosenId.
class ISelectLabDialog {
public:
    virtual ~ISelectLabDialog() = default;
    virtual bool Run(const std::vector<_LabInfo>& labs, QString& chosenId) = 0;
};

// The advertisement page, shown modally without scroll bars.
class IAdvertisementDialog {
public:
    virtual ~IAdvertisementDialog() = default;
    virtual void Show(const QString& address) = 0;
};

// What the document needs of the main window's views.
class IDocViews {
public:
    virtual ~IDocViews() = default;
    // The main view exists and has its order grid.
    virtual bool HasOrderGrid() const = 0;
    // Called before the document deletes the photo from the order.
    virtual void RemoveFromOrderGrid(const TThumbData* photo) = 0;
    // The order changed as a whole (a restore): grid, formats bar, info bar.
    virtual void RefreshOrder() = 0;
    // Switch the main view to the order contents (command 32786).
    virtual void ShowOrderContents() = 0;
};

// The dialogs of the start of work; none is owned. A missing dialog behaves
// as closed without a choice (login: new user).
struct TDocDialogs {
    ILoginDialog* login = nullptr;
    ISelectLabDialog* selectLab = nullptr;
    IAdvertisementDialog* advertisement = nullptr;
};

} // namespace zv
