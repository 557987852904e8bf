#include "pagerequestcontext.h"

#include "constants.h"
#include "pagedrequestmanager.h"

#include <QXmlStreamReader>

PageRequestContext::PageRequestContext(QObject *parent)
    : NetworkRequestContext(parent)
{
}

PageRequestContext::~PageRequestContext()
{
    if (manager) {
        manager->forgetPage(pageNumber, wrapper.data());
    }
}

QNetworkReply *PageRequestContext::send(bool track)
{
    if (pageNumber >= 0) {
        parameters.insert(PARAM_PAGE_NUMBER, pageNumber);
    }
    if (parameters.contains(PARAM_PAGE_NUMBER)) {
        pageNumber = parameters.value(PARAM_PAGE_NUMBER).toInt();
    }
    bytesTotal = 0;
    bytesReceived = 0;
    QNetworkReply *newReply = NetworkRequestContext::send(track);
    if (!newReply) {
        return nullptr;
    }
    connect(newReply, &QNetworkReply::downloadProgress, this, &PageRequestContext::downloadReceived);
    // Connected once only: a page sent again after a re-login must still be reported once.
    NetworkRequestContext *reporter = wrapper ? wrapper.data() : this;
    connect(reporter, &NetworkRequestContext::replyFinished, this, &PageRequestContext::downloadCompleted,
            Qt::UniqueConnection);
    return newReply;
}

bool PageRequestContext::processReply()
{
    if (!NetworkRequestContext::processReply()) {
        return false;
    }
    int count = 0;
    // Only a page that arrived whole may tell the count: a cut-short one is fetched again.
    if (manager && manager->totalCount < 0 && result.value(KEY_RESULT).toString() == S_OK
        && readTotalCount(result.value(KEY_BYTE_ARRAY).toByteArray(), &count)) {
        manager->totalCount = count;
        // With the count known the rest of the window is requested before this page is reported.
        manager->createPageRequest();
    }
    return true;
}

bool PageRequestContext::readTotalCount(const QByteArray &body, int *count)
{
    // The same preparation as the order-list reader, so a marker before the count cannot hide it.
    QByteArray data = body.trimmed();
    data.replace(REPLY_NOISE_MARKER, QByteArray());
    QXmlStreamReader xml(data);
    if (!xml.readNextStartElement()) {
        return false;
    }
    while (xml.readNextStartElement()) {
        if (xml.qualifiedName() != QLatin1String("Orders")) {
            xml.skipCurrentElement();
            continue;
        }
        while (xml.readNextStartElement()) {
            if (xml.qualifiedName() == QLatin1String("Count")) {
                *count = xml.readElementText(QXmlStreamReader::IncludeChildElements).toInt();
                return true;
            }
            xml.skipCurrentElement();
        }
        return false;
    }
    return false;
}

void PageRequestContext::downloadReceived(qlonglong br, qlonglong bt)
{
    bytesReceived = int(br);
    bytesTotal = int(bt);
}

void PageRequestContext::downloadCompleted(QObject *sender)
{
    if (sender) {
        return;
    }
    NetworkRequestContext *pageWrapper = wrapper ? wrapper.data() : this;
    PagedRequestManager *owner = manager.data();
    if (!owner) {
        release(pageWrapper);
        return;
    }
    owner->forgetPage(pageNumber, pageWrapper);
    if (result.value(KEY_RESULT).toString() == S_OK) {
        if (owner->storeFinishedPage(pageNumber, pageWrapper)) {
            mergePageResult(true);
        } else {
            // A late duplicate of a page already stored: the stored one stands.
            release(pageWrapper);
        }
        return;
    }
    release(pageWrapper);
    mergePageResult(false);
}

void PageRequestContext::mergePageResult(bool ok)
{
    PagedRequestManager *owner = manager.data();
    if (!owner) {
        return;
    }
    owner->result.insert(KEY_RESULT, ok ? S_OK : E_SERVER);
    owner->result.insert(KEY_ORDERS, result.value(KEY_ORDERS));
    owner->emitReplyFinished(this);
}
