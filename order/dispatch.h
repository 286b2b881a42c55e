#pragma once

// Sending an order: checks, wizard, account, preparation of the files,
// opening the order, uploads with retries and cancel, the final message,
// payment and clean-up. Windows are reached through seams so that the
// whole run is tested without a display.

#include "net/client_info.h"
#include "net/order_info.h"
#include "order/payment.h"

#include <QString>

#include <QStringList>

#include <functional>
#include <memory>

namespace zv {

class ISendingOrderDlg;
class TServerConnector;
class TThumbData;
class TZelvioDoc;
struct _OrderTotals;

// The order wizard (summary and client data pages), run modally.
class IOrderWizard {
public:
    static constexpr int kFinished = 12325;
    virtual ~IOrderWizard() = default;
    // The modal result; kFinished when the user finished it.
    virtual int Run(TZelvioDoc& doc, _OrderInfo& order, _ClientInfo& client) = 0;
};

// The browser dialog and the browser host style.
class IPaymentBrowser {
public:
    virtual ~IPaymentBrowser() = default;
    // Back to the normal style (scroll bars) before a page is shown.
    virtual void SetNormalStyle() = 0;
    // Opens address modally; with formData it is posted there as a form.
    virtual void Show(const QString& address, const QString& formData, const QString& title) = 0;
};

// What the run needs of the main window.
class IDispatchWindows {
public:
    virtual ~IDispatchWindows() = default;
    // The sending window, shown without blocking; null when it cannot be made.
    virtual ISendingOrderDlg* OpenProgress() = 0;
    virtual void CloseProgress(ISendingOrderDlg* progress) = 0;
    virtual void SetMainWindowVisible(bool visible) = 0;
    // Called before a photo leaves the order.
    virtual void RemoveFromOrderGrid(const TThumbData* photo) = 0;
    // The order changed: grid, preview, formats bar and info bar figures.
    virtual void RefreshOrder(const _OrderTotals& totals) = 0;
    virtual void SetPointsText(const QString& text) = 0;
};

struct _DispatchSeams {
    IOrderWizard* wizard = nullptr;     // missing: the wizard counts as cancelled
    IDispatchWindows* windows = nullptr; // missing: no progress window, the run ends at once
    IPaymentBrowser* browser = nullptr;  // missing: no payment page is shown
    // Waits between upload attempts, in seconds; sleeps when empty.
    std::function<void(int seconds)> wait;
    _PaymentConfig payment;
    // The connector of the run; a plain TServerConnector when empty.
    std::function<std::unique_ptr<TServerConnector>()> makeConnector;
};

// What happened in the last run, for the caller and the tests.
enum class DispatchOutcome { NotStarted, Stopped, OpenFailed, Sent, Cancelled };

// One SendOrder run. Window thread only.
class TOrderDispatch {
public:
    static constexpr int kAttempts = 4;
    static constexpr int kRetryWaitSeconds = 10;

    TOrderDispatch(TZelvioDoc& doc, _DispatchSeams seams);

    // number 0 sends the document's order as a new order; another number
    // sends the files that order on the server still lacks. Everything is
    // reported to the user.
    DispatchOutcome SendOrder(int number);

    // The run's order header and client record (after the run: as sent).
    const _OrderInfo& order() const { return m_order; }
    const _ClientInfo& client() const { return m_client; }

private:
    bool Prepare(TServerConnector& connector, ISendingOrderDlg& progress, int number, const QString& temp);
    bool Upload(TServerConnector& connector, ISendingOrderDlg& progress, int number, int index,
                qint64 size);
    void Close(TServerConnector& connector, ISendingOrderDlg* progress);
    void RemovePhoto(int index);
    void Wait(int seconds);

    TZelvioDoc& m_doc;
    _DispatchSeams m_seams;
    _OrderInfo m_order;
    _ClientInfo m_client;
    QStringList m_temporaryFiles;
};

} // namespace zv
