// The client side of the upload benchmark.
//   zv_bench_upload make DIR COUNT MEGABYTES   incompressible photo-sized files
//   zv_bench_upload open ADDRESS NAME...       opens an order, prints its number
//   zv_bench_upload send ADDRESS ORDER FILE... sends the files as the dispatch
//                                              does; prints seconds, bytes, peak RSS

#include "net/order_info.h"
#include "net/server_address.h"
#include "net/server_connector.h"
#include "order/price_list.h"
#include "photos/thumbs_array.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <random>
#include <sys/resource.h>

using namespace zv;

namespace {

int Make(const QString& dir, int count, int megabytes)
{
    std::mt19937_64 random(42);
    QByteArray block(1 << 20, Qt::Uninitialized);
    for (int i = 1; i <= count; ++i) {
        QFile file(QStringLiteral("%1/photo_%2.jpg").arg(dir).arg(i, 3, 10, QLatin1Char('0')));
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        for (int m = 0; m < megabytes; ++m) {
            for (qsizetype k = 0; k < block.size(); k += 8) {
                const quint64 v = random();
                memcpy(block.data() + k, &v, 8);
            }
            file.write(block);
        }
    }
    return 0;
}

int Open(const QStringList& names)
{
    TPriceList prices;
    _format format;
    format.name = QStringLiteral("10x15");
    format.width = 102;
    format.height = 152;
    format.minPrices = {{1, 0, 0.69f}};
    prices.Add(format);
    TThumbsArray photos;
    for (const QString& name : names) {
        auto* photo = new TThumbData(QStringLiteral("/nonexistent/") + name);
        photo->DisplayName = name;
        photo->SetQuantity(0, 1);
        photos.Add(photo);
    }
    _OrderInfo order;
    order.login = order.password = QStringLiteral("demo");
    TServerConnector connector;
    if (!connector.BeginNewOrder(order, photos, QString(), prices))
        return 1;
    std::printf("%d\n", order.order_id);
    return 0;
}

int Send(int order, const QStringList& files)
{
    TServerConnector connector;
    QElapsedTimer timer;
    timer.start();
    qint64 bytes = 0;
    int failed = 0;
    for (const QString& path : files) {
        const QString name = QFileInfo(path).fileName();
        if (!connector.SendOrderFile(QStringLiteral("demo"), QStringLiteral("demo"), order, name, path, nullptr))
            ++failed;
        bytes += QFileInfo(path).size();
    }
    const double seconds = timer.nsecsElapsed() / 1e9;
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%.3f %lld %ld %d\n", seconds, static_cast<long long>(bytes), usage.ru_maxrss, failed);
    return failed ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() >= 4 && args[0] == u"make")
        return Make(args[1], args[2].toInt(), args[3].toInt());
    if (args.size() >= 3 && args[0] == u"open") {
        SetServerBaseAddressForTesting(args[1]);
        return Open(args.mid(2));
    }
    if (args.size() >= 4 && args[0] == u"send") {
        SetServerBaseAddressForTesting(args[1]);
        return Send(args[2].toInt(), args.mid(3));
    }
    std::fprintf(stderr, "usage: zv_bench_upload make DIR COUNT MB | open ADDRESS NAME... | send ADDRESS ORDER FILE...\n");
    return 2;
}
