#include "vieworderspaginator.h"

#include "constants.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "order.h"
#include "orderlist.h"
#include "pagedrequestmanager.h"
#include "pagerequestcontext.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>

namespace {

TavrelApplication *app()
{
    return TavrelApplication::instance();
}

TavrelDataBaseQuery *databaseQuery()
{
    return app() ? app()->dataBaseQuery.data() : nullptr;
}

QString currentLogin()
{
    return app() && app()->synchronization ? app()->synchronization->currentLogin() : QString();
}

} // namespace

ViewOrdersPaginator::ViewOrdersPaginator(QObject *parent)
    : QObject(parent)
    , listType(Entity::OrderList::New)
{
    model.setCollection(&collection);
    panel.setModel(&model);
    connect(&model, &ViewOrdersModel::favouriteCountChanged, this, &ViewOrdersPaginator::favouriteCountChanged);
    connect(&panel, &OrdersResultPanel::pageActivated, this, &ViewOrdersPaginator::pageActivated);
    panel.installEventFilter(this);
    panel.tableView()->installEventFilter(this);
    panel.refreshTopLine();
    connect(&panel, &OrdersResultPanel::sortChanged, this, &ViewOrdersPaginator::userClickedSort);
    connect(&panel, &OrdersResultPanel::deleteAllActivated, this, &ViewOrdersPaginator::userClickedRemoveAll);
    panel.setSortLinksVisible(false);
}

ViewOrdersPaginator::~ViewOrdersPaginator()
{
    panel.removeEventFilter(this);
    panel.tableView()->removeEventFilter(this);
    collection.clear();
    dropRequest();
    if (indicatorShown && app())
        app()->stopLoadingIndicator();
}

PagedRequestManager *ViewOrdersPaginator::serverPages() const
{
    NetworkRequestContext *context = request.data();
    if (!context)
        return nullptr;
    if (auto *pages = qobject_cast<PagedRequestManager *>(context))
        return pages;
    return qobject_cast<PagedRequestManager *>(context->subRequest.data());
}

void ViewOrdersPaginator::dropRequest()
{
    NetworkRequestContext *old = request.data();
    request = nullptr;
    if (!old)
        return;
    disconnect(old, nullptr, this, nullptr);
    if (requestMode == 0 || requestMode == 3 || requestMode == 4)
        NetworkRequestContext::release(old);
}

void ViewOrdersPaginator::requestNewOrders()
{
    resetPending = true;
    dropRequest();
    errorShown = false;
    panel.setSortLinksVisible(mode == 0 || mode == 1);

    TavrelSynchronization *engine = app() ? app()->synchronization.data() : nullptr;
    NetworkRequestConstructor *builder = app() ? app()->requestConstructor.data() : nullptr;
    NetworkRequestContext *made = nullptr;
    if (mode == 0 && engine) {
        made = engine->addOrderListListener(listType);
    } else if (mode == 1 && engine) {
        made = engine->addFavouritesLoadTask();
    } else if (mode == 3 && builder) {
        made = builder->searchAllPagesRequest(searchArea, searchText, morphology, wordsRequired, model.pageSize);
    } else if (mode == 4 && builder && filter) {
        made = builder->searchAllPagesRequest(filter, model.pageSize);
    }
    // The filter is borrowed: its owner may delete it as soon as this call returns.
    filter = nullptr;
    // A search opens on its first page. The list turns before the new download becomes current, so
    // nothing is asked of the download, which starts on that page anyway.
    if (made && (mode == 3 || mode == 4))
        setPage(0);
    request = made;
    requestMode = mode;

    if (!made) {
        loadSucceeded = false;
        endLoading();
        emit loadingFinished();
        return;
    }
    connect(made, &NetworkRequestContext::replyFinished, this, &ViewOrdersPaginator::newOrdersReceived);
    if (mode == 3 || mode == 4)
        made->start();
    if (!indicatorShown && app()) {
        app()->showLoadingIndicator();
        indicatorShown = true;
    }
    model.loading = true;
    panel.openRowEditors();
}

