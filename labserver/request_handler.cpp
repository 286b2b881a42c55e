#include "labserver/request_handler.h"

#include "app/cp1250.h"
#include "net/xml/xml_node.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <httplib.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace labserver {

namespace {

using Reply = RequestHandler::Reply;
using Form = RequestHandler::Form;

// Code page 1250 bytes; characters it lacks become '?' (the data is ours).
QByteArray Cp(const QString& text)
{
    if (const auto bytes = zv::cp1250::encode(text))
        return *bytes;
    QByteArray out;
    for (QChar c : text)
        out += zv::cp1250::encode(QString(c)).value_or("?");
    return out;
}

QString Esc(const QString& text)
{
    QString out = text;
    out.replace(u'&', "&amp;").replace(u'<', "&lt;").replace(u'>', "&gt;").replace(u'"', "&quot;");
    out.replace(u'\'', "&apos;");
    return out;
}

// One empty element with attributes given as name, value, name, value...
QString Elem(const QString& name, const QStringList& attrs, const QString& inner = {})
{
    QString out = u'<' + name;
    for (qsizetype i = 0; i + 1 < attrs.size(); i += 2)
        out += u' ' + attrs[i] + "=\"" + Esc(attrs[i + 1]) + u'"';
    if (inner.isEmpty())
        return out + "/>";
    return out + u'>' + inner + "</" + name + u'>';
}

Reply Xml(int code, const QString& payload = {}, const QString& message = {})
{
    QString text = "<reply>" + Elem(QStringLiteral("ReturnValue"), message.isEmpty()
                                                                         ? QStringList{"code", QString::number(code)}
                                                                         : QStringList{"code", QString::number(code), "message", message});
    text += payload + "</reply>\n";
    Reply reply;
    reply.body = Cp(text);
    return reply;
}

Reply Ok(const QString& payload = {})
{
    return Xml(0, payload);
}

Reply Refuse(const QString& message)
{
    return Xml(1, {}, message);
}

// A file name that stays inside its folder.
bool PlainName(const QString& name)
{
    return !name.isEmpty() && name != "." && name != ".." && !name.contains(u'/') && !name.contains(u'\\') &&
           !name.contains(QChar(0));
}

QString Field(const Form& f, const char* name)
{
    return f.fields.value(QLatin1String(name));
}

QString BuildNumber(const QString& zvver)
{
    return zvver.section(u'-', -1);
}

QString BuildId(const QString& zvver)
{
    return zvver.section(u'-', 0, -2);
}

// The client writes form values as they are, never percent-encoded.
void ParseUrlEncoded(const QByteArray& body, Form& form)
{
    for (const QByteArray& pair : body.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype eq = pair.indexOf('=');
        const QByteArray name = eq < 0 ? pair : pair.left(eq);
        const QByteArray value = eq < 0 ? QByteArray() : pair.mid(eq + 1);
        form.fields[zv::cp1250::decode(name)] = zv::cp1250::decode(value);
    }
}

bool ParsePacked(const QByteArray& packed, Form& form)
{
    zv::TXmlNode root;
    zv::_XmlParseInfo info;
    info.entities = &zv::TXmlEntityTable::Default();
    if (!root.Parse(packed, info))
        return false;
    for (const auto& child : root.children)
        if (child->type == zv::XmlNodeType::Element)
            form.fields[zv::cp1250::decode(child->name)] = zv::cp1250::decode(child->value);
    return true;
}

std::string MimeOf(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    if (suffix == "html" || suffix == "htm")
        return "text/html; charset=utf-8";
    if (suffix == "css")
        return "text/css";
    if (suffix == "png")
        return "image/png";
    if (suffix == "jpg" || suffix == "jpeg")
        return "image/jpeg";
    return "text/plain; charset=utf-8";
}

QString HtmlEsc(const QString& text)
{
    return text.toHtmlEscaped();
}

} // namespace

RequestHandler::RequestHandler(LabData data, Store store, Faults& faults, QString ftpRoot,
                               const std::atomic<bool>& stopping)
    : m_data(std::move(data)), m_store(std::move(store)), m_faults(faults), m_ftpRoot(std::move(ftpRoot)),
      m_stopping(stopping)
{
}

