#include "dialogs/internet_status_dispatcher.h"

#include "net/internet_handle.h"

#include <chrono>
#include <cmath>
#include <cstring>
#include <limits>

namespace zv {

void _TransferStats::Start(quint32 now)
{
    *this = _TransferStats{};
    startTick = now;
    lastTick = now;
}

void UpdateTransferStats(_TransferStats& stats, quint64 bytes, quint32 now)
{
    stats.bytesSent += bytes;
    if (now == stats.lastTick)
        return;
    const quint32 interval = now - stats.lastTick;
    const quint32 elapsed = now - stats.startTick;
    stats.currentRate = double(bytes) / double(interval);
    stats.lastTick = now;
    // elapsed is 0 only after a full wrap of the counter; there is no rate to take then.
    if (elapsed == 0)
        return;
    stats.averageRate = double(stats.bytesSent) / double(elapsed);
    if (stats.bytesToSend == 0 || stats.bytesSent == 0)
        return;
    if (stats.bytesSent >= stats.bytesToSend) {
        stats.remainingSeconds = 0;
        return;
    }
    const double seconds =
        double(elapsed) / double(stats.bytesSent) * double(stats.bytesToSend - stats.bytesSent) * 0.001;
    // A slow start of a large order can give more than an int holds.
    constexpr double kMax = std::numeric_limits<qint32>::max();
    stats.remainingSeconds = seconds >= kMax ? std::numeric_limits<qint32>::max() : qint32(std::trunc(seconds));
}

quint32 SystemTickCount()
{
    using namespace std::chrono;
    return quint32(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void CInternetStatusDispatcher::OnStatus(CInternetHandle& owner, quint32 status, QByteArrayView info)
{
    OnStatusCallback(owner, status, info);
}

void CInternetStatusDispatcher::OnStatusCallback(CInternetHandle& owner, quint32 status, QByteArrayView info)
{
    switch (status) {
    case kInternetStatusClosingConnection: OnClosingConnection(owner); break;
    case kInternetStatusConnectedToServer: OnConnectedToServer(owner); break;
    case kInternetStatusConnectingToServer: OnConnectingToServer(owner); break;
    case kInternetStatusConnectionClosed: OnConnectionClosed(owner); break;
    case kInternetStatusDetectingProxy: OnDetectingProxy(owner); break;
    case kInternetStatusHandleClosing: OnHandleClosing(owner); break;
    case kInternetStatusHandleCreated: {
        CInternetHandle* created = nullptr;
        if (info.size() == qsizetype(sizeof(created)))
            std::memcpy(&created, info.data(), sizeof(created));
        OnHandleCreated(owner, created);
        break;
    }
    case kInternetStatusIntermediateResponse: OnIntermediateResponse(owner); break;
    case kInternetStatusNameResolved: OnNameResolved(owner); break;
    case kInternetStatusReceivingResponse: OnReceivingResponse(owner); break;
    case kInternetStatusRedirect: OnRedirect(owner); break;
    case kInternetStatusRequestComplete: OnRequestComplete(owner); break;
    case kInternetStatusRequestSent: {
        // A notification without a whole count carries nothing to add.
        if (info.size() < qsizetype(sizeof(quint32)))
            break;
        quint32 bytes = 0;
        std::memcpy(&bytes, info.data(), sizeof(bytes));
        OnRequestSent(bytes);
        break;
    }
    case kInternetStatusResolvingName: OnResolvingName(owner); break;
    case kInternetStatusResponseReceived: OnResponseReceived(owner); break;
    case kInternetStatusSendingRequest: OnSendingRequest(owner); break;
    case kInternetStatusStateChange: OnStateChange(owner); break;
    default: break;
    }
}

void CInternetStatusDispatcher::OnHandleCreated(CInternetHandle& owner, CInternetHandle* created)
{
    // Handles opened from an observed one report to the same observer.
    if (created && created != &owner)
        created->SetStatusObserver(owner.StatusObserver());
}

void CInternetStatusDispatcher::OnRequestSent(quint32 bytes)
{
    if (m_stats)
        UpdateTransferStats(*m_stats, bytes, TickNow());
}

} // namespace zv
