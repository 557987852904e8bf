#include "detailedorderpanel.h"

#include "appsettings.h"
#include "favouriteitem.h"
#include "mainwindow.h"
#include "order.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_detailedorderpanel.h"
#include "urlpolicy.h"
#include "valuehelpers.h"

#include <QVBoxLayout>

namespace {

TavrelApplication *app()
{
    return TavrelApplication::instance();
}

QString currentLogin()
{
    return app() && app()->synchronization ? app()->synchronization->currentLogin() : QString();
}

void setPlain(QLabel *label, const QString &text)
{
    label->setTextFormat(Qt::PlainText);
    label->setText(text);
}

void setRich(QLabel *label, const QString &html)
{
    label->setTextFormat(Qt::RichText);
    label->setText(html);
}

QString dateText(const QDateTime &time)
{
    return time.toLocalTime().toString(QStringLiteral("dd.MM.yyyy hh:mm"));
}

// A web address as a link of the label's template (its %1 both target and text); anything else as text.
void setLink(QLabel *label, const QString &address)
{
    if (UrlPolicy::isBrowserUrl(QUrl(address, QUrl::StrictMode)))
        setRich(label, label->text().arg(address.toHtmlEscaped()));
    else
        setPlain(label, address);
}

QString guaranteeText(QString text)
{
    return text.replace(QStringLiteral("%\n"), QStringLiteral("% "));
}

} // namespace

DetailedOrderPanel::DetailedOrderPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui_DetailedOrderPanel)
{
    ui->setupUi(this);
    favouriteTemplate = ui->lbFavourite->text();
    loadingText = ui->lbLoading->text();
    ui->lbLoading->setTextFormat(Qt::PlainText);
    ui->lbLoading->clear();
    ui->lbBackLabel->setAccessibleName(tr("Назад"));
    ui->lbGotoSite->setAccessibleName(tr("Заявка на сайте"));
    connect(ui->lbGotoSite, &QLabel::linkActivated, this, &DetailedOrderPanel::gotoSiteClick);
    connect(ui->lbFavourite, &QLabel::linkActivated, this, &DetailedOrderPanel::favouriteClick);
}

DetailedOrderPanel::~DetailedOrderPanel()
{
    delete favouriteItem;
    delete ui;
}

void DetailedOrderPanel::setFavouriteText(bool isFavourite)
{
    ui->lbFavourite->setText(favouriteTemplate.arg(isFavourite ? tr("убрать из избранного") : tr("в избранное")));
}

void DetailedOrderPanel::setOrder(const Entity::Order *order)
{
    if (!order)
        return;
    ui->retranslateUi(this);
    if (loadingHidden)
        ui->lbLoading->clear();

    delete favouriteItem;
    favouriteItem = nullptr;
    TavrelDataBaseQuery *query = app() ? app()->dataBaseQuery.data() : nullptr;
    const QString login = currentLogin();
    if (query)
        favouriteItem = query->favourite(login, order->id);
    // A removed favourite waiting for synchronization is no favourite any more.
    if (favouriteItem && favouriteItem->state == Entity::FavouriteItemList::Deleted) {
        delete favouriteItem;
        favouriteItem = nullptr;
    }
    setFavouriteText(favouriteItem);
    orderId = order->id;

    const QString session
        = app() && app()->synchronization ? UrlPolicy::sessionText(app()->synchronization->sessionCookie()) : QString();
    const QString notice = tr("Доступ закрыт");
    const QStringList names = order->contactNamesList();
    const QStringList values = order->contactValuesList();
    ui->lbOrderShortName->setText(ui->lbOrderShortName->text().arg(order->name.toHtmlEscaped()));

    const bool closed = !AppSettings::isFullAccess() && !order->fullAccess;
    const QList<QPair<QLabel *, QString>> guarded = {
        {ui->lbOrderOpenDateValue, dateText(order->openingTime)},
        {ui->lbOrderCloseDateValue, dateText(order->closingTime)},
        {ui->lbGovNumberValue, order->gosId},
        {ui->lbMoneySourceValue, order->financingSource},
        {ui->lbOrderOriginalNameValue, order->originalTitle},
        {ui->lbOrderInfoValue, order->information},
        {ui->lbCustomerFullNameValue, order->subjectFullName},
        {ui->lbOrderCustomerShortNameValue, order->subjectShortName},
        {ui->lbOrgRightFormValue, order->legalFormName},
        {ui->lbOGRNValue, order->ogrnInnKpp},
    };
    if (closed) {
        // An open order before may have left the label set to plain text.
        setRich(ui->lbOrderUrlValue, ui->lbOrderUrlValue->text().arg(QString()));
        for (const auto &field : guarded)
            setPlain(field.first, notice);
        for (QLabel *label : {ui->lbMoneyTypeValue, ui->lbFactAddressValue, ui->lbStaticPhoneValue, ui->lbFaxValue,
                              ui->lbPostAddressValue, ui->lbEMailValue, ui->lbSiteUrlValue, ui->lbContactPersonValue})
            setPlain(label, notice);
    } else {
        for (const auto &field : guarded)
            setPlain(field.first, field.second);
        setLink(ui->lbOrderUrlValue, order->orderSourceUri);
        setFieldText(ui->lbEMail, ui->lbEMailValue, names, values, false);
        setFieldText(ui->lbFactAddress, ui->lbFactAddressValue, names, values, false);
        setFieldText(ui->lbFax, ui->lbFaxValue, names, values, false);
        setFieldText(ui->lbContactPerson, ui->lbContactPersonValue, names, values, false);
        setFieldText(ui->lbPostAddress, ui->lbPostAddressValue, names, values, false);
        setFieldText(ui->lbSiteUrl, ui->lbSiteUrlValue, names, values, true);
        setFieldText(ui->lbStaticPhone, ui->lbStaticPhoneValue, names, values, false);
        setPlain(ui->lbMoneyTypeValue, order->currencyName);
    }

    ui->lbHeader->setText(ui->lbHeader->text().arg(order->id));
    setPlain(ui->lbBranchValue, order->economicSectorParentDisplayName());
    const QVariant commercial(order->commercial);
    setPlain(ui->lbCommercialValue,
             variantIsTrue(commercial)        ? tr("Да")
                 : variantIsFalse(commercial) ? tr("Нет")
                                              : tr("Нет данных"));
    setPlain(ui->lbContractEnsureValue, guaranteeText(order->contractGuarantee));
    setPlain(ui->lbOrderEnsureValue, guaranteeText(order->applicationGuarantee));
    const QString amount = order->amount.toHtmlEscaped();
    const QString currency = order->currencyName.toHtmlEscaped();
    ui->lbOrderStartPriceValue->setText(ui->lbOrderStartPriceValue->text().arg(amount, currency));
    ui->lbOrderSum->setText(ui->lbOrderSum->text().arg(amount, currency));

    siteUrl = UrlPolicy::withSessionItem(order->url, session).toString();
    setPlain(ui->lbPlacementTypeValue, order->placementMethod);
    setPlain(ui->lbRegionValue, order->regionDisplayName());
    setPlain(ui->lbSubBranchValue, order->branch);
    fillDocuments(order, closed);
}