void RequestHandler::Register(httplib::Server& server)
{
    server.Post("/zv.php", [this](const httplib::Request& req, httplib::Response& res) { Script(req, res); });

    const auto control = [this](const httplib::Request& req, httplib::Response& res) {
        const QString kind = QString::fromStdString(req.get_param_value("fault"));
        if (kind == "none" || kind.isEmpty()) {
            m_faults.Clear();
        } else {
            Fault f;
            f.kind = kind;
            f.n = QString::fromStdString(req.get_param_value("n")).toLongLong();
            f.count = req.has_param("count") ? QString::fromStdString(req.get_param_value("count")).toInt() : 1;
            f.command = QString::fromStdString(req.get_param_value("command"));
            if (!m_faults.Add(f)) {
                res.status = 400;
                res.set_content("unknown fault\n", "text/plain");
                return;
            }
        }
        res.set_content("ok\n", "text/plain");
    };
    server.Get("/control", control);
    server.Post("/control", control);

    const auto page = [this](const QString& name, httplib::Response& res) {
        QFile file(m_data.folder + "/pages/" + name);
        if (!PlainName(name) || !file.open(QIODevice::ReadOnly)) {
            res.status = 404;
            res.set_content("not found\n", "text/plain");
            return;
        }
        const QByteArray content = file.readAll();
        res.set_content(content.constData(), size_t(content.size()), MimeOf(name));
    };
    server.Get(R"(/pages/([^/]+))", [page](const httplib::Request& req, httplib::Response& res) {
        page(QString::fromStdString(req.matches[1]), res);
    });
    server.Get("/zvhelp.php", [page](const httplib::Request&, httplib::Response& res) { page("zvhelp.html", res); });

    // Test payment pages and return pages: they show what they were sent.
    const auto echo = [](const httplib::Request& req, httplib::Response& res) {
        QString html = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Test payment</title></head><body>";
        html += "<h1>Test payment page</h1><p>" + HtmlEsc(QString::fromStdString(req.method + " " + req.path)) +
                "</p><table border=\"1\">";
        for (const auto& [name, value] : req.params)
            html += "<tr><td>" + HtmlEsc(QString::fromStdString(name)) + "</td><td>" +
                    HtmlEsc(QString::fromStdString(value)) + "</td></tr>";
        html += "</table>";
        if (!req.body.empty()) {
            html += "<h2>Form data as sent</h2><pre>";
            for (const QByteArray& pair : QByteArray::fromStdString(req.body).split('&'))
                html += HtmlEsc(zv::cp1250::decode(pair)) + "\n";
            html += "</pre>";
        }
        html += "</body></html>\n";
        res.set_content(html.toStdString(), "text/html; charset=utf-8");
    };
    for (const char* path : {"/", "/index.php", "/mtransfer.asp", "/przelewy24.php", "/allpay.php"}) {
        server.Get(path, echo);
        server.Post(path, echo);
    }
}

void RequestHandler::Script(const httplib::Request& req, httplib::Response& res)
{
    Form form;
    if (req.is_multipart_form_data()) {
        for (const auto& [name, part] : req.files) {
            const QString field = QString::fromStdString(name);
            const QByteArray content = QByteArray::fromStdString(part.content);
            if (part.filename.empty())
                form.fields[field] = zv::cp1250::decode(content);
            else
                form.files[field] = content;
        }
        if (form.files.contains("compressed_params")) {
            form.packed = form.files.value("compressed_params");
            if (!ParsePacked(form.packed, form)) {
                Send(Refuse("compressed_params is not readable"), {}, res);
                return;
            }
        }
    } else {
        ParseUrlEncoded(QByteArray::fromStdString(req.body), form);
    }
    const QString command = Field(form, "command");
    Reply reply;
    {
        std::lock_guard lock(m_mutex);
        reply = Dispatch(command, form, req);
    }
    Send(std::move(reply), command, res);
}

