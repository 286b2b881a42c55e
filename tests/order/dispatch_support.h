#pragma once

// Fakes and a session fixture for sending orders end to end against the
// reference server: a wizard, the main window with its sending window, a
// connector that keeps what it sent, and real photo files.

#include "dialogs/sending_progress.h"
#include "imaging/imaging_library.h"
#include "net/error_log.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/dispatch.h"
#include "order/zelvio_doc.h"
#include "tests/net/labserver_process.h"
#include "tests/net/order_servers.h"
#include "tests/order/order_test_support.h"

#include <QCryptographicHash>
#include <QDir>
#include <QImage>
#include <QPainter>

#include <curl/curl.h>

#include <gtest/gtest.h>

#include <map>

namespace zv::test {

// Keeps the bytes of every file and part the server accepted, by name.
class KeepingConnector final : public TServerConnector {
public:
    std::map<QString, QByteArray>* received = nullptr;
    std::map<QString, int>* acceptedWhole = nullptr;
    int* requests = nullptr;

protected:
    bool SendPartOrderFile(const QString& login, const QString& password, int order, const QString& name,
                           const QString& path, ISendingOrderDlg* dialog, int part, int parts) override
    {
        QFile file(path);
        const QByteArray content = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        ++*requests;
        const bool ok = TServerConnector::SendPartOrderFile(login, password, order, name, path, dialog, part, parts);
        // A whole file may arrive even when its reply is lost; parts are
        // joined from the accepted ones.
        if (parts == 0)
            (*received)[name] = content;
        else if (ok)
            (*received)[name] = (part == 1 ? QByteArray() : (*received)[name]) + content;
        if (ok && (parts == 0 || part == parts))
            ++(*acceptedWhole)[name];
        return ok;
    }
};

class FakeWizard final : public IOrderWizard {
public:
    int result = kFinished;
    QString extengine;
    int runs = 0;
    int Run(TZelvioDoc&, _OrderInfo& order, _ClientInfo& client) override
    {
        ++runs;
        order.payment_id = 2;
        order.payment_extengine = extengine;
        order.remarks = QStringLiteral("Bez ramek");
        client.imie = QStringLiteral("Jan");
        return result;
    }
};

// The sending window's logic with a user who presses cancel (and says Yes)
// when the upload of file number cancelAtFile begins.
class FakeProgress final : public TSendingProgress {
public:
    int cancelAtFile = -1;
    int uploadFiles = 0;
    bool uploading = false;
    bool cancelled = false;

    void SetStatusText(const QString& text) override
    {
        uploading = text == LoadString(32807);
        TSendingProgress::SetStatusText(text);
    }
    void SetCurrentFile(const QString& name) override
    {
        TSendingProgress::SetCurrentFile(name);
        if (uploading && ++uploadFiles == cancelAtFile)
            cancelled = true;
    }
    bool IsCancelled() const override { return cancelled; }
};

class FakeWindows final : public IDispatchWindows {
public:
    FakeProgress progress;
    bool opened = false;
    bool closed = false;
    bool mainVisible = true;
    int refreshes = 0;
    QString points;

    ISendingOrderDlg* OpenProgress() override
    {
        opened = true;
        return &progress;
    }
    void CloseProgress(ISendingOrderDlg*) override { closed = true; }
    void SetMainWindowVisible(bool visible) override { mainVisible = visible; }
    void RemoveFromOrderGrid(const TThumbData*) override {}
    void RefreshOrder(const _OrderTotals&) override { ++refreshes; }
    void SetPointsText(const QString& text) override { points = text; }
};

class FakeBrowser final : public IPaymentBrowser {
public:
    int normalStyle = 0;
    QStringList addresses;
    QStringList forms;
    QStringList titles;
    void SetNormalStyle() override { ++normalStyle; }
    void Show(const QString& address, const QString& formData, const QString& title) override
    {
        addresses << address;
        forms << formData;
        titles << title;
    }
};

// A picture with detail, so that JPEG files are of realistic size.
inline bool WritePicture(const QString& path, int w, int h, int seed, const char* format = "JPEG")
{
    QImage image(w, h, QImage::Format_RGB32);
    quint32 x = quint32(seed) * 2654435761u + 17;
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int i = 0; i < w; ++i) {
            x = x * 1664525u + 1013904223u;
            line[i] = qRgb((i * 255 / w + (x >> 28)) & 255, (y * 255 / h) & 255, ((i + y + seed * 40) / 4) & 255);
        }
    }
    return image.save(path, format, 92);
}

