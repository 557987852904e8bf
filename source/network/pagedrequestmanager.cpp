#include "pagedrequestmanager.h"

#include "appsettings.h"
#include "constants.h"
#include "corehost.h"
#include "networkrequestconstructor.h"
#include "pagerequestcontext.h"
#include "tavrelsynchronization.h"
#include "valuehelpers.h"

#include <QTimer>

#include <algorithm>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

const int FREED_MEMORY_RETURN_DELAY_MS = 1000;

PageRequestContext *carriedPage(NetworkRequestContext *pageWrapper)
{
    if (!pageWrapper) {
        return nullptr;
    }
    if (auto *page = qobject_cast<PageRequestContext *>(pageWrapper)) {
        return page;
    }
    return qobject_cast<PageRequestContext *>(pageWrapper->subRequest.data());
}

// Each page of a download is parsed into a document and a list of maps that are freed once the page
// is stored; glibc keeps the pages of that freed memory for itself, scattered between live blocks.
// Once the download's last pages have been deleted, it gives them back to the system.
void returnFreedMemorySoon()
{
#ifdef __GLIBC__
    QTimer::singleShot(FREED_MEMORY_RETURN_DELAY_MS, []() { malloc_trim(0); });
#endif
}

void releaseAll(QMap<int, QPointer<NetworkRequestContext>> &pages)
{
    const auto wrappers = pages.values();
    pages.clear();
    for (const QPointer<NetworkRequestContext> &pageWrapper : wrappers) {
        NetworkRequestContext::release(pageWrapper.data());
    }
}

} // namespace

PagedRequestManager::PagedRequestManager(QObject *parent)
    : NetworkRequestContext(parent)
    , precachePageCount(AppSettings::precachePageCount())
{
    setRowsPerPage(AppSettings::rowsPerPage());
}

PagedRequestManager::~PagedRequestManager()
{
    // Pages hold the manager through a guarded pointer, so those still queued for deletion
    // never reach it afterwards.
    releaseAll(runningPages);
    releaseAll(finishedPages);
    const auto detached = detachedPages;
    detachedPages.clear();
    for (const QPointer<NetworkRequestContext> &pageWrapper : detached) {
        release(pageWrapper.data());
    }
}

void PagedRequestManager::setRowsPerPage(int rows)
{
    rowsPerPage = std::max(1, rows);
}

QNetworkReply *PagedRequestManager::send(bool track)
{
    if (!track) {
        return nullptr;
    }
    currentPage = -1;
    setCurrentPage(0);
    NetworkRequestContext *first = pageRequest(0);
    return first ? first->reply.data() : nullptr;
}

void PagedRequestManager::abort()
{
    releaseAll(runningPages);
}

void PagedRequestManager::cancelSilently()
{
    releaseAll(runningPages);
}

bool PagedRequestManager::isRunning() const
{
    for (const QPointer<NetworkRequestContext> &pageWrapper : runningPages) {
        if (pageWrapper && pageWrapper->isRunning()) {
            return true;
        }
    }
    return false;
}

int PagedRequestManager::pageCount() const
{
    return (totalCount - 1) / std::max(1, rowsPerPage) + 1;
}

NetworkRequestContext *PagedRequestManager::pageRequest(int page) const
{
    for (const auto *pages : {&runningPages, &finishedPages}) {
        const auto it = pages->constFind(page);
        if (it != pages->constEnd() && it.value()) {
            return carriedPage(it.value().data());
        }
    }
    return nullptr;
}

void PagedRequestManager::setCurrentPage(int page)
{
    if (page == currentPage) {
        return;
    }
    currentPage = page;
    if (page < 0) {
        resetPages();
        if (newOrders) {
            returnFreedMemorySoon();
        }
        return;
    }
    createPageRequest();
    const auto it = finishedPages.constFind(page);
    if (it != finishedPages.constEnd()) {
        if (PageRequestContext *stored = carriedPage(it.value().data())) {
            stored->mergePageResult(true);
        }
    }
}

void PagedRequestManager::resetPages()
{
    currentPage = -1;
    releaseAll(runningPages);
    releaseAll(finishedPages);
    const auto detached = detachedPages;
    detachedPages.clear();
    for (const QPointer<NetworkRequestContext> &pageWrapper : detached) {
        release(pageWrapper.data());
    }
}