void RequestHandler::Send(Reply reply, const QString& command, httplib::Response& res)
{
    const auto fault = m_faults.TakeReplyFault(command);
    const QString kind = fault ? fault->kind : QString();
    if (!reply.disposition.empty())
        res.set_header("Content-Disposition", reply.disposition);
    if (kind == "nontext") {
        reply.contentType = "application/octet-stream";
    } else if (kind == "empty") {
        reply.body.clear();
        reply.contentType = "text/html";
    } else if (kind == "malformed") {
        reply.body = reply.body.left(reply.body.size() / 2);
    } else if (kind == "code") {
        reply.body.replace("code=\"0\"", "code=\"" + QByteArray::number(fault->n) + "\"");
    }

    const auto body = std::make_shared<QByteArray>(std::move(reply.body));
    const std::atomic<bool>& stopping = m_stopping;
    const auto pause = [&stopping](std::chrono::milliseconds span) {
        const auto until = std::chrono::steady_clock::now() + span;
        while (!stopping && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
    };
    if (kind == "drop") {
        const size_t keep = size_t(std::clamp<long long>(fault->n, 0, body->size()));
        res.set_content_provider(size_t(body->size()), reply.contentType,
                                 [body, keep](size_t offset, size_t, httplib::DataSink& sink) {
                                     if (offset < keep)
                                         sink.write(body->constData() + offset, keep - offset);
                                     return false; // close the connection mid-reply
                                 });
    } else if (kind == "huge") {
        const size_t total = size_t(fault->n > 0 ? fault->n : 40) * 1024 * 1024;
        res.set_content_provider(total, "text/xml", [total](size_t offset, size_t, httplib::DataSink& sink) {
            static const std::string line(1023, 'x');
            const std::string chunk = "<" + line.substr(0, 1022) + "\n";
            const size_t n = std::min(chunk.size(), total - offset);
            return sink.write(chunk.data(), n);
        });
    } else if (kind == "slow" || kind == "stall") {
        const bool stall = kind == "stall";
        const long long ms = fault->n > 0 ? fault->n : 200;
        res.set_content_provider(size_t(body->size()), reply.contentType,
                                 [body, stall, ms, pause, &stopping](size_t offset, size_t, httplib::DataSink& sink) {
                                     const size_t size = size_t(body->size());
                                     if (stall && offset >= size / 2) {
                                         pause(std::chrono::minutes(10));
                                         return false;
                                     }
                                     const size_t limit = stall ? size / 2 : size;
                                     const size_t n = std::min<size_t>(64, limit - offset);
                                     if (n > 0 && !sink.write(body->constData() + offset, n))
                                         return false;
                                     pause(std::chrono::milliseconds(stall ? 0 : ms));
                                     return !stopping;
                                 });
    } else {
        res.set_content(body->constData(), size_t(body->size()), reply.contentType);
    }
}

Reply RequestHandler::Dispatch(const QString& command, const Form& f, const httplib::Request& req)
{
    const QString base = "http://" + QString::fromStdString(req.get_header_value("Host")) + "/";
    if (command == "GetBanner")
        return Banner(base);
    if (command == "GetConfigVal")
        return ConfigVal(f, base);
    if (command == "GetLaboratories")
        return Laboratories();
    if (command == "GetPaymentTypes")
        return PaymentTypes();
    if (command == "GetKadrowania")
        return Kadrowania();
    if (command == "GetGradations")
        return Gradations(f);
    if (command == "GetPromotion")
        return Promotions(f);
    if (command == "GetPrices")
        return Prices(f);
    if (command == "RemindPassword")
        return RemindPassword(f);
    if (command == "IsClientLoginExist")
        return IsClientLoginExist(f);
    if (command == "GetClientInfo")
        return GetClientInfo(f);
    if (command == "CreateNewClient")
        return CreateNewClient(f);
    if (command == "UpdateClientInfo")
        return UpdateClientInfo(f);
    if (command == "BeginNewOrder")
        return BeginNewOrder(f);
    if (command == "SendOrderFile")
        return SendOrderFile(f);
    if (command == "GetFileStatus")
        return GetFileStatus(f);
    if (command == "CancelNewOrder")
        return CancelNewOrder(f);
    if (command == "GetOrderHist")
        return GetOrderHist(f);
    if (command == "IsUpdateAvaliable")
        return IsUpdateAvaliable(f);
    if (command == "CheckForUpdate")
        return CheckForUpdate(req);
    if (command == "GetNewGDIPlus")
        return GetNewGDIPlus();
    return Refuse("unknown command " + command);
}

Reply RequestHandler::Banner(const QString& base)
{
    QString link = m_data.bannerLink;
    link.replace("{base}", base);
    return Ok(Elem("Banner", {"link", link}));
}

Reply RequestHandler::ConfigVal(const Form& f, const QString& base)
{
    const QString key = Field(f, "id");
    if (!m_data.config.contains(key))
        return Ok(); // an unknown key has no value: the client keeps its default
    QString value = m_data.config.value(key);
    value.replace("{base}", base);
    return Ok(Elem("configval", {"value", value}));
}

Reply RequestHandler::Laboratories()
{
    QString inner;
    for (const Lab& l : m_data.labs)
        inner += Elem("laboratory", {"id", l.id, "name", l.name, "miasto", l.town, "description", l.description});
    return Ok(Elem("laboratories", {}, inner));
}

Reply RequestHandler::PaymentTypes()
{
    QString inner;
    for (const Payment& p : m_data.payments) {
        QString labs;
        const QStringList where = p.labs.isEmpty() ? [&] {
            QStringList all;
            for (const Lab& l : m_data.labs)
                all << l.id;
            return all;
        }()
                                                   : p.labs;
        for (const QString& id : where)
            labs += Elem("labid", {"id", id});
        inner += Elem("paymenttype", {"id", p.id, "name", p.name, "extengine", p.extengine, "add_price", p.addPrice},
                      Elem("labsids", {}, labs));
    }
    return Ok(Elem("paymenttypes", {}, inner));
}

Reply RequestHandler::Kadrowania()
{
    QString inner;
    for (const CropOption& c : m_data.crops)
        inner += Elem("kadr", {"name", c.name, "code", c.code});
    return Ok(Elem("kadry", {}, inner));
}

Reply RequestHandler::Gradations(const Form& f)
{
    const QString format = Field(f, "format_id");
    QString inner;
    for (const Paper& p : m_data.papers)
        if (p.formatId == format)
            inner += Elem("grad", {"name", p.name});
    return Ok(Elem("grads", {}, inner));
}

Reply RequestHandler::Promotions(const Form& f)
{
    const QString lab = Field(f, "lab_id");
    QString inner;
    for (const Promotion& p : m_data.promotions)
        if (p.labId.isEmpty() || lab.isEmpty() || p.labId == lab)
            inner += Elem("promotion", {"code", p.code});
    return Ok(Elem("promotions", {}, inner));
}

Reply RequestHandler::Prices(const Form& f)
{
    const QString code = Field(f, "kodpromocji");
    const QString lab = Field(f, "lab_id");
    const Promotion* promotion = nullptr;
    for (const Promotion& p : m_data.promotions)
        if (!code.isEmpty() && p.code.compare(code, Qt::CaseInsensitive) == 0 &&
            (p.labId.isEmpty() || lab.isEmpty() || p.labId == lab))
            promotion = &p;
    const double factor = promotion ? 1.0 - promotion->percent / 100.0 : 1.0;
    QString inner;
    for (const PriceRow& r : m_data.prices) {
        const QString price = QString::number(r.price.toDouble() * factor, 'f', 2);
        inner += Elem("format", {"id", r.id, "format_id", r.formatId, "name", r.name, "width", r.width, "height",
                                 r.height, "isdefault", r.isDefault, "minquant", r.minQuant, "maxquant", r.maxQuant,
                                 "price", price});
    }
    QString payload = Elem("prices", {"id", m_data.priceListId}, inner);
    if (promotion)
        payload += Elem("kodpromocji", {"code", promotion->code});
    return Ok(payload);
}

Reply RequestHandler::RemindPassword(const Form& f)
{
    return m_store.FindEmail(Field(f, "email")) ? Ok() : Refuse("no account with this e-mail");
}

Reply RequestHandler::IsClientLoginExist(const Form& f)
{
    const QString user = Field(f, "user");
    Account* a = m_store.FindLogin(user);
    if (f.fields.contains("password"))
        return a && a->password == Field(f, "password") ? Ok() : Refuse("wrong login or password");
    if (f.fields.contains("email"))
        return a || m_store.FindEmail(Field(f, "email")) ? Ok() : Refuse("login and e-mail are free");
    return a ? Ok() : Refuse("no such login");
}

Account* RequestHandler::CheckLogin(const Form& f, const char* loginField)
{
    Account* a = m_store.FindLogin(Field(f, loginField));
    return a && a->password == Field(f, "password") ? a : nullptr;
}

Reply RequestHandler::GetClientInfo(const Form& f)
{
    const Account* a = CheckLogin(f, "user");
    if (!a)
        return Refuse("wrong login or password");
    return Ok(Elem("ClientInfo", {"id", a->id, "login", a->login, "partner_id", a->partnerId, "punkty", a->punkty,
                                  "imie", a->imie, "nazwisko", a->nazwisko, "ulica", a->ulica, "kod", a->kod,
                                  "miasto", a->miasto, "telefon", a->telefon, "komorka", a->komorka, "email",
                                  a->email, "firma", a->firma, "nip", a->nip}));
}

namespace {

void CopyContact(const Form& f, Account& a)
{
    a.imie = Field(f, "imie");
    a.nazwisko = Field(f, "nazwisko");
    a.ulica = Field(f, "ulica");
    a.kod = Field(f, "kod");
    a.miasto = Field(f, "miasto");
    a.telefon = Field(f, "telefon");
    a.komorka = Field(f, "komorka");
    a.email = Field(f, "email");
    a.firma = Field(f, "firma");
    a.nip = Field(f, "nip");
}

} // namespace

Reply RequestHandler::CreateNewClient(const Form& f)
{
    const QString login = Field(f, "login");
    if (login.isEmpty() || Field(f, "password").isEmpty())
        return Refuse("login and password are needed");
    if (m_store.FindLogin(login))
        return Refuse("login already registered");
    Account a;
    a.login = login;
    a.password = Field(f, "password");
    a.partnerId = Field(f, "partner_id");
    a.punkty = m_data.config.value("CLIENT_START_POINTS", "0");
    CopyContact(f, a);
    m_store.AddAccount(a);
    return m_store.SaveAccounts() ? Ok() : Refuse("cannot store the account");
}

Reply RequestHandler::UpdateClientInfo(const Form& f)
{
    Account* a = CheckLogin(f, "login");
    if (!a || a->id != Field(f, "id"))
        return Refuse("wrong login, password or id");
    CopyContact(f, *a);
    return m_store.SaveAccounts() ? Ok() : Refuse("cannot store the account");
}

Reply RequestHandler::BeginNewOrder(const Form& f)
{
    if (f.packed.isEmpty())
        return Refuse("order fields must come packed");
    const Account* a = CheckLogin(f, "login");
    if (!a)
        return Refuse("wrong login or password");
    Order o;
    o.login = a->login;
    o.clientId = a->id;
    o.labId = Field(f, "lab_id");
    o.paymentId = Field(f, "payment_id");
    o.paymentExtengine = Field(f, "payment_extengine");
    o.price = Field(f, "price");
    o.remarks = Field(f, "remarks");
    o.correctcolors = Field(f, "correctcolors");
    o.sendfacture = Field(f, "sendfacture");
    for (int n = 1;; ++n) {
        const QString name = f.fields.value("print_name" + QString::number(n));
        if (name.isNull())
            break;
        if (!PlainName(name))
            return Refuse("bad file name " + name);
        if (!o.File(name))
            o.files.push_back(StoredFile{name, QStringLiteral("toupload"), 0, {}});
    }
    const Order& stored = m_store.AddOrder(o, f.packed);
    return Ok(Elem("NewOrder", {"id", QString::number(stored.id)}));
}

Reply RequestHandler::SendOrderFile(const Form& f)
{
    const Account* a = CheckLogin(f, "login");
    Order* o = m_store.FindOrder(Field(f, "order_id").toInt());
    if (!a || !o || o->login != a->login)
        return Refuse("no such order for this login");
    if (o->status == "cancelled")
        return Refuse("the order was cancelled");
    const QString name = Field(f, "filename");
    if (!PlainName(name))
        return Refuse("bad file name");
    if (Field(f, "ftp_upload") == "1") {
        if (m_ftpRoot.isEmpty())
            return Refuse("no FTP folder configured");
        const QString path = QStringLiteral("%1/%2/%3/%4").arg(m_ftpRoot, BuildId(Field(f, "zvver")), QString::number(o->id), name);
        QByteArray content;
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            content = file.readAll();
        } else {
            // Clients send FTP names in code page 1250 and an FTP server on
            // this machine stores those bytes as they came; such a name is
            // not UTF-8, so it is opened by its bytes.
            const auto bytes = zv::cp1250::encode(name);
            if (!bytes)
                return Refuse("file not found on the FTP server");
            std::ifstream raw((QFile::encodeName(QFileInfo(path).path()) + '/' + *bytes).toStdString(), std::ios::binary);
            if (!raw)
                return Refuse("file not found on the FTP server");
            content = QByteArray::fromStdString(std::string(std::istreambuf_iterator<char>(raw), {}));
        }
        if (m_faults.TakeRefusal(false))
            return Refuse("refused by fault switch");
        return m_store.PutFile(*o, name, content) ? Ok() : Refuse("cannot store the file");
    }
    if (!f.files.contains("orderfile"))
        return Refuse("no file sent");
    const QByteArray content = f.files.value("orderfile");
    const int part = Field(f, "part_index").toInt();
    const int parts = Field(f, "nb_parts").toInt();
    if (f.fields.contains("part_index") || f.fields.contains("nb_parts")) {
        if (parts < 1 || parts > 100000 || part < 1 || part > parts)
            return Refuse("bad part number");
        if (m_faults.TakeRefusal(true))
            return Refuse("refused by fault switch");
        return m_store.PutPart(*o, name, part, parts, content) ? Ok() : Refuse("cannot store the part");
    }
    if (m_faults.TakeRefusal(false))
        return Refuse("refused by fault switch");
    return m_store.PutFile(*o, name, content) ? Ok() : Refuse("cannot store the file");
}

