// The paginator in each mode against the stand-in: stored lists, favourites and server searches, with
// paging by keys, failing and slow pages, re-sorting and the delete-all questions.
#include "filter.h"
#include "localservice/localservicefault.h"
#include "messageboxdriver.h"
#include "pagedrequestmanager.h"
#include "testapplication.h"
#include "vieworderspaginator.h"
#include "viewsfixture.h"

#include <QKeySequence>
#include <QLabel>
#include <QSignalSpy>
#include <QTableView>

#include <algorithm>

using IdList = QList<qint64>;

class TestPaginator : public QObject
{
    Q_OBJECT

    ViewsFixture fixture;

    bool load(ViewOrdersPaginator &paginator, bool shown = false) { return fixture.load(paginator, shown); }
    static IdList ids(const ViewOrdersPaginator &paginator)
    {
        IdList list;
        for (int i = 0; i < paginator.collection.ids.count; ++i)
            list << paginator.collection.ids.value(i);
        return list;
    }
    // Order-list listeners left in the engine once it has dropped those whose mailbox is gone.
    int listeners()
    {
        SyncFixture::flushDeletions();
        fixture.engine->processTasks();
        int n = 0;
        for (TavrelSynchronizationTask *task : fixture.engine->taskList())
            n += task && task->type() == SyncTaskType::OrderListListener ? 1 : 0;
        return n;
    }
    static PagedRequestManager *pages(const ViewOrdersPaginator &paginator)
    {
        return qobject_cast<PagedRequestManager *>(paginator.request.data());
    }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        fixture.service()->generate(400, 7);
    }
    void cleanupTestCase() { fixture.tearDown(); }
    void init() { fixture.startSubscriber(); }
    void cleanup() { fixture.destroyEngine(); }

    void storedListsKeepOneListenerAndFavouritesResortOnASecondClick()
    {
        fixture.storeRange(1, 12, Entity::OrderList::New);
        fixture.store({{100, Entity::OrderList::Viewed, QStringLiteral("5"), 0},
                       {101, Entity::OrderList::Viewed, QStringLiteral("700"), 2},
                       {102, Entity::OrderList::Viewed, QStringLiteral("60"), 1}});
        ViewOrdersPaginator paginator;
        for (int i = 0; i < 4; ++i)
            paginator.requestNewOrders();
        QVERIFY(paginator.isLoading());
        QVERIFY(load(paginator));
        QCOMPARE(listeners(), 1);
        QVERIFY(paginator.lastLoadSucceeded());
        QVERIFY(!paginator.isLoading());
        QCOMPARE(paginator.collection.count(), 12);
        QCOMPARE(paginator.pageCount(), 2);
        paginator.listType = Entity::OrderList::Viewed;
        QVERIFY(load(paginator));
        QCOMPARE(ids(paginator), (IdList {100, 101, 102}));
        QCOMPARE(listeners(), 1);

        for (qint64 id : {100, 101, 102})
            fixture.favour(id);
        paginator.mode = 1;
        QSignalSpy favourites(&paginator, &ViewOrdersPaginator::favouriteCountChanged);
        QVERIFY(load(paginator));
        QCOMPARE(ids(paginator), (IdList {100, 101, 102}));
        QCOMPARE(favourites.count(), 1);
        paginator.panel.topLineLabelClicked(LINK_SORT_BY_SUM);
        QCOMPARE(ids(paginator), (IdList {100, 102, 101}));
        paginator.panel.topLineLabelClicked(LINK_SORT_BY_SUM);
        QCOMPARE(ids(paginator), (IdList {101, 102, 100}));
    }

    void serverSearchIsSizedAtOnceAndIgnoresLeftPages()
    {
        // Page 2 (the service counts from 1) is slow; the user has moved on when it comes.
        fixture.service()->addFault(LocalServiceFault::delay(1500).onPage(2));
        ViewOrdersPaginator paginator;
        paginator.mode = 3;
        paginator.searchArea = QStringLiteral("CURRENT_ORDERS");
        QVERIFY(load(paginator, true));
        PagedRequestManager *download = pages(paginator);
        QVERIFY(download && download->totalCount > 20);
        QCOMPARE(paginator.collection.count(), download->totalCount);
        QCOMPARE(paginator.pageCount(), (download->totalCount + 9) / 10);
        QVERIFY(paginator.panel.pagerItems().size() > 2);
        // The service's clock runs ahead of UTC.
        const Entity::Order *first = paginator.collection.orders.value(0);
        QCOMPARE(first->openingTime, fixture.service()->data().order(first->id)->openingTime);

        QSignalSpy finished(&paginator, &ViewOrdersPaginator::loadingFinished);
        paginator.setPage(1);
        QVERIFY(paginator.loadingLabel);
        QTRY_VERIFY_WITH_TIMEOUT(download->finishedPages.contains(2), 10000);
        paginator.setPage(2);
        QCOMPARE(finished.count(), 1);
        QVERIFY(!paginator.loadingLabel);
        QVERIFY(paginator.collection.orders.value(20));
        QTRY_VERIFY_WITH_TIMEOUT(download->finishedPages.contains(1), 10000);
        QCOMPARE(finished.count(), 1);
        QCOMPARE(paginator.currentPage(), 2);
        QVERIFY(!paginator.collection.orders.value(10));
    }

    // A new search that finds one order, asked for while a long result is shown; the user pages the old
    // result (0: a click on its "2", else a key) before the new search's first page has come.
    void pagingWhileANewSearchWaits_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("key");
        for (int mode : {3, 4}) {
            const QByteArray search = mode == 3 ? "text search" : "filter search";
            QTest::newRow((search + ", page link").constData()) << mode << 0;
            QTest::newRow((search + ", End").constData()) << mode << int(Qt::Key_End);
        }
    }
    void pagingWhileANewSearchWaits()
    {
        ViewOrdersPaginator paginator;
        paginator.mode = 3;
        paginator.searchArea = QStringLiteral("CURRENT_ORDERS");
        QVERIFY(load(paginator, true));
        QVERIFY(paginator.pageCount() > 2);

        const QList<LocalServiceData::Order> &orders = fixture.service()->data().orders();
        const auto hit = std::find_if(orders.cbegin(), orders.cend(), [](const LocalServiceData::Order &order) {
            return order.closingTime > QDateTime::currentDateTimeUtc();
        });
        QVERIFY(hit != orders.cend());
        const QString words = hit->name + QLatin1Char(' ') + hit->customerFullName;
        Entity::Filter filter;
        filter.resetSearchCriteria();
        filter.wordSerch = words;
        filter.allWordsRequired = true;
        filter.withMorphology = false;
        QFETCH(int, mode);
        paginator.mode = mode;
        paginator.searchText = words;
        paginator.wordsRequired = true;
        paginator.filter = &filter;
        fixture.service()->addFault(LocalServiceFault::delay(300).onPage(1));

        QSignalSpy finished(&paginator, &ViewOrdersPaginator::loadingFinished);
        paginator.requestNewOrders();
        QFETCH(int, key);
        QTableView *table = paginator.panel.tableView();
        if (key) {
            table->setCurrentIndex(paginator.model.index(0, 0));
            QTest::keyClick(table, Qt::Key(key));
        } else {
            emit paginator.panel.pagerItems().at(1)->linkActivated(QStringLiteral("1"));
        }
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 10000);
        QVERIFY(paginator.lastLoadSucceeded());
        QVERIFY(!paginator.isLoading());
        QVERIFY(!paginator.loadingLabel);
        QCOMPARE(paginator.pageCount(), 1);
        QCOMPARE(paginator.currentPage(), 0);
        QCOMPARE(pages(paginator)->currentPage, 0);
        QVERIFY(ids(paginator).contains(hit->id));
        QCOMPARE(paginator.panel.pagerItems().size(), 1);
    }

    void failuresShowOneBoxPerSeries()
    {
        fixture.service()->addFault(LocalServiceFault::failPage(3));
        fixture.service()->addFault(LocalServiceFault::failPage(4));
        MessageBoxDriver driver({QStringLiteral("OK"), QStringLiteral("OK"), QStringLiteral("OK")});
        ViewOrdersPaginator paginator;
        paginator.mode = 3;
        paginator.searchArea = QStringLiteral("CURRENT_ORDERS");
        QVERIFY(load(paginator));
        QVERIFY(paginator.lastLoadSucceeded());
        QSignalSpy finished(&paginator, &ViewOrdersPaginator::loadingFinished);
        for (int page : {2, 3, 1, 2}) {
            const int before = finished.count();
            paginator.setPage(page);
            QTRY_VERIFY_WITH_TIMEOUT(finished.count() > before, 15000);
            QCOMPARE(paginator.lastLoadSucceeded(), page == 1);
        }
        QCOMPARE(driver.seen().size(), 2);
        QCOMPARE(driver.seen().first(), QStringLiteral("Ошибка сети|Не удается получить заявки с сервера."));
    }

    void keysPage_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("currentRow");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("page");
        QTest::newRow("End") << 0 << 0 << int(Qt::Key_End) << 3;
        QTest::newRow("Home") << 2 << 3 << int(Qt::Key_Home) << 0;
        QTest::newRow("Down on the last row of the last page") << 3 << 4 << int(Qt::Key_Down) << 3;
        QTest::newRow("PageDown on the last row") << 1 << 9 << int(Qt::Key_PageDown) << 2;
        QTest::newRow("Down inside the page") << 1 << 4 << int(Qt::Key_Down) << 1;
        QTest::newRow("Right") << 0 << 0 << int(Qt::Key_Right) << 1;
        QTest::newRow("Left on the first page") << 0 << 0 << int(Qt::Key_Left) << 0;
        QTest::newRow("Up on the first row") << 2 << 0 << int(Qt::Key_Up) << 1;
        QTest::newRow("End without a current cell") << 0 << -1 << int(Qt::Key_End) << 0;
    }
    void keysPage()
    {
        fixture.storeRange(1, 35, Entity::OrderList::New);
        ViewOrdersPaginator paginator;
        QVERIFY(load(paginator, true));
        QFETCH(int, start);
        QFETCH(int, currentRow);
        QFETCH(int, key);
        paginator.setPage(start);
        QTableView *table = paginator.panel.tableView();
        if (currentRow >= 0)
            table->setCurrentIndex(paginator.model.index(currentRow, 0));
        QTest::keyClick(table, Qt::Key(key));
        QTEST(paginator.currentPage(), "page");
        // Return marks the current row of the page shown, and no order of another page.
        QTest::keyClick(table, Qt::Key_Return);
        const QModelIndex current = table->currentIndex();
        for (qint64 id = 1; id <= 35; ++id) {
            const bool marked = current.isValid()
                && id == paginator.collection.ids.value(paginator.model.absoluteIndex(current.row()));
            QCOMPARE(fixture.storedType(id), marked ? Entity::OrderList::Viewed : Entity::OrderList::New);
        }
    }

    // An empty server list: a paging key keeps the view's own meaning (with no current cell, the view
    // makes one current) and a page asked for is bounded to the list. The download is not reset and
    // no overlay stays up.
    void emptyServerListIgnoresPaging_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("page");
        for (const Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_PageUp, Qt::Key_Home, Qt::Key_End, Qt::Key_Right,
                                  Qt::Key_Down, Qt::Key_PageDown})
            QTest::newRow(qPrintable(QKeySequence(key).toString())) << int(key) << 0;
        for (const int page : {-1, 5})
            QTest::newRow(qPrintable(QStringLiteral("page %1").arg(page))) << 0 << page;
    }
    void emptyServerListIgnoresPaging()
    {
        ViewOrdersPaginator paginator;
        paginator.mode = 3;
        paginator.searchArea = QStringLiteral("CURRENT_ORDERS");
        paginator.searchText = QStringLiteral("qqqzzzxxx");
        QVERIFY(load(paginator, true));
        QCOMPARE(paginator.pageCount(), 0);
        QFETCH(int, key);
        QFETCH(int, page);
        QTableView *table = paginator.panel.tableView();
        if (key) {
            QVERIFY(!table->currentIndex().isValid());
            QTest::keyClick(table, Qt::Key(key));
            QVERIFY(table->currentIndex().isValid());
        } else {
            paginator.setPage(page);
        }
        QVERIFY(!paginator.loadingLabel);
        QCOMPARE(pages(paginator)->currentPage, 0);
        QCOMPARE(paginator.currentPage(), 0);
    }

    // A service that announces more orders than a list can hold: the list is cut to the largest one.
    void hugeServerTotalIsCapped()
    {
        fixture.service()->addFault(LocalServiceFault::orderCount(2147483647));
        ViewOrdersPaginator paginator;
        paginator.mode = 3;
        paginator.searchArea = QStringLiteral("CURRENT_ORDERS");
        QVERIFY(load(paginator));
        QVERIFY(paginator.lastLoadSucceeded());
        QCOMPARE(paginator.collection.count(), int(ViewOrdersPaginator::MaxServerTotal));
        QCOMPARE(paginator.collection.ids.count, int(ViewOrdersPaginator::MaxServerTotal));
    }

    void deleteAll_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<int>("list");
        QTest::addColumn<int>("favourites");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<int>("questions");
        QTest::addColumn<int>("newLeft");
        QTest::addColumn<int>("viewedLeft");
        QTest::addColumn<int>("counterSignals");
        QTest::addColumn<int>("favouriteRequests");
        const int New = Entity::OrderList::New;
        const int Viewed = Entity::OrderList::Viewed;
        const QString yes = QStringLiteral("Да");
        const QString no = QStringLiteral("Нет");
        const QString remove = QStringLiteral("Удалить");
        QTest::newRow("empty list asks nothing") << 0 << Viewed << 0 << QStringList() << 0 << 4 << 0 << 0 << 0;
        QTest::newRow("new: delete, then no") << 0 << New << 0 << QStringList {remove, no} << 2 << 4 << 0 << 0 << 0;
        QTest::newRow("new: no") << 0 << New << 1 << QStringList {no} << 1 << 4 << 0 << 0 << 0;
        QTest::newRow("new: yes moves to viewed") << 0 << New << 1 << QStringList {yes} << 1 << 0 << 4 << 1 << 0;
        QTest::newRow("new, all favourites: delete")
            << 0 << New << 4 << QStringList {remove, yes} << 2 << 0 << 0 << 1 << 1;
        QTest::newRow("new, some favourites: delete")
            << 0 << New << 2 << QStringList {remove, yes} << 2 << 2 << 0 << 1 << 0;
        QTest::newRow("favourites: yes") << 1 << New << 2 << QStringList {yes} << 1 << 4 << 0 << 1 << 1;
    }
    void deleteAll()
    {
        QFETCH(int, mode);
        QFETCH(int, list);
        QFETCH(int, favourites);
        QFETCH(QStringList, answers);
        fixture.storeRange(1, 4, Entity::OrderList::New);
        for (int i = 1; i <= favourites; ++i)
            fixture.favour(i);
        ViewOrdersPaginator paginator;
        paginator.mode = mode;
        paginator.listType = list;
        QVERIFY(load(paginator));
        QSignalSpy counter(&paginator, &ViewOrdersPaginator::dbCounterChanged);
        QSignalSpy favouriteRequests(&paginator, &ViewOrdersPaginator::favouritesRemovedQueryRequests);
        MessageBoxDriver driver(answers);
        paginator.panel.topLineLabelClicked(LINK_DELETE_ALL);
        QTEST(int(driver.seen().size()), "questions");
        QVERIFY(driver.missed().isEmpty());
        QTEST(fixture.query->newOrdersCount(fixture.login), "newLeft");
        QTEST(fixture.query->viewedOrdersCount(fixture.login), "viewedLeft");
        QTEST(int(counter.count()), "counterSignals");
        QTEST(int(favouriteRequests.count()), "favouriteRequests");
    }

    void filterSearchLetsGoOfTheFilter()
    {
        ViewOrdersPaginator paginator;
        paginator.mode = 4;
        QSignalSpy finished(&paginator, &ViewOrdersPaginator::loadingFinished);
        paginator.requestNewOrders();
        QCOMPARE(finished.count(), 1);
        QVERIFY(!paginator.lastLoadSucceeded());
        QVERIFY(!paginator.isLoading());

        auto *filter = new Entity::Filter;
        filter->resetSearchCriteria();
        paginator.filter = filter;
        paginator.requestNewOrders();
        QVERIFY(!paginator.filter);
        delete filter;
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 2, 15000);
        QVERIFY(paginator.lastLoadSucceeded());
        QVERIFY(paginator.collection.count() > 10);
        // Coming back to a stored page replaces its records; the old ones are freed (the leak
        // checker watches).
        paginator.setPage(1);
        QTRY_VERIFY_WITH_TIMEOUT(paginator.collection.orders.value(10), 15000);
        const QVariant secondPage = pages(paginator)->pageRequest(1)->result.value(KEY_ORDERS);
        Entity::Order *first = paginator.collection.orders.value(0);
        paginator.setPage(0);
        QVERIFY(paginator.collection.orders.value(0) != first);
        QCOMPARE(paginator.collection.orders.map.size(), 20);
        // The service's list has moved on: page 0 now brings the orders of page 1. The records they
        // land on are freed once, and page 1 keeps its own.
        Entity::Order *second = paginator.collection.orders.value(10);
        NetworkRequestContext moved;
        moved.result.insert(KEY_ORDERS, secondPage);
        paginator.reload(pages(paginator), &moved);
        QCOMPARE(paginator.collection.orders.value(10), second);
        QCOMPARE(paginator.collection.orders.value(0)->id, second->id);
        QCOMPARE(paginator.collection.ids.value(0), second->id);
        QCOMPARE(paginator.collection.orders.map.size(), 20);
    }
};

TAVREL_TEST_MAIN(TestPaginator)
#include "tst_paginator.moc"
