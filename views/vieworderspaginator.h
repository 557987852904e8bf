#ifndef VIEWORDERSPAGINATOR_H
#define VIEWORDERSPAGINATOR_H

#include "networkrequestcontext.h"
#include "orderslazycollection.h"
#include "ordersresultpanel.h"
#include "viewordersmodel.h"

#include <QObject>
#include <QPointer>
#include <QString>

class PagedRequestManager;
class QLabel;

namespace Entity {
class Filter;
}

// Drives one paged order list on screen: it owns the result panel, the page model and the lazy
// collection, starts the request that brings the list, fills the collection from the reply, keeps the
// page links, the loading overlay and keyboard paging in step, re-sorts on the sort links and runs the
// delete-all action. The owner sets mode, listType, the search fields and filter before
// requestNewOrders().
//
// Modes: 0 a stored list of listType (through an order-list listener of the engine); 1 the favourites;
// 3 a text search on the service; 4 a search by the saved search in `filter`, page by page.
class ViewOrdersPaginator : public QObject
{
    Q_OBJECT

public:
    explicit ViewOrdersPaginator(QObject *parent = nullptr);
    ~ViewOrdersPaginator() override;

    // Starts loading the list of the present mode. Every call ends with loadingFinished(), also when no
    // request could be made.
    void requestNewOrders();
    // Fills the collection for the present mode; both null re-reads a database list.
    void reload(PagedRequestManager *pages, NetworkRequestContext *reply);
    // Shows another page; ignored while a new server search waits for its first page.
    void setPage(int page);
    bool isLoading() const { return indicatorShown; }
    int pageCount() const { return model.pageCount(); }
    int currentPage() const { return model.currentPage(); }
    // Whether the last request ended with a list (false after a failure or when none could be made).
    bool lastLoadSucceeded() const { return loadSucceeded; }
    void setTitle(const QString &counter);
    void setListName(const QString &name);
    QString listName() const { return panel.title(); }
    void showLoadingLabel();
    void centerLoadingLabel();
    void cancelLoading();

    // The largest list a server search may announce; a larger total is cut to it.
    static const int MaxServerTotal = 1000000;

    int sortKey = 0;
    bool ascending = true;
    OrdersResultPanel panel;
    QPointer<NetworkRequestContext> request;
    ViewOrdersModel model;
    OrdersLazyCollection collection;
    bool errorShown = false;
    int listType;
    QString searchText;
    QString searchArea;
    bool morphology = false;
    bool wordsRequired = false;
    int mode = 0;
    // Borrowed; read only while requestNewOrders builds a mode-4 request, then set to null.
    Entity::Filter *filter = nullptr;
    QLabel *loadingLabel = nullptr;
    bool indicatorShown = false;
    bool resetPending = true;

signals:
    void loadingFinished();
    void favouriteCountChanged();
    void dbCounterChanged();
    void favouritesRemovedQueryRequests();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private slots:
    void newOrdersReceived(QObject *context);
    void pageActivated(int index);
    void userClickedSort();
    void userClickedRemoveAll();

private:
    PagedRequestManager *serverPages() const;
    // A new server search has not reported its first page yet. Until then its total is unknown and the
    // list shown is the one it replaces: a page of that list asked for from the new download would be
    // fetched out of turn or never, and the search would never end its loading.
    bool awaitingFirstPage() const;
    // Asks the server list's download for a page, with the overlay up until it comes.
    void requestServerPage(int page);
    // Lets go of the request made before: a listener mailbox or a search download is released, a
    // favourites load (which ends itself) only disconnected.
    void dropRequest();
    void endLoading();
    void refreshStrip(int centerPage);
    // One question box; the index of the button chosen, or -1.
    int ask(const QString &text, const QStringList &buttons);
    void afterRemoveAll();
    bool handlePagingKey(int key);

    int requestMode = -1;
    bool loadSucceeded = false;
};

#endif // VIEWORDERSPAGINATOR_H