void DetailedOrderPanel::setFieldText(QLabel *caption, QLabel *value, QStringList names, QStringList values, bool site)
{
    int i = 0;
    while (i < names.size() && names.at(i).compare(caption->text(), Qt::CaseInsensitive) != 0)
        ++i;
    if (i >= names.size() || i >= values.size() || values.at(i).isEmpty()) {
        setPlain(value, tr("Нет данных"));
        return;
    }
    QString text = values.at(i);
    if (site) {
        if (names.at(i).compare(QStringLiteral("Адрес сайта (URL)"), Qt::CaseInsensitive) == 0
            && !text.startsWith(QLatin1String("http")))
            text.prepend(QStringLiteral("http://"));
        setLink(value, text);
        return;
    }
    setRich(value, text.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br />")));
}

void DetailedOrderPanel::fillDocuments(const Entity::Order *order, bool closed)
{
    QWidget *place = ui->placeForDocs;
    const QObjectList old = place->children();
    for (QObject *child : old)
        delete child;

    QStringList names = order->docNamesList();
    QStringList urls = order->docUrlsList();
    if (closed) {
        names = QStringList {tr("Доступ закрыт")};
        urls.clear();
    }
    const QString icon = QStringLiteral("<img src=\":/resources/detailedOrderFile.png\"/> ");
    const int n = qMax(names.size(), urls.size());
    for (int i = 0; i < n; ++i) {
        const QString name = names.value(i);
        const QString text = name.isEmpty() ? urls.value(i) : name;
        if (text.isEmpty())
            continue;
        if (!place->layout())
            new QVBoxLayout(place);
        auto *line = new QLabel(place);
        place->layout()->addWidget(line);
        line->setWordWrap(true);
        const QUrl url(urls.value(i), QUrl::StrictMode);
        if (i < urls.size() && UrlPolicy::isBrowserUrl(url))
            line->setText(icon
                          + QStringLiteral("<a href=\"%2\">%1</a>")
                                .arg(text.toHtmlEscaped(), url.toString(QUrl::FullyEncoded).toHtmlEscaped()));
        else
            line->setText(icon + text.toHtmlEscaped());
        line->setTextFormat(Qt::RichText);
        line->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::LinksAccessibleByMouse
                                      | Qt::LinksAccessibleByKeyboard);
        line->setOpenExternalLinks(true);
    }
}

void DetailedOrderPanel::hideLoadingLabel()
{
    loadingHidden = true;
    ui->lbLoading->clear();
}

void DetailedOrderPanel::showLoadingLabel()
{
    loadingHidden = false;
    ui->lbLoading->setText(loadingText);
}

void DetailedOrderPanel::favouriteClick()
{
    TavrelSynchronization *engine = app() ? app()->synchronization.data() : nullptr;
    TavrelDataBaseQuery *query = app() ? app()->dataBaseQuery.data() : nullptr;
    if (!engine || !query)
        return;
    if (favouriteItem) {
        if (!engine->removeFavourite(orderId))
            return;
        setFavouriteText(false);
        delete favouriteItem;
        favouriteItem = nullptr;
        emit favouriteChanged();
        return;
    }
    if (!engine->addFavourite(orderId))
        return;
    favouriteItem = query->favouriteWithOrder(engine->currentLogin(), orderId, false);
    if (!favouriteItem)
        return;
    setFavouriteText(true);
    emit favouriteChanged();
}

void DetailedOrderPanel::gotoSiteClick()
{
    if (app() && app()->mainWindow)
        app()->mainWindow->browserLinkActivate(siteUrl);
}