void ViewOrdersPaginator::endLoading()
{
    delete loadingLabel;
    loadingLabel = nullptr;
    model.loading = false;
    if (indicatorShown && app())
        app()->stopLoadingIndicator();
    indicatorShown = false;
}

void ViewOrdersPaginator::newOrdersReceived(QObject *context)
{
    auto *source = qobject_cast<NetworkRequestContext *>(sender());
    if (!context || !source)
        return;
    auto *pages = qobject_cast<PagedRequestManager *>(source);
    if (!pages)
        pages = qobject_cast<PagedRequestManager *>(source->subRequest.data());

    // A download's map holds the result of the page it reports; a listener's map says it once.
    QString result;
    if (pages || !source->result.contains(KEY_SYNC_RESULT)) {
        result = source->result.value(KEY_RESULT).toString();
        source->result.insert(KEY_SYNC_RESULT, result);
    } else {
        result = source->result.value(KEY_SYNC_RESULT).toString();
    }
    if (pages) {
        // A page the user has left is not shown, whatever its outcome.
        const auto *page = qobject_cast<PageRequestContext *>(context);
        if (result == S_OK ? pages->pageRequest(pages->currentPage) != context
                           : page && page->pageNumber != pages->currentPage)
            return;
    }

    endLoading();
    if (result == S_OK) {
        errorShown = false;
        loadSucceeded = true;
        reload(pages, source);
        emit loadingFinished();
        return;
    }
    loadSucceeded = false;
    panel.openRowEditors();
    refreshStrip(panel.pagerCenterPage());
    emit loadingFinished();
    if (errorShown)
        return;
    errorShown = true;
    QMessageBox box(QMessageBox::Warning, tr("Ошибка сети"), tr("Не удается получить заявки с сервера."),
                    QMessageBox::Ok, nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint);
    box.exec();
}

void ViewOrdersPaginator::refreshStrip(int centerPage)
{
    panel.setPagesInfo(centerPage, collection.count(), model.pageSize, model.currentPage());
}

void ViewOrdersPaginator::reload(PagedRequestManager *pages, NetworkRequestContext *reply)
{
    collection.listTypeText.clear();
    if (resetPending) {
        collection.clear();
        const int total = pages ? qBound(0, pages->totalCount, int(MaxServerTotal)) : 0;
        if (pages && collection.count() < total) {
            collection.ids.reset(total);
            collection.orders.reset(total);
        }
        resetPending = false;
    }
    TavrelDataBaseQuery *query = databaseQuery();
    const QString login = currentLogin();
    if (mode == 1) {
        const QList<qint64> ids = query ? query->favouriteOrderIds(login, sortKey, ascending) : QList<qint64>();
        collection.clear();
        collection.orders.reset(ids.size());
        for (qint64 id : ids)
            collection.ids.append(id);
        emit favouriteCountChanged();
    } else if (!pages) {
        collection.clear();
        collection.listTypeText = Entity::OrderList::typeToString(Entity::OrderList::Type(listType));
        collection.sortKey = sortKey;
        collection.ascending = ascending;
        collection.reload();
    } else if (reply) {
        Entity::OrderList received(Entity::OrderList::fromServiceMaps(reply->result.value(KEY_ORDERS).toList()));
        const int first = qMax(pages->currentPage * pages->rowsPerPage, 0);
        for (int k = 0; k < received.items.size(); ++k) {
            Entity::Order *order = received.items.at(k);
            const int index = first + k;
            if (index >= MaxServerTotal) {
                delete order;
                continue;
            }
            order->type
                = query ? query->orderType(login, order->id, Entity::OrderList::Search) : Entity::OrderList::Search;
            Entity::Order *previous = collection.orders.value(index);
            collection.orders.set(index, order);
            collection.ids.set(index, order->id);
            if (previous != order)
                delete previous;
        }
    }
    panel.openRowEditors();
    refreshStrip(panel.pagerCenterPage());
}

