#pragma once

// The sending window's logic: the operations the dispatch and the upload
// commands drive it with, its texts and bar, the remaining-time display and
// the cancel question. The window itself only shows what it is told.

#include "dialogs/internet_status_dispatcher.h"

#include <QString>

#include <functional>

namespace zv {

// What the dispatch and the upload commands need of the sending window.
// Positions and ranges are bytes (or steps in the preparation phase);
// 64-bit because an order may exceed 4 GB. GUI thread only.
class ISendingOrderDlg {
public:
    virtual ~ISendingOrderDlg() = default;

    virtual void Show() = 0;
    virtual void Hide() = 0;
    virtual void SetStatusText(const QString& text) = 0;
    // Files remaining := files; the bar runs from 0 to range, at 0.
    virtual void SetFileCount(qint32 files, quint64 range) = 0;
    // One file fewer remains; name is the file worked on now.
    virtual void SetCurrentFile(const QString& name) = 0;
    virtual void AdvanceBy(quint64 amount) = 0;
    // Total bytes of the files to upload, for the remaining-time estimate.
    virtual void SetBytesToSend(quint64 bytes) = 0;
    // The observer to attach to the HTTP client during the uploads.
    virtual CInternetStatusCallback* StatusObserver() = 0;

    virtual quint64 GetProgress() const = 0;
    // Puts the bar at position; with retry the current file counts as still
    // to send (shown at the next SetCurrentFile).
    virtual void SetProgress(quint64 position, bool retry) = 0;
    virtual bool IsCancelled() const = 0;
};

// The window under TSendingProgress. HandleOneMessage lets at most one
// pending window event run, so the window repaints and its cancel button
// works during long blocking work.
class ISendingProgressView {
public:
    virtual ~ISendingProgressView() = default;
    virtual void SetVisible(bool visible) = 0;
    virtual void ShowStatusLine(const QString& text) = 0;
    // The three read-only fields: current file, files remaining, remaining time.
    virtual void ShowFields(const QString& file, const QString& remaining, const QString& time) = 0;
    virtual void SetBarRange(quint64 range) = 0;
    virtual void SetBarPosition(quint64 position) = 0;
    virtual void HandleOneMessage() = 0;
};

// Clocks of the progress, in milliseconds; tests drive them by hand.
struct _SendingClocks {
    std::function<quint32()> tickCount;    // for the statistics; SystemTickCount when empty
    std::function<qint64()> processClock;  // for the once-a-second display; a monotonic clock when empty
};

// Remaining seconds as "%02d:%02d:%02d".
QString FormatRemainingTime(qint32 seconds);

// The sending window's state and rules. The statistics start at
// construction, so the preparation of the photos counts into the average
// the estimate rests on. The view may be null (nothing is shown).
class TSendingProgress : public ISendingOrderDlg, public CInternetStatusDispatcher {
public:
    explicit TSendingProgress(ISendingProgressView* view = nullptr, _SendingClocks clocks = {});
    TSendingProgress(const TSendingProgress&) = delete;
    TSendingProgress& operator=(const TSendingProgress&) = delete;

    void Show() override;
    void Hide() override;
    void SetStatusText(const QString& text) override;
    void SetFileCount(qint32 files, quint64 range) override;
    void SetCurrentFile(const QString& name) override;
    void AdvanceBy(quint64 amount) override;
    void SetBytesToSend(quint64 bytes) override;
    CInternetStatusCallback* StatusObserver() override { return this; }
    quint64 GetProgress() const override { return m_position; }
    void SetProgress(quint64 position, bool retry) override;
    bool IsCancelled() const override { return m_cancelled; }

    // The cancel button: asks whether to stop; Yes sets the cancelled flag
    // for good. The window stays open either way.
    void OnCancelClicked();

    // Statistics, then the remaining time at most once a second.
    void OnRequestSent(quint32 bytes) override;

    const _TransferStats& Stats() const { return m_stats; }
    quint64 Range() const { return m_range; }
    qint32 FilesRemaining() const { return m_filesRemaining; }
    const QString& FileText() const { return m_fileText; }
    const QString& RemainingText() const { return m_remainingText; }
    const QString& TimeText() const { return m_timeText; }
    // Null until the dispatch sets one; the window shows its own initial line then.
    const QString& StatusText() const { return m_statusText; }

private:
    void RefreshFields();
    void HandleOneMessage();
    qint64 ClockNow() const;

    ISendingProgressView* m_view;
    _SendingClocks m_clocks;
    _TransferStats m_stats;
    quint64 m_position = 0;
    quint64 m_range = 0;
    qint32 m_filesRemaining = 0;
    qint64 m_lastDisplay = 0;
    bool m_cancelled = false;
    QString m_fileText;
    QString m_remainingText;
    QString m_timeText;
    QString m_statusText;
};

} // namespace zv
