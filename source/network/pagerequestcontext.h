#ifndef PAGEREQUESTCONTEXT_H
#define PAGEREQUESTCONTEXT_H

#include "networkrequestcontext.h"

class PagedRequestManager;

// One page of a paged order download. It travels inside a login wrapper and hears of its
// completion from that wrapper, after a possible re-login; it then hands its orders to its manager.
class PageRequestContext : public NetworkRequestContext
{
    Q_OBJECT
public:
    explicit PageRequestContext(QObject *parent = nullptr);
    ~PageRequestContext() override;

    // Guarded: a page left running outside the window may outlive its manager.
    QPointer<PagedRequestManager> manager;
    int pageNumber = -1;
    int bytesTotal = 0;
    int bytesReceived = 0;

    QNetworkReply *send(bool track) override;
    bool processReply() override;

    void mergePageResult(bool ok);

    // Reads the total order count a page reply carries as Orders/Count below the root element.
    static bool readTotalCount(const QByteArray &body, int *count);

public slots:
    void downloadReceived(qlonglong br, qlonglong bt);
    void downloadCompleted(QObject *sender);
};

#endif // PAGEREQUESTCONTEXT_H
