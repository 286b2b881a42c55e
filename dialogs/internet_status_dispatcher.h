#pragma once

// Splits the network status notifications of one HTTP client into one
// handler per status, and measures the upload from the request-sent ones.

#include "net/internet_status_callback.h"

#include <QtGlobal>

#include <functional>

namespace zv {

// Transfer statistics of one order's upload. Ticks are milliseconds of a
// 32-bit tick count; their differences are taken modulo 2^32, so a wrap of
// the counter does not disturb them. Byte counts are 64-bit: an order may
// exceed 4 GB.
struct _TransferStats {
    quint32 startTick = 0;
    quint32 lastTick = 0;
    quint64 bytesSent = 0;
    qint32 remainingSeconds = 0;
    double currentRate = 0; // bytes per millisecond over the last interval
    double averageRate = 0; // bytes per millisecond since the start tick
    quint64 bytesToSend = 0; // 0: no estimate is made

    // Starts the measurement at now.
    void Start(quint32 now);
};

// Adds n bytes sent at tick now. Rates and the estimate are computed only
// when the tick moved on since the last update; the estimate only when
// bytesToSend is not 0. It rests on the average since the start tick.
void UpdateTransferStats(_TransferStats& stats, quint64 bytes, quint32 now);

// Milliseconds of the system's monotonic clock, wrapping at 2^32.
quint32 SystemTickCount();

// The observer given to the HTTP client: each notification goes to the
// handler of its status; unknown statuses are ignored. All handlers do
// nothing, except that a created handle joins the owner's observer and a
// request-sent notification updates the attached statistics (none attached:
// nothing). Runs on the thread of the transfer, inside the blocking call.
class CInternetStatusDispatcher : public CInternetStatusCallback {
public:
    CInternetStatusDispatcher() = default;

    // The statistics to update (not owned, may be null).
    void SetTransferStats(_TransferStats* stats) { m_stats = stats; }
    _TransferStats* TransferStats() const { return m_stats; }
    // Where OnRequestSent takes the time from; the system tick count by default.
    void SetTickSource(std::function<quint32()> tick) { m_tick = std::move(tick); }
    quint32 TickNow() const { return m_tick ? m_tick() : SystemTickCount(); }

    void OnStatus(CInternetHandle& owner, quint32 status, QByteArrayView info) final;

    virtual void OnStatusCallback(CInternetHandle& owner, quint32 status, QByteArrayView info);
    virtual void OnClosingConnection(CInternetHandle&) {}
    virtual void OnConnectedToServer(CInternetHandle&) {}
    virtual void OnConnectingToServer(CInternetHandle&) {}
    virtual void OnConnectionClosed(CInternetHandle&) {}
    virtual void OnDetectingProxy(CInternetHandle&) {}
    virtual void OnHandleClosing(CInternetHandle&) {}
    // created: the new handle's owner, taken from the status information.
    virtual void OnHandleCreated(CInternetHandle& owner, CInternetHandle* created);
    virtual void OnIntermediateResponse(CInternetHandle&) {}
    virtual void OnNameResolved(CInternetHandle&) {}
    virtual void OnReceivingResponse(CInternetHandle&) {}
    virtual void OnRedirect(CInternetHandle&) {}
    virtual void OnRequestComplete(CInternetHandle&) {}
    virtual void OnRequestSent(quint32 bytes);
    virtual void OnResolvingName(CInternetHandle&) {}
    virtual void OnResponseReceived(CInternetHandle&) {}
    virtual void OnSendingRequest(CInternetHandle&) {}
    virtual void OnStateChange(CInternetHandle&) {}

private:
    _TransferStats* m_stats = nullptr;
    std::function<quint32()> m_tick;
};

} // namespace zv
