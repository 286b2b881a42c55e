#pragma once

#include <QByteArrayView>
#include <QtGlobal>

namespace zv {

class CInternetHandle;

// Status codes passed to observers; the values are the ones the sending
// progress splits on.
// Only those marked "sent" are reported by the transfers here; the others
// name what an observer may be handed by other transports.
enum InternetStatus : quint32 {
    kInternetStatusResolvingName = 10,
    kInternetStatusNameResolved = 11,
    kInternetStatusConnectingToServer = 20,
    kInternetStatusConnectedToServer = 21, // sent: connection ready, before the request
    kInternetStatusSendingRequest = 30,    // sent: the request starts
    kInternetStatusRequestSent = 31,       // sent: info = quint32 byte count of one body piece
    kInternetStatusReceivingResponse = 40,
    kInternetStatusResponseReceived = 41,  // sent: info = quint32 byte count received
    kInternetStatusClosingConnection = 50,
    kInternetStatusConnectionClosed = 51,
    kInternetStatusHandleCreated = 60,
    kInternetStatusHandleClosing = 70,
    kInternetStatusDetectingProxy = 80,
    kInternetStatusRequestComplete = 100,  // sent: the exchange ended (info empty)
    kInternetStatusRedirect = 110,
    kInternetStatusIntermediateResponse = 120,
    kInternetStatusStateChange = 200,
};

// Observer of network progress. Called synchronously on the thread that runs
// the transfer, from inside the blocking call.
class CInternetStatusCallback {
public:
    virtual ~CInternetStatusCallback() = default;
    // owner: the handle owner the notification belongs to; info: the status
    // information bytes (a native quint32 for the byte-count statuses).
    virtual void OnStatus(CInternetHandle& owner, quint32 status, QByteArrayView info) = 0;
};

} // namespace zv
