#ifndef PAGEDREQUESTMANAGER_H
#define PAGEDREQUESTMANAGER_H

#include "networkrequestcontext.h"

#include <QList>
#include <QMap>

class PageRequestContext;

// A paged order download (search results or new orders). It sends nothing itself: it keeps page
// requests in a window around the current page, merges each finished page into its result map and
// reports it with replyFinished(page). Finished pages stay in memory and are reported again, without
// the network, when the owner returns to them.
class PagedRequestManager : public NetworkRequestContext
{
    Q_OBJECT
public:
    explicit PagedRequestManager(QObject *parent = nullptr);
    ~PagedRequestManager() override;

    int newOrders = 0;
    int precachePageCount = 6;
    int currentPage = -1;
    int totalCount = -1;
    int rowsPerPage = 10;
    // Page index -> the login wrapper carrying that page.
    QMap<int, QPointer<NetworkRequestContext>> finishedPages;
    QMap<int, QPointer<NetworkRequestContext>> runningPages;
    // Wrappers of pages that fell out of the window after receiving half their bytes; they keep
    // downloading and belong to the manager until they finish.
    QList<QPointer<NetworkRequestContext>> detachedPages;

    QNetworkReply *send(bool track) override;
    void abort() override;
    bool isRunning() const override;
    void cancelSilently() override;

    void setCurrentPage(int page);
    NetworkRequestContext *pageRequest(int page) const;
    int pageCount() const;
    void resetPages();
    void createPageRequest();

    void setRowsPerPage(int rows);

    // Called by a page when it finishes or dies: removes the entries that hold its wrapper (or
    // a wrapper that no longer exists), never the entry of a newer request for the same index.
    void forgetPage(int page, NetworkRequestContext *pageWrapper);
    // Stores a page that finished with success; false when the index already holds a stored page.
    bool storeFinishedPage(int page, NetworkRequestContext *pageWrapper);

private:
    NetworkRequestContext *buildPageRequest(int page);
};

#endif // PAGEDREQUESTMANAGER_H
