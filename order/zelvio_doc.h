#pragma once

#include "net/client_info.h"
#include "order/dispatch.h"
#include "order/doc_seams.h"
#include "order/price_list.h"
#include "photos/thumbs_array.h"

#include <QString>

#include <cstdint>
#include <memory>

namespace zv {

class Settings;
class TServerConnector;
class TXmlNode;

// The order's figures as ComputeTotals gives them.
struct _OrderTotals {
    qint64 bytes = 0;
    int32_t prints = 0;
    float price = 0;
};

// The application's single document: the order being built, the login, the
// laboratory's price list, the client record and the order file. Window
// thread only. Dialogs, message boxes and views are reached through seams,
// so the whole start of work runs without a window.
class TZelvioDoc {
public:
    // Starts the imaging library; the destructor shuts it down and unloads it.
    TZelvioDoc();
    ~TZelvioDoc();
    TZelvioDoc(const TZelvioDoc&) = delete;
    TZelvioDoc& operator=(const TZelvioDoc&) = delete;

    // Seams, none owned; set them before OnNewDocument.
    void SetDialogs(const TDocDialogs& dialogs) { m_dialogs = dialogs; }
    void SetViews(IDocViews* views) { m_views = views; }
    // The settings the login is remembered in; null: the user's settings.
    void SetSettings(Settings* settings) { m_settings = settings; }
    // The folder the working folder is made in; a null text (the default)
    // asks the system for the user's documents folder.
    void SetDocumentsFolder(const QString& folder) { m_documentsFolder = folder; }

    // The start of work: advertisement, login, configuration values, pickup
    // point, price list, remembered login, working folder. False (after
    // message 32861) only when the working folder cannot be made; the
    // program then ends.
    bool OnNewDocument();

    // Prints, price (open price plus each entry priced by its format's tier
    // for the format's total over the whole order) and bytes. Entries whose
    // format lies outside the price list count as prints but are not priced.
    // With removeEmpty and an order grid, photos without any print leave the
    // order.
    _OrderTotals ComputeTotals(bool removeEmpty);
    // Sets the quantity of the order's photo for path in format, adding the
    // photo first when it is not in the order; recounts the format's total.
    // False when the photo is not in the order and its file cannot be added.
    bool SetQuantity(const QString& path, int format, int quantity);
    // Recounts the order's per-format totals for every format in use.
    void RecountFormats();
    // The client's points and their money value: "%dpkt = %.2f%s".
    QString PointsText();
    static QString PointsText(int points, const QString& currency);

    // Order file. number 0 is the working order (orderFilePath), any other
    // number the sent order "<number>.xml" in the working folder.
    // SaveOrder writes the order's photos; a photo that cannot be written
    // (no path, a path code page 1250 cannot hold) is left out and named in
    // one message (32865). False when the file could not be written.
    bool SaveOrder(int number);
    // Writes the document's text atomically (temporary file, flushed, then
    // renamed over the old one). Silent; false when nothing was written.
    bool SaveOrderFile(const TXmlNode& document, int number);
    // Fills document from the file; true when it existed, parsed and its
    // root has at least one child.
    bool LoadOrderFile(TXmlNode& document, int number);
    // Rebuilds photos from a document loaded from the file of number, last
    // entry first, reports the missing files in one message (32808 each) and
    // switches the view to the order contents. A restored working order
    // (number 0) is rewritten without its photos, so it is not offered
    // again; a sent order's file and the saved working order stay as they are.
    bool RestoreOrder(TXmlNode& document, int number = 0);
    // Prepares and sends the order: number 0 as a new order, another number
    // the files that order on the server still lacks. Reports to the user.
    DispatchOutcome SendOrder(int number, _DispatchSeams seams);

    // The file of an order number.
    QString OrderFilePathFor(int number) const;

    // The order.
    TThumbsArray& photos() { return m_photos; }
    const TThumbsArray& photos() const { return m_photos; }
    TPriceList& priceList() { return m_priceList; }
    const TPriceList& priceList() const { return m_priceList; }

    // Empty login: working without logging in.
    QString login;
    QString password;
    QString promoCode;
    QString workingFolder;
    QString orderFilePath;
    double sessionOpenPrice = 0;
    _ClientInfo clientInfo;
    int32_t labId = 0;

private:
    void LoginLoop(TServerConnector& connector, _LoginFields& fields);
    void FetchPrices(TServerConnector& connector);
    void RememberLogin(const _LoginFields& fields);
    bool MakeWorkingFolder();
    Settings& settings();

    TThumbsArray m_photos;
    uintptr_t m_imagingToken = 0;
    TPriceList m_priceList;

    TDocDialogs m_dialogs;
    IDocViews* m_views = nullptr;
    Settings* m_settings = nullptr;
    std::unique_ptr<Settings> m_ownSettings;
    QString m_documentsFolder;
};

} // namespace zv
