// tavrel-shots-orderviews: pictures of the order lists and the order detail page, taken standalone at
// 1000 x 600 (the detail page 1000 x 1250) against an in-process stand-in of the service: neworders.png, viewed.png,
// pager-mid.png, empty.png, search-loading.png, detail-open.png, detail-closed.png and deleteall-question.png. For
// looking at, not for tests.
#include "constants.h"
#include "detailedorderpanel.h"
#include "favouriteitem.h"
#include "localservice/localservicefault.h"
#include "order.h"
#include "shotsupport.h"
#include "tavreldatabasequery.h"
#include "testdata/realisticorders.h"
#include "vieworderspaginator.h"

#include <QAbstractButton>
#include <QTimer>

namespace {

// Shows a list of the stored orders and waits for it.
void showList(ViewOrdersPaginator &paginator, TavrelSynchronization *engine, int mode, int listType,
              const QString &title)
{
    bool finished = false;
    QObject::connect(&paginator, &ViewOrdersPaginator::loadingFinished, [&] { finished = true; });
    paginator.mode = mode;
    paginator.listType = listType;
    paginator.setListName(title);
    paginator.panel.resize(1000, 600);
    paginator.panel.show();
    paginator.requestNewOrders();
    engine->processTasks();
    shots::waitFor([&] { return finished; });
}

Entity::Order *detailedOrder(bool fullAccess)
{
    Entity::Order *order = realisticOrder(100017, Entity::OrderList::New, QDateTime::currentDateTimeUtc());
    order->fullAccess = fullAccess;
    order->gosId = QStringLiteral("0373200041526000117");
    order->financingSource = QStringLiteral("Бюджет города Москвы");
    order->orderSourceUri = QStringLiteral("http://zakupki.example/notice/0373200041526000117");
    order->originalTitle = QStringLiteral("Поставка медицинского оборудования для нужд городской поликлиники № 12");
    order->information = QStringLiteral("Поставка в течение 30 дней с даты заключения контракта.");
    order->applicationGuarantee = QStringLiteral("1%\nот начальной цены");
    order->contractGuarantee = QStringLiteral("5%\nот начальной цены");
    order->subjectFullName
        = QStringLiteral("Государственное бюджетное учреждение здравоохранения «Городская поликлиника № 12»");
    order->subjectShortName = QStringLiteral("ГБУЗ ГП № 12");
    order->legalFormName = QStringLiteral("Бюджетное учреждение");
    order->ogrnInnKpp = QStringLiteral("1027700000000 / 7701000000 / 770101001");
    order->commercial = QStringLiteral("false");
    order->contactNames = QStringLiteral("Электронная почта\nФактический адрес\nСтационарный телефон\nКонтактное лицо\n"
                                         "Адрес сайта (URL)");
    order->contactValues = QStringLiteral("zakupki@gp12.example\nМосква, ул. Примерная, д. 1\n+7 495 000-00-00\n"
                                          "Иванова Анна Сергеевна\ngp12.example");
    order->docNames = QStringLiteral("Извещение о проведении аукциона\nТехническое задание\nПроект контракта");
    order->docUrls
        = QStringLiteral("http://docs.example/1.pdf\nhttp://docs.example/2.docx\nhttp://docs.example/3.docx");
    return order;
}

} // namespace

int main(int argc, char *argv[])
{
    shots::Run run(argc, argv, shots::Run::Standalone);
    if (run.status)
        return run.status;
    run.service->generate(400, 5);
    CoreGraph graph(run.app.get());
    TavrelSynchronization *engine = run.logIn(graph);
    if (!engine)
        return 1;
    const QString login = engine->currentLogin();
    TavrelDataBaseQuery *query = run.app->dataBaseQuery.data();

    // 200 new orders (three of them favourites) and 30 viewed ones.
    QList<Entity::Order *> orders;
    const QDateTime base = QDateTime::currentDateTimeUtc().addDays(-3);
    for (int i = 0; i < 230; ++i)
        orders << realisticOrder(100001 + i, i < 200 ? Entity::OrderList::New : Entity::OrderList::Viewed,
                                 base.addSecs(i * 600));
    query->saveOrdersWithType(login, orders, nullptr);
    qDeleteAll(orders);
    for (qint64 id : {100002, 100004, 100215}) {
        Entity::FavouriteItem favourite;
        favourite.id = id;
        favourite.login = login;
        favourite.state = Entity::FavouriteItemList::Sync;
        favourite.changed = true;
        query->saveFavourite(login, &favourite);
    }

    {
        ViewOrdersPaginator list;
        showList(list, engine, 0, Entity::OrderList::New, QStringLiteral("Новые заявки"));
        shots::save(&list.panel, QStringLiteral("neworders.png"));
        list.setPage(9);
        shots::save(&list.panel, QStringLiteral("pager-mid.png"));

        // The question of the delete-all link, answered "Нет" once pictured.
        QTimer::singleShot(300, [] {
            QWidget *box = QApplication::activeModalWidget();
            if (!box)
                return;
            shots::save(box, QStringLiteral("deleteall-question.png"), true);
            for (QAbstractButton *button : box->findChildren<QAbstractButton *>())
                if (button->text() == QStringLiteral("Нет"))
                    button->click();
        });
        list.panel.topLineLabelClicked(LINK_DELETE_ALL);
    }
    {
        ViewOrdersPaginator list;
        showList(list, engine, 0, Entity::OrderList::Viewed, QStringLiteral("Просмотренные"));
        shots::save(&list.panel, QStringLiteral("viewed.png"));
    }
    {
        ViewOrdersPaginator list;
        showList(list, engine, 0, Entity::OrderList::NewViewed, QStringLiteral("Избранное"));
        shots::save(&list.panel, QStringLiteral("empty.png"));
    }
    {
        // A slow second page: the overlay stays while it comes.
        run.service->addFault(LocalServiceFault::delay(4000).onPage(2));
        ViewOrdersPaginator list;
        list.searchArea = QStringLiteral("CURRENT_ORDERS");
        showList(list, engine, 3, Entity::OrderList::Search, QStringLiteral("Результаты поиска"));
        list.setPage(1);
        shots::save(&list.panel, QStringLiteral("search-loading.png"));
        run.service->clearFaults();
    }
    for (bool open : {true, false}) {
        // Closed: neither the subscriber nor the order has full access.
        run.app->setFullAccess(open);
        DetailedOrderPanel panel;
        panel.resize(1000, 1250);
        Entity::Order *order = detailedOrder(open);
        panel.setOrder(order);
        delete order;
        panel.show();
        shots::save(&panel, open ? QStringLiteral("detail-open.png") : QStringLiteral("detail-closed.png"));
    }
    graph.clear();
    return 0;
}