void PagedRequestManager::createPageRequest()
{
    const int rows = std::max(1, rowsPerPage);
    const int window = newOrders ? 0 : precachePageCount;
    const int from = std::max(0, currentPage - window);
    const int last = (totalCount - 1) / rows;
    const int to = std::max(from, std::min(currentPage + window, last));

    if (newOrders) {
        // The new-orders download walks forward once and never shows a page again: a page behind the
        // current one has been stored, and keeping its reply and parsed orders would hold the whole
        // download in memory until it ends.
        while (!finishedPages.isEmpty() && finishedPages.firstKey() < from) {
            release(finishedPages.take(finishedPages.firstKey()).data());
        }
    }

    const QList<int> running = runningPages.keys();
    for (int index : running) {
        if (index >= from && index <= to) {
            continue;
        }
        QPointer<NetworkRequestContext> pageWrapper = runningPages.take(index);
        PageRequestContext *page = carriedPage(pageWrapper.data());
        const bool halfDone
            = page && page->isRunning() && page->bytesTotal > 0 && page->bytesReceived >= page->bytesTotal / 2;
        if (halfDone) {
            detachedPages.append(pageWrapper);
        } else {
            release(pageWrapper.data());
        }
    }

    for (int index = from; index <= to; ++index) {
        if (runningPages.value(index) || finishedPages.value(index)) {
            continue;
        }
        NetworkRequestContext *pageWrapper = buildPageRequest(index);
        if (!pageWrapper) {
            return;
        }
        runningPages.insert(index, pageWrapper);
        pageWrapper->start();
    }
}

NetworkRequestContext *PagedRequestManager::buildPageRequest(int page)
{
    CoreHost *application = CoreHost::instance();
    NetworkRequestConstructor *builder = constructor.data();
    if (!builder && application) {
        builder = application->requestConstructor.data();
    }
    if (!builder) {
        return nullptr;
    }
    const int rows = std::max(1, rowsPerPage);
    NetworkRequestContext *request = nullptr;
    if (parameters.contains(KEY_FILTERS)) {
        request = builder->searchPageRequest(parameters.value(KEY_FILTERS).toMap(), page, rows);
    } else if (newOrders) {
        request = builder->newOrdersPageRequest(page, rows);
    } else {
        request = builder->searchPageRequest(parameters.value(PARAM_SEARCH_AREA).toString(),
                                             parameters.value(PARAM_SEARCH_TEXT).toString(),
                                             variantIsTrue(parameters.value(PARAM_MORPHOLOGY)),
                                             variantIsTrue(parameters.value(PARAM_WORDS_REQUIRED)), page, rows);
    }
    auto *pageContext = qobject_cast<PageRequestContext *>(request);
    if (pageContext) {
        pageContext->manager = this;
    }
    TavrelSynchronization *synchronization = application ? application->synchronization.data() : nullptr;
    NetworkRequestContext *pageWrapper = synchronization ? synchronization->wrapRequest(request) : nullptr;
    if (!pageWrapper || pageWrapper == request) {
        pageWrapper = builder->loginWrapperRequest(QString(), QString(), request);
    }
    return pageWrapper;
}

void PagedRequestManager::forgetPage(int page, NetworkRequestContext *pageWrapper)
{
    for (auto *pages : {&runningPages, &finishedPages}) {
        const auto it = pages->find(page);
        if (it != pages->end() && (!it.value() || it.value().data() == pageWrapper)) {
            pages->erase(it);
        }
    }
    for (int i = detachedPages.size() - 1; i >= 0; --i) {
        if (!detachedPages.at(i) || detachedPages.at(i).data() == pageWrapper) {
            detachedPages.removeAt(i);
        }
    }
}

bool PagedRequestManager::storeFinishedPage(int page, NetworkRequestContext *pageWrapper)
{
    const QPointer<NetworkRequestContext> stored = finishedPages.value(page);
    if (stored && stored.data() != pageWrapper) {
        return false;
    }
    finishedPages.insert(page, pageWrapper);
    return true;
}