bool ViewOrdersPaginator::awaitingFirstPage() const
{
    return resetPending && request && (requestMode == 3 || requestMode == 4);
}

void ViewOrdersPaginator::setPage(int page)
{
    if (awaitingFirstPage())
        return;
    page = qBound(0, page, qMax(0, model.pageCount() - 1));
    if (page == model.currentPage())
        return;
    panel.openPage(page);
    refreshStrip(page);
    requestServerPage(page);
}

void ViewOrdersPaginator::requestServerPage(int page)
{
    if (mode != 3 && mode != 4)
        return;
    PagedRequestManager *pages = serverPages();
    if (!pages || pages->currentPage == page || page < 0)
        return;
    showLoadingLabel();
    pages->setCurrentPage(page);
}

void ViewOrdersPaginator::pageActivated(int index)
{
    // The strip marked the link as current when it was clicked.
    if (awaitingFirstPage()) {
        refreshStrip(model.currentPage());
        return;
    }
    panel.openPage(index);
    requestServerPage(index);
}

void ViewOrdersPaginator::setTitle(const QString &counter)
{
    panel.setTitleCounter(counter);
}

void ViewOrdersPaginator::setListName(const QString &name)
{
    panel.setTitle(name);
}

void ViewOrdersPaginator::showLoadingLabel()
{
    if (loadingLabel)
        return;
    loadingLabel = new QLabel(tr("Загрузка страницы ..."), &panel);
    loadingLabel->setFrameShape(QFrame::Panel);
    loadingLabel->setStyleSheet(QStringLiteral("QLabel { background-color : lightGray; color : black; }"));
    loadingLabel->adjustSize();
    loadingLabel->setAlignment(Qt::AlignCenter);
    loadingLabel->resize(int(loadingLabel->width() * 1.5), loadingLabel->height() * 2);
    loadingLabel->show();
    loadingLabel->raise();
    centerLoadingLabel();
}

void ViewOrdersPaginator::centerLoadingLabel()
{
    if (!loadingLabel)
        return;
    loadingLabel->move(panel.width() / 2 - loadingLabel->width() / 2, panel.height() / 2 - loadingLabel->height() / 2);
}

void ViewOrdersPaginator::cancelLoading()
{
    endLoading();
    collection.clear();
    panel.openRowEditors();
    refreshStrip(panel.pagerCenterPage());
    if (request)
        request->abort();
}

bool ViewOrdersPaginator::handlePagingKey(int key)
{
    // Nothing to page through: the keys keep their usual meaning.
    if (model.pageCount() == 0)
        return false;
    const QModelIndex current = panel.tableView()->currentIndex();
    const int column = current.isValid() ? current.column() : -1;
    const int row = current.isValid() ? current.row() : -1;
    const int lastColumn = model.columnCount() - 1;
    const int page = model.currentPage();
    const int lastPage = model.pageCount() - 1;
    int target = -1;
    switch (key) {
    case Qt::Key_Left:
        target = column <= 0 ? qMax(page - 1, 0) : -1;
        break;
    case Qt::Key_Up:
    case Qt::Key_PageUp:
        target = row <= 0 ? qMax(page - 1, 0) : -1;
        break;
    case Qt::Key_Right:
        target = column == lastColumn ? qMin(page + 1, lastPage) : -1;
        break;
    case Qt::Key_Down:
    case Qt::Key_PageDown:
        target = row == model.rowCount() - 1 ? qMin(page + 1, lastPage) : -1;
        break;
    case Qt::Key_Home:
        target = column == 0 ? 0 : -1;
        break;
    case Qt::Key_End:
        target = column == lastColumn ? lastPage : -1;
        break;
    default:
        break;
    }
    if (target < 0)
        return false;
    setPage(target);
    return true;
}

bool ViewOrdersPaginator::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &panel && event->type() == QEvent::Resize)
        centerLoadingLabel();
    else if (watched == panel.tableView() && event->type() == QEvent::KeyPress)
        return handlePagingKey(static_cast<QKeyEvent *>(event)->key()) || QObject::eventFilter(watched, event);
    return QObject::eventFilter(watched, event);
}

