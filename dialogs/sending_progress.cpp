#include "dialogs/sending_progress.h"

#include "app/message_box.h"
#include "app/string_table.h"

#include <QElapsedTimer>

namespace zv {

namespace {

constexpr int kCancelQuestion = 32840;
constexpr int kCancelTitle = 32841;
constexpr qint64 kDisplayIntervalMs = 1000;

qint64 MonotonicMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}

} // namespace

QString FormatRemainingTime(qint32 seconds)
{
    return QString::asprintf("%02d:%02d:%02d", seconds / 3600, (seconds % 3600) / 60, seconds % 60);
}

TSendingProgress::TSendingProgress(ISendingProgressView* view, _SendingClocks clocks)
    : m_view(view), m_clocks(std::move(clocks))
{
    if (m_clocks.tickCount)
        SetTickSource(m_clocks.tickCount);
    SetTransferStats(&m_stats);
    m_stats.Start(TickNow());
    m_lastDisplay = ClockNow();
}

qint64 TSendingProgress::ClockNow() const
{
    return m_clocks.processClock ? m_clocks.processClock() : MonotonicMs();
}

void TSendingProgress::HandleOneMessage()
{
    if (m_view)
        m_view->HandleOneMessage();
}

void TSendingProgress::RefreshFields()
{
    if (m_view)
        m_view->ShowFields(m_fileText, m_remainingText, m_timeText);
}

void TSendingProgress::Show()
{
    if (m_view)
        m_view->SetVisible(true);
    HandleOneMessage();
}

void TSendingProgress::Hide()
{
    if (m_view)
        m_view->SetVisible(false);
    HandleOneMessage();
}

void TSendingProgress::SetStatusText(const QString& text)
{
    m_statusText = text;
    if (m_view)
        m_view->ShowStatusLine(text);
    HandleOneMessage();
}

void TSendingProgress::SetFileCount(qint32 files, quint64 range)
{
    m_filesRemaining = files;
    m_range = range;
    m_position = 0;
    m_remainingText = QString::number(files);
    if (m_view) {
        m_view->SetBarRange(range);
        m_view->SetBarPosition(0);
    }
    RefreshFields();
    HandleOneMessage();
}

void TSendingProgress::SetCurrentFile(const QString& name)
{
    --m_filesRemaining;
    m_fileText = name;
    m_remainingText = QString::number(m_filesRemaining);
    RefreshFields();
    HandleOneMessage();
}

void TSendingProgress::AdvanceBy(quint64 amount)
{
    m_position += amount;
    if (m_view)
        m_view->SetBarPosition(m_position);
    RefreshFields();
    HandleOneMessage();
}

void TSendingProgress::SetBytesToSend(quint64 bytes)
{
    m_stats.bytesToSend = bytes;
}

void TSendingProgress::SetProgress(quint64 position, bool retry)
{
    m_position = position;
    if (m_view)
        m_view->SetBarPosition(position);
    if (retry)
        ++m_filesRemaining; // shown again by the next SetCurrentFile
    HandleOneMessage();
}

void TSendingProgress::OnCancelClicked()
{
    if (ShowMessage(LoadString(kCancelQuestion), MsgIcon::Warning, MsgButtons::YesNo, LoadString(kCancelTitle))
        == MsgResult::Yes)
        m_cancelled = true;
}

void TSendingProgress::OnRequestSent(quint32 bytes)
{
    HandleOneMessage();
    CInternetStatusDispatcher::OnRequestSent(bytes);
    // Without a total there is no estimate to show; past it the estimate means nothing.
    if (m_stats.bytesToSend == 0 || m_stats.bytesSent > m_stats.bytesToSend)
        return;
    const qint64 now = ClockNow();
    if (now - m_lastDisplay < kDisplayIntervalMs)
        return;
    m_timeText = FormatRemainingTime(m_stats.remainingSeconds);
    RefreshFields();
    HandleOneMessage();
    m_lastDisplay = now;
}

} // namespace zv
