#include "order/zelvio_doc.h"

#include "app/message_box.h"
#include "app/settings.h"
#include "app/string_table.h"
#include "imaging/imaging_library.h"
#include "net/lenient_number.h"
#include "net/server_connector.h"

#include <QDebug>
#include <QDir>
#include <QSet>
#include <QStandardPaths>

namespace zv {

namespace {

// The commands tell a null text ("not given") from an empty one, and the
// server wants an empty login and password sent when nobody logged in.
QString NonNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

QString ConfigValue(TServerConnector& connector, const char* key, bool* ok = nullptr)
{
    QString value;
    const bool found = connector.GetConfigVal(QLatin1String(key), value);
    if (ok)
        *ok = found;
    return found ? value : QString();
}

} // namespace

TZelvioDoc::TZelvioDoc()
    : login(QStringLiteral("")), password(QStringLiteral("")), promoCode(QStringLiteral(""))
{
    ImagingStartup(&m_imagingToken);
}

TZelvioDoc::~TZelvioDoc()
{
    // Photos may hold pictures of the imaging library: free them first.
    m_photos.RemoveAll();
    ImagingShutdown(m_imagingToken);
}

Settings& TZelvioDoc::settings()
{
    if (m_settings)
        return *m_settings;
    if (!m_ownSettings)
        m_ownSettings = std::make_unique<Settings>();
    return *m_ownSettings;
}

bool TZelvioDoc::OnNewDocument()
{
    TServerConnector connector;

    bool ok = false;
    const QString advertisement = ConfigValue(connector, "ADVERTISEMENT_START", &ok);
    if (ok && !advertisement.isEmpty() && m_dialogs.advertisement)
        m_dialogs.advertisement->Show(advertisement);

    _LoginFields fields;
    fields.user = NonNull(settings().LastUser());
    fields.password = QStringLiteral("");
    fields.promoCode = QStringLiteral("");
    if (!fields.user.isEmpty()) {
        fields.password = NonNull(settings().LastPass());
        fields.promoCode = NonNull(settings().LastPCode());
        fields.remember = true;
    }

    LoginLoop(connector, fields);

    sessionOpenPrice = LenientDouble(ConfigValue(connector, "SESSION_OPEN_PRICE").toLatin1());

    FetchPrices(connector);
    if (m_priceList.GetSize() == 0)
        ShowMessage(LoadString(32796), MsgIcon::Warning);

    RememberLogin(fields);

    if (!MakeWorkingFolder())
        return false;
    orderFilePath = workingFolder.isEmpty() ? QString() : workingFolder + QStringLiteral("/Order.xml");
    return true;
}

void TZelvioDoc::LoginLoop(TServerConnector& connector, _LoginFields& fields)
{
    for (;;) {
        const LoginResult result = m_dialogs.login ? m_dialogs.login->Run(fields) : LoginResult::NewUser;
        if (result == LoginResult::Ok) {
            login = NonNull(fields.user);
            password = NonNull(fields.password);
        } else {
            login = QStringLiteral("");
            password = QStringLiteral("");
        }
        promoCode = NonNull(fields.promoCode);

        if (login.isEmpty()) {
            clientInfo = _ClientInfo();
            clientInfo.punkty = LenientInt(ConfigValue(connector, "CLIENT_START_POINTS").toLatin1());
            return;
        }
        if (connector.IsClientLoginExist(login, password, QString())) {
            clientInfo = _ClientInfo();
            connector.GetClientInfo(login, password, clientInfo);
            if (clientInfo.login == login)
                return;
        }

        ShowMessage(LoadString(32795), MsgIcon::Warning);
        login = QStringLiteral("");
        password = QStringLiteral("");
        // Nothing of an account the user failed to log in to stays.
        clientInfo = _ClientInfo();
    }
}

void TZelvioDoc::FetchPrices(TServerConnector& connector)
{
    m_priceList.RemoveAll();
    labId = 0;
    bool ok = false;
    const QString selectLab = ConfigValue(connector, "SELECT_LAB_ON_START", &ok);
    if (!(ok && selectLab == QLatin1String("1"))) {
        connector.GetPrices(login, password, promoCode, m_priceList, QString());
        return;
    }

    std::vector<_LabInfo> labs;
    if (!connector.GetLaboratories(QStringLiteral(""), labs) || labs.empty() || !m_dialogs.selectLab)
        return;
    QString chosen;
    if (!m_dialogs.selectLab->Run(labs, chosen))
        return;
    labId = LenientInt(chosen.toLatin1());
    connector.GetPrices(login, password, promoCode, m_priceList, NonNull(chosen));
}

void TZelvioDoc::RememberLogin(const _LoginFields& fields)
{
    Settings& s = settings();
    if (fields.remember) {
        s.SetLastPCode(promoCode);
        s.SetLastUser(login);
        s.SetLastPass(password);
    } else {
        s.SetLastUser(QString());
        s.SetLastPass(QString());
    }
    if (!s.Sync())
        qWarning() << "start of work: the remembered login could not be stored";
}

bool TZelvioDoc::MakeWorkingFolder()
{
    const QString documents = m_documentsFolder.isNull()
                                  ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
                                  : m_documentsFolder;
    if (documents.isEmpty()) {
        workingFolder.clear();
        return true;
    }
    workingFolder = QDir::cleanPath(documents) + QStringLiteral("/Zelvio");
    if (!QFileInfo(workingFolder).isDir() && !QDir().mkpath(workingFolder)) {
        ShowMessage(LoadString(32861).replace(QLatin1String("%s"), workingFolder), MsgIcon::Warning);
        return false;
    }
    return true;
}

_OrderTotals TZelvioDoc::ComputeTotals(bool removeEmpty)
{
    _OrderTotals totals;
    totals.price = float(sessionOpenPrice);
    for (int i = m_photos.GetSize() - 1; i >= 0; --i) {
        TThumbData* photo = m_photos.GetAt(i);
        bool hasPrints = false;
        intptr_t position = photo->GetFirstFormatPosition();
        while (position != 0) {
            int format = 0;
            int quantity = 0;
            photo->GetNextFormat(position, format, quantity);
            if (quantity <= 0)
                continue;
            hasPrints = true;
            totals.prints += quantity;
            // A saved order may name formats the current price list no longer has.
            if (m_priceList.IsValidIndex(format))
                totals.price += float(quantity) * m_priceList.GetAt(format).GetUnitPrice(m_photos.GetFormatTotal(format));
        }
        if (!hasPrints && removeEmpty && m_views && m_views->HasOrderGrid()) {
            m_views->RemoveFromOrderGrid(photo);
            m_photos.RemoveAt(i);
        }
    }
    totals.bytes = m_photos.TotalSize;
    return totals;
}

bool TZelvioDoc::SetQuantity(const QString& path, int format, int quantity)
{
    TThumbData* photo = m_photos.Find(path);
    if (!photo) {
        const int index = m_photos.AddFile(path);
        photo = index < 0 ? nullptr : m_photos.GetAt(index);
    }
    if (!photo)
        return false;
    photo->SetQuantity(format, quantity);
    m_photos.CountFormat(format);
    return true;
}

void TZelvioDoc::RecountFormats()
{
    QSet<int> formats;
    for (auto it = m_photos.QuantityTotals.cbegin(); it != m_photos.QuantityTotals.cend(); ++it)
        formats.insert(it.key());
    for (int i = 0; i < m_photos.GetSize(); ++i) {
        const TThumbData* photo = m_photos.GetAt(i);
        intptr_t position = photo->GetFirstFormatPosition();
        while (position != 0) {
            int format = 0;
            int quantity = 0;
            photo->GetNextFormat(position, format, quantity);
            formats.insert(format);
        }
    }
    for (int format : formats)
        m_photos.CountFormat(format);
}

QString TZelvioDoc::PointsText(int points, const QString& currency)
{
    return QString::asprintf("%dpkt = %.2f", points, points * 0.1) + currency;
}

QString TZelvioDoc::PointsText()
{
    return PointsText(clientInfo.punkty, GetCurrencyName());
}

DispatchOutcome TZelvioDoc::SendOrder(int number, _DispatchSeams seams)
{
    return TOrderDispatch(*this, std::move(seams)).SendOrder(number);
}

} // namespace zv