void ViewOrdersPaginator::userClickedSort()
{
    sortKey = panel.sortKey;
    ascending = panel.ascending;
    reload(nullptr, nullptr);
    if (mode == 0 && listType == Entity::OrderList::New)
        emit dbCounterChanged();
}

int ViewOrdersPaginator::ask(const QString &text, const QStringList &buttons)
{
    QMessageBox box(QMessageBox::Question, tr("Подтвердите"), text, QMessageBox::NoButton, &panel);
    const QMessageBox::ButtonRole roles[] = {QMessageBox::YesRole, QMessageBox::NoRole, QMessageBox::DestructiveRole};
    QList<QPushButton *> added;
    for (int i = 0; i < buttons.size(); ++i)
        added << box.addButton(buttons.at(i), roles[qMin(i, 2)]);
    box.setDefaultButton(added.value(0));
    box.setEscapeButton(added.value(1));
    box.exec();
    return added.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
}

void ViewOrdersPaginator::afterRemoveAll()
{
    reload(nullptr, nullptr);
    setTitle(QString());
    emit dbCounterChanged();
}

void ViewOrdersPaginator::userClickedRemoveAll()
{
    TavrelDataBaseQuery *query = databaseQuery();
    const QString login = currentLogin();
    if (!query)
        return;
    const QString yes = tr("Да");
    const QString no = tr("Нет");

    if (mode == 1) {
        if (ask(tr("Очистить список избранного полностью?"), {yes, no}) != 0)
            return;
        query->markAllFavouritesDeleted(login);
        afterRemoveAll();
        emit favouritesRemovedQueryRequests();
        return;
    }
    if (mode != 0 || (listType != Entity::OrderList::Viewed && listType != Entity::OrderList::New))
        return;

    const bool viewed = listType == Entity::OrderList::Viewed;
    const int n = viewed ? query->viewedOrdersCount(login) : query->newOrdersCount(login);
    if (n == 0)
        return;
    const int f = query->favouritesOfTypeCount(login, viewed ? QStringLiteral("Viewed") : QStringLiteral("New"));
    // The three wordings: no favourites among them, only favourites, some of each.
    auto pick = [f, n](const QString &none, const QString &all, const QString &some) {
        return f == 0 ? none : f == n ? all : some;
    };
    if (viewed) {
        const QString text = pick(tr("Удалить все просмотренные заявки?"),
                                  tr("Внимание! Заявки так же будут удалены из избранного.\n"
                                     "Удалить все просмотренные заявки?"),
                                  tr("Удалить все просмотренные заявки?\n"
                                     "В результате операции заявки в избранном будут сохранены."));
        if (ask(text, {yes, no}) != 0)
            return;
        query->removeAllViewedOrders(login);
        afterRemoveAll();
        if (f == n)
            emit favouritesRemovedQueryRequests();
        return;
    }
    const QString remove = tr("Удалить");
    const QString text = pick(tr("Переместить все заявки в просмотренные?"),
                              tr("Внимание! При удалении, заявки так же будут удалены из избранного.\n"
                                 "Переместить все заявки в просмотренные?"),
                              tr("Переместить все заявки в просмотренные?\n"
                                 "В результате операции заявки в избранном будут сохранены."));
    const int answer = ask(text, {yes, no, remove});
    if (answer == 0) {
        query->markAllOrdersViewed(login);
        afterRemoveAll();
        return;
    }
    if (answer != 2)
        return;
    const QString second = pick(tr("Действительно удалить все новые заявки?"),
                                tr("Внимание! Заявки так же будут удалены из избранного.\n"
                                   "Действительно удалить все новые заявки?"),
                                tr("Действительно удалить все новые заявки?\n"
                                   "В результате операции заявки в избранном будут сохранены."));
    if (ask(second, {yes, no}) != 0)
        return;
    query->removeAllNewOrders(login);
    afterRemoveAll();
    if (f == n)
        emit favouritesRemovedQueryRequests();
}