inline QByteArray Sha256(const QByteArray& data)
{
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// One logged-in session with the sample server: the fixture of the
// end-to-end tests.
class OrderSession : public testing::Test {
protected:
    void StartServer(const QList<std::pair<QString, QString>>& config, const QStringList& faults = {})
    {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(CopySampleData(Path("data")));
        ASSERT_TRUE(SetConfigValues(Path("data"), config));
        QStringList extra = {"--ftp-root", Path("ftp")};
        for (const QString& f : faults)
            extra << "--fault" << f;
        for (const char* sub : {"ftp", "program", "work", "a", "b"})
            QDir().mkpath(Path(sub));
        ASSERT_TRUE(m_server.Start(Path("data"), Path("store"), extra));
        SetServerBaseAddressForTesting(m_server.BaseAddress());
        SetNetProgramFolderForTesting(Path("program"));
        SetImagingLibraryFolder(BinDir());
        ResetCurrencyNameForTesting();
    }

    // Logs in, loads the price list and fills the order: two formats,
    // crops, a red-eye mark and colour edits; two photos share a name.
    void MakeOrder()
    {
        m_doc = std::make_unique<TZelvioDoc>();
        m_doc->login = "demo";
        m_doc->password = "demo";
        m_doc->workingFolder = Path("work");
        m_doc->labId = 1;
        TServerConnector connector;
        QString promo;
        ASSERT_TRUE(connector.GetPrices("demo", "demo", promo, m_doc->priceList(), "1"));
        ASSERT_GE(m_doc->priceList().GetSize(), 2);

        const QString one = Path("a/DSC_1.JPG"), two = Path("b/DSC_1.JPG"), three = Path("a/Skan, łąka.bmp"),
                      big = Path("b/wide.jpg");
        ASSERT_TRUE(WritePicture(one, 1200, 900, 1));
        ASSERT_TRUE(WritePicture(two, 900, 1200, 2));
        ASSERT_TRUE(WritePicture(three, 640, 480, 3, "BMP"));
        ASSERT_TRUE(WritePicture(big, 3000, 2000, 4));
        for (const auto& [path, format, quantity] :
             {std::tuple{one, 0, 5}, {one, 1, 3}, {two, 1, 4}, {three, 0, 2}, {big, 1, 2}})
            ASSERT_TRUE(m_doc->SetQuantity(path, format, quantity));
        TThumbData* first = m_doc->photos().GetAt(0);
        _FormatInfo* crop = first->GetFormatInfo(0);
        crop->CropRect = {100, 50, 1100, 750};
        crop->HasCropRect = true;
        crop->Cropping = "1";
        crop->Gradation = "Błyszczący";
        m_doc->photos().GetAt(1)->AddRedEyeRect(400, 500, 440, 540);
        m_doc->photos().GetAt(3)->SetBrightness(0.1);
        m_doc->photos().GetAt(3)->SetCyanRed(10);
        for (int i = 0; i < m_doc->photos().GetSize(); ++i)
            m_paths << m_doc->photos().GetAt(i)->Path;
    }

    _DispatchSeams Seams()
    {
        _DispatchSeams seams;
        seams.wizard = &m_wizard;
        seams.windows = &m_windows;
        seams.browser = &m_browser;
        seams.wait = [this](int seconds) { m_waits.push_back(seconds); };
        seams.makeConnector = [this] {
            auto connector = std::make_unique<KeepingConnector>();
            connector->received = &m_received;
            connector->acceptedWhole = &m_accepted;
            connector->requests = &m_requests;
            return connector;
        };
        return seams;
    }

    // The store's record of an order's files: name -> (status, sha256).
    std::map<QString, std::pair<QString, QString>> StoreFiles(int order)
    {
        std::map<QString, std::pair<QString, QString>> files;
        QFile table(Path(QStringLiteral("store/orders/%1/files.tsv").arg(order)));
        if (!table.open(QIODevice::ReadOnly))
            return files;
        const QStringList lines = QString::fromUtf8(table.readAll()).split(u'\n', Qt::SkipEmptyParts);
        for (const QString& line : lines.mid(1)) {
            const QStringList cells = line.split(u'\t');
            if (cells.size() >= 4)
                files[cells[0]] = {cells[1], cells[3]};
        }
        return files;
    }

    QByteArray StoredFile(int order, const QString& name)
    {
        QFile file(Path(QStringLiteral("store/orders/%1/files/%2").arg(order).arg(name)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // Every file the server lists arrived as prepared, byte for byte; the
    // listing goes to the test log.
    void ExpectStoreHoldsPreparedFiles(int order, size_t count)
    {
        const auto files = StoreFiles(order);
        EXPECT_EQ(files.size(), count);
        for (const auto& [name, record] : files) {
            const QByteArray stored = StoredFile(order, name);
            EXPECT_EQ(record.first, "uploaded") << name.toStdString();
            ASSERT_TRUE(m_received.count(name)) << name.toStdString();
            EXPECT_EQ(Sha256(stored), Sha256(m_received[name])) << name.toStdString();
            EXPECT_EQ(record.second.toLatin1(), Sha256(stored)) << name.toStdString();
            EXPECT_LE(m_accepted[name], 1) << name.toStdString() << " was sent again after it arrived";
            std::printf("  store/orders/%d/files/%-24s %9lld  %s\n", order, qPrintable(name),
                        qint64(stored.size()), Sha256(stored).constData());
        }
    }

    // GET /control on the server: changes its fault switches.
    bool Control(const QString& query)
    {
        CURL* curl = curl_easy_init();
        const QByteArray url = (m_server.BaseAddress() + "control?" + query).toLatin1();
        curl_easy_setopt(curl, CURLOPT_URL, url.constData());
        curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char*, size_t size, size_t count, void*) { return size * count; });
        const CURLcode rc = curl_easy_perform(curl);
        long status = 0;
        curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
        curl_easy_cleanup(curl);
        return rc == CURLE_OK && status == 200;
    }

    QString Path(const QString& sub) const { return m_dir.filePath(sub); }

    QTemporaryDir m_dir;
    LabServerProcess m_server;
    RecordingMessageBox m_messages;
    std::unique_ptr<TZelvioDoc> m_doc;
    QStringList m_paths;
    FakeWizard m_wizard;
    FakeWindows m_windows;
    FakeBrowser m_browser;
    std::vector<int> m_waits;
    std::map<QString, QByteArray> m_received;
    std::map<QString, int> m_accepted;
    int m_requests = 0;
};

} // namespace zv::test