Reply RequestHandler::GetFileStatus(const Form& f)
{
    Order* o = m_store.FindOrder(Field(f, "id").toInt());
    if (!o)
        return Refuse("no such order");
    const StoredFile* file = o->File(Field(f, "name"));
    return Ok(Elem("filestat", {"value", file ? file->status : QStringLiteral("toupload")}));
}

Reply RequestHandler::CancelNewOrder(const Form& f)
{
    const Account* a = CheckLogin(f, "login");
    Order* o = m_store.FindOrder(Field(f, "order_id").toInt());
    if (!a || !o || o->login != a->login)
        return Refuse("no such order for this login");
    o->status = QStringLiteral("cancelled");
    return m_store.SaveOrder(*o) ? Ok() : Refuse("cannot store the order");
}

Reply RequestHandler::GetOrderHist(const Form& f)
{
    const QString user = Field(f, "user_id");
    const QString from = Field(f, "date_from");
    const QString to = Field(f, "date_to");
    if (user.isEmpty())
        return Refuse("user_id is needed");
    QString inner;
    for (const auto& [id, o] : m_store.Orders()) {
        const QString day = o.createDate.left(10);
        if (o.clientId != user || (!from.isEmpty() && day < from) || (!to.isEmpty() && day > to))
            continue;
        QString payment, lab;
        for (const Payment& p : m_data.payments)
            if (p.id == o.paymentId)
                payment = p.name;
        for (const Lab& l : m_data.labs)
            if (l.id == o.labId)
                lab = l.name;
        inner += Elem("object", {"id", QString::number(o.id), "status", o.status, "create_date", o.createDate,
                                 "filescount", QString::number(o.files.size()), "price", o.price, "payment_name",
                                 payment, "lab_name", lab, "paymentext_name", o.paymentExtengine,
                                 "paymentext_status", o.paymentExtengine.isEmpty() ? QString() : QStringLiteral("unknown"),
                                 "remarks", o.remarks, "correctcolors", o.correctcolors, "sendfacture",
                                 o.sendfacture});
    }
    return Ok(Elem("objects", {}, inner));
}

Reply RequestHandler::IsUpdateAvaliable(const Form& f)
{
    const int client = BuildNumber(Field(f, "zvver")).toInt();
    if (m_data.update.packets.isEmpty() || m_data.update.build <= client)
        return Refuse("no update");
    return Ok(Elem("packets", {"count", QString::number(m_data.update.packets.size() - 1)}));
}

Reply RequestHandler::CheckForUpdate(const httplib::Request& req)
{
    const int index = QString::fromStdString(req.get_header_value("PacketIndex")).toInt();
    if (index < 1 || index > m_data.update.packets.size())
        return Refuse("no such packet");
    QFile file(m_data.folder + "/" + m_data.update.packets[index - 1]);
    if (!file.open(QIODevice::ReadOnly))
        return Refuse("packet missing");
    return {file.readAll(), "application/exe", "attachment; filename=" + m_data.update.fileName.toStdString()};
}

Reply RequestHandler::GetNewGDIPlus()
{
    QFile file(m_data.folder + "/" + m_data.module.path);
    if (m_data.module.path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return Refuse("no imaging module offered");
    return {file.readAll(), "application/exe", "attachment; filename=" + m_data.module.fileName.toStdString()};
}

} // namespace labserver
