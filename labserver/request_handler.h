#pragma once

#include "labserver/faults.h"
#include "labserver/lab_data.h"
#include "labserver/store.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <atomic>
#include <mutex>
#include <string>

namespace httplib {
class Server;
struct Request;
struct Response;
} // namespace httplib

namespace labserver {

// The server's answers: the script "zv.php" with every command, the pages,
// the test payment pages and the control request of the fault switches.
class RequestHandler {
public:
    RequestHandler(LabData data, Store store, Faults& faults, QString ftpRoot, const std::atomic<bool>& stopping);

    void Register(httplib::Server& server);

    // One reply of the script before any fault is applied.
    struct Reply {
        QByteArray body;
        std::string contentType = "text/xml; charset=windows-1250";
        std::string disposition; // for file replies
    };
    struct Form {
        QMap<QString, QString> fields;
        QMap<QString, QByteArray> files; // field name to content
        QByteArray packed;               // the compressed_params file, when sent
    };

private:
    void Script(const httplib::Request& req, httplib::Response& res);
    Reply Dispatch(const QString& command, const Form& form, const httplib::Request& req);
    void Send(Reply reply, const QString& command, httplib::Response& res);

    Reply Banner(const QString& base);
    Reply ConfigVal(const Form& f, const QString& base);
    Reply Laboratories();
    Reply PaymentTypes();
    Reply Kadrowania();
    Reply Gradations(const Form& f);
    Reply Promotions(const Form& f);
    Reply Prices(const Form& f);
    Reply RemindPassword(const Form& f);
    Reply IsClientLoginExist(const Form& f);
    Reply GetClientInfo(const Form& f);
    Reply CreateNewClient(const Form& f);
    Reply UpdateClientInfo(const Form& f);
    Reply BeginNewOrder(const Form& f);
    Reply SendOrderFile(const Form& f);
    Reply GetFileStatus(const Form& f);
    Reply CancelNewOrder(const Form& f);
    Reply GetOrderHist(const Form& f);
    Reply IsUpdateAvaliable(const Form& f);
    Reply CheckForUpdate(const httplib::Request& req);
    Reply GetNewGDIPlus();

    Account* CheckLogin(const Form& f, const char* loginField);

    LabData m_data;
    Store m_store;
    Faults& m_faults;
    QString m_ftpRoot;
    const std::atomic<bool>& m_stopping;
    std::mutex m_mutex; // data and store
};

} // namespace labserver
