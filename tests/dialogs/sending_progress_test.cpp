// The sending window's logic: statistics, the remaining-time display, the
// operations the dispatch drives it with, and the cancel question.

#include "dialogs/sending_progress.h"

#include "net/http_client.h"
#include "net/internet_handle.h"
#include "tests/support/recording_message_box.h"
#include "tests/net/capture_server.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

namespace zv {
namespace {

// ---- statistics ----

TEST(TransferStats, SameMillisecondAddsBytesButComputesNothingUntilTheTickMoves)
{
    _TransferStats stats;
    stats.Start(1000);
    stats.bytesToSend = 10000;
    UpdateTransferStats(stats, 500, 1000); // still the start tick
    UpdateTransferStats(stats, 500, 1000);
    EXPECT_EQ(stats.bytesSent, 1000u);
    EXPECT_EQ(stats.currentRate, 0);
    EXPECT_EQ(stats.remainingSeconds, 0);
    EXPECT_EQ(stats.lastTick, 1000u);

    UpdateTransferStats(stats, 1000, 3000);
    EXPECT_DOUBLE_EQ(stats.currentRate, 0.5);  // this notification's bytes over its interval
    EXPECT_DOUBLE_EQ(stats.averageRate, 1.0);  // 2000 bytes in 2000 ms
    EXPECT_EQ(stats.remainingSeconds, 8);      // 2000 ms / 2000 B * 8000 B
    EXPECT_EQ(stats.lastTick, 3000u);
}

struct EstimateCase {
    const char* name;
    quint32 start;
    quint32 now;
    quint64 sent;
    quint64 toSend;
    qint32 remaining;
};

class Estimate : public testing::TestWithParam<EstimateCase> {};

TEST_P(Estimate, RemainingSeconds)
{
    const EstimateCase& c = GetParam();
    _TransferStats stats;
    stats.Start(c.start);
    stats.bytesToSend = c.toSend;
    stats.remainingSeconds = -7; // shows whether the estimate was made
    UpdateTransferStats(stats, c.sent, c.now);
    EXPECT_EQ(stats.remainingSeconds, c.remaining);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Estimate,
    testing::Values(
        EstimateCase{"TruncatedTowardZero", 0, 1000, 300, 1000, 2},        // 1000/300*700 ms = 2.33 s
        EstimateCase{"NoTotalNoEstimate", 0, 1000, 300, 0, -7},
        EstimateCase{"NothingSentYet", 0, 1000, 0, 1000, -7},
        EstimateCase{"AllSent", 0, 1000, 1000, 1000, 0},
        EstimateCase{"MoreThanTheTotal", 0, 1000, 1500, 1000, 0},
        EstimateCase{"TickCounterWraps", 0xFFFFFF00u, 0x100u, 512, 1024, 0},  // 512 ms elapsed: 0.512 s
        EstimateCase{"TickCounterWrapsLonger", 0xFFFFF000u, 0x1000u, 1000, 2000, 8},
        EstimateCase{"HugeOrderSlowStartIsClamped", 0, 4000000000u, 1, 6000000000ull,
                     std::numeric_limits<qint32>::max()},
        EstimateCase{"OrderAbove4GB", 0, 8192, 8589934592ull, 10737418240ull, 2}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- the window's logic ----

class FakeView : public ISendingProgressView {
public:
    void SetVisible(bool v) override { visible = v; }
    void ShowStatusLine(const QString& text) override { status = text; }
    void ShowFields(const QString& f, const QString& r, const QString& t) override
    {
        file = f;
        remaining = r;
        time = t;
        ++refreshes;
    }
    void SetBarRange(quint64 r) override { range = r; }
    void SetBarPosition(quint64 p) override { position = p; }
    void HandleOneMessage() override { ++messages; }

    bool visible = false;
    QString status, file, remaining, time;
    quint64 range = 0, position = 0;
    int refreshes = 0;
    int messages = 0;
};

class SendingProgress : public testing::Test {
protected:
    SendingProgress() : m_progress(&m_view, {[this] { return m_tick; }, [this] { return m_clock; }}) {}

    // One request-sent notification through a handle, as the HTTP client gives it.
    void Sent(quint32 bytes)
    {
        CInternetHandle handle;
        handle.SetStatusObserver(m_progress.StatusObserver());
        handle.NotifyCount(kInternetStatusRequestSent, bytes);
    }

    quint32 m_tick = 5000;
    qint64 m_clock = 100;
    FakeView m_view;
    TSendingProgress m_progress;
};

TEST_F(SendingProgress, StatisticsStartAtConstruction)
{
    EXPECT_EQ(m_progress.Stats().startTick, 5000u);
    EXPECT_EQ(m_progress.Stats().lastTick, 5000u);
    EXPECT_EQ(m_progress.TimeText(), "");
    EXPECT_TRUE(m_progress.StatusText().isNull());
    EXPECT_FALSE(m_progress.IsCancelled());
}

TEST_F(SendingProgress, TimeFieldChangesAtMostOncePerSecond)
{
    m_progress.SetBytesToSend(100000);
    for (int i = 1; i <= 20; ++i) {
        m_tick += 50;
        m_clock += 50; // 20 notifications over one second
        Sent(1000);
        if (i < 20) {
            EXPECT_EQ(m_view.time, "") << i;
        }
    }
    // 1000 ms after construction: 20000 B in 1000 ms, 80000 B left.
    EXPECT_EQ(m_view.time, "00:00:04");
    const int refreshes = m_view.refreshes;
    m_tick += 500;
    m_clock += 500;
    Sent(1000);
    EXPECT_EQ(m_view.refreshes, refreshes);
    m_tick += 500;
    m_clock += 500;
    Sent(1000);
    EXPECT_EQ(m_view.refreshes, refreshes + 1);
    EXPECT_EQ(m_progress.Stats().bytesSent, 22000u);
}

TEST_F(SendingProgress, WithoutATotalOrPastItTheTimeFieldNeverChanges)
{
    for (int i = 0; i < 5; ++i) {
        m_tick += 1000;
        m_clock += 1000;
        Sent(1000);
    }
    EXPECT_EQ(m_view.time, "");
    EXPECT_EQ(m_progress.Stats().bytesSent, 5000u);

    m_progress.SetBytesToSend(5500);
    m_tick += 1000;
    m_clock += 1000;
    Sent(1000); // 6000 of 5500
    EXPECT_EQ(m_view.time, "");
}

TEST_F(SendingProgress, HoursMinutesSeconds)
{
    EXPECT_EQ(FormatRemainingTime(0), "00:00:00");
    EXPECT_EQ(FormatRemainingTime(3 * 3600 + 25 * 60 + 7), "03:25:07");
    EXPECT_EQ(FormatRemainingTime(100 * 3600), "100:00:00");
}

TEST_F(SendingProgress, FileRetriedOnceEndsAsIfItHadSucceededAtOnce)
{
    m_progress.SetFileCount(2, 3000);
    EXPECT_EQ(m_view.remaining, "2");
    EXPECT_EQ(m_view.range, 3000u);

    // First file: one failed attempt, then success.
    quint64 start = m_progress.GetProgress();
    m_progress.SetCurrentFile("1.jpg");
    EXPECT_EQ(m_view.remaining, "1");
    m_progress.AdvanceBy(700); // part of the file went out before the failure
    m_progress.SetProgress(start, true);
    EXPECT_EQ(m_view.position, 0u);
    EXPECT_EQ(m_view.remaining, "1"); // shown again only by the next SetCurrentFile
    m_progress.SetCurrentFile("1.jpg");
    EXPECT_EQ(m_view.remaining, "1");
    m_progress.SetProgress(start + 1000, false);

    start = m_progress.GetProgress();
    m_progress.SetCurrentFile("2.jpg");
    m_progress.SetProgress(start + 2000, false);
    EXPECT_EQ(m_progress.GetProgress(), 3000u);
    EXPECT_EQ(m_view.position, 3000u);
    EXPECT_EQ(m_progress.FilesRemaining(), 0);
    EXPECT_EQ(m_view.remaining, "0");
    EXPECT_EQ(m_view.file, "2.jpg");

    // A new phase starts over.
    m_progress.SetFileCount(5, 10);
    EXPECT_EQ(m_progress.GetProgress(), 0u);
    EXPECT_EQ(m_view.position, 0u);
    EXPECT_EQ(m_view.remaining, "5");
}

TEST_F(SendingProgress, EveryOperationButTheQueriesLetsOneMessageRun)
{
    const int before = m_view.messages;
    m_progress.SetStatusText("s");
    m_progress.SetFileCount(1, 1);
    m_progress.SetCurrentFile("a");
    m_progress.AdvanceBy(0);
    m_progress.SetProgress(0, false);
    EXPECT_EQ(m_view.messages, before + 5);
    (void)m_progress.GetProgress();
    (void)m_progress.IsCancelled();
    EXPECT_EQ(m_view.messages, before + 5);
    EXPECT_EQ(m_view.status, "s");
}

TEST_F(SendingProgress, CancelAsksAndOnlyYesStopsForGood)
{
    test::RecordingMessageBox box(MsgResult::No);
    m_progress.OnCancelClicked();
    EXPECT_FALSE(m_progress.IsCancelled());
    ASSERT_EQ(box.shown.size(), 1u);
    EXPECT_EQ(box.shown[0].text, "Czy na pewno chcesz przerwać wysyłanie zlecenia?");
    EXPECT_EQ(box.shown[0].title, "Przerwanie wysyłania");
    EXPECT_EQ(box.shown[0].icon, MsgIcon::Warning);
    EXPECT_EQ(box.shown[0].buttons, MsgButtons::YesNo);

    box.answer = MsgResult::Yes;
    m_progress.OnCancelClicked();
    EXPECT_TRUE(m_progress.IsCancelled());
    box.answer = MsgResult::No;
    m_progress.OnCancelClicked();
    EXPECT_TRUE(m_progress.IsCancelled());
}

// ---- the dispatcher ----

class CountingDispatcher : public CInternetStatusDispatcher {
public:
    void OnConnectedToServer(CInternetHandle&) override { ++connected; }
    void OnRequestComplete(CInternetHandle&) override { ++complete; }
    void OnRequestSent(quint32 bytes) override { sent.push_back(bytes); }
    int connected = 0;
    int complete = 0;
    std::vector<quint32> sent;
};

TEST(StatusDispatcher, SplitsByStatusAndIgnoresMalformedCounts)
{
    CountingDispatcher d;
    CInternetHandle handle;
    handle.SetStatusObserver(&d);
    handle.Notify(kInternetStatusConnectedToServer);
    handle.NotifyCount(kInternetStatusRequestSent, 10240);
    handle.Notify(kInternetStatusRequestSent); // no count: nothing to add
    handle.Notify(999);                        // unknown: ignored
    handle.Notify(kInternetStatusRequestComplete);
    EXPECT_EQ(d.connected, 1);
    EXPECT_EQ(d.complete, 1);
    EXPECT_EQ(d.sent, (std::vector<quint32>{10240}));
}

TEST(StatusDispatcher, CreatedHandleJoinsTheOwnersObserverAndNoStatsMeansNothing)
{
    CInternetStatusDispatcher d;
    CInternetHandle owner;
    CInternetHandle created;
    owner.SetStatusObserver(&d);
    CInternetHandle* pointer = &created;
    d.OnStatus(owner, kInternetStatusHandleCreated,
               QByteArrayView(reinterpret_cast<const char*>(&pointer), sizeof pointer));
    EXPECT_EQ(created.StatusObserver(), &d);
    owner.NotifyCount(kInternetStatusRequestSent, 5); // no statistics attached
    EXPECT_EQ(d.TransferStats(), nullptr);
}

TEST(StatusDispatcher, CountsEveryBodyByteTheHttpClientSends)
{
    QTemporaryDir dir;
    QFile file(dir.filePath("photo.jpg"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(25000, 'x'));
    file.close();

    test::CaptureServer server;
    FakeView view;
    TSendingProgress progress(&view);
    THttpClient client;
    client.SetStatusObserver(progress.StatusObserver());
    client.AddParam("login", "demo");
    client.AddParam("orderfile", file.fileName(), true);
    ASSERT_TRUE(client.Open(QStringLiteral("http://127.0.0.1:%1/zv.php").arg(server.Port())));
    ASSERT_TRUE(client.Send());
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    const qsizetype body = requests[0].size() - (requests[0].indexOf("\r\n\r\n") + 4);
    EXPECT_EQ(progress.Stats().bytesSent, quint64(body));
    EXPECT_GT(view.messages, 2); // pieces of at most 10240 bytes, one message each
}

} // namespace
} // namespace zv
