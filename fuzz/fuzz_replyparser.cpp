// Feeds arbitrary bytes as the body of every reply kind to the reply parser, and to the reader of
// a page reply's total count. The parser must never crash, hang or read out of bounds, whatever
// the service sends.

#include "constants.h"
#include "networkreplyparser.h"
#include "networkrequestcontext.h"
#include "pagerequestcontext.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>

namespace {

const int REPLY_KINDS[] = {
    NetworkRequestKind::Login,
    NetworkRequestKind::NewOrders,
    NetworkRequestKind::Favourites,
    NetworkRequestKind::FavouritesSynchronize,
    NetworkRequestKind::FavouriteCreate,
    NetworkRequestKind::FavouriteDelete,
    NetworkRequestKind::Search,
    NetworkRequestKind::SearchPage,
    NetworkRequestKind::NewOrdersPage,
    NetworkRequestKind::Subscriptions,
    NetworkRequestKind::SubscriptionsSynchronize,
    NetworkRequestKind::SubscriptionSave,
    NetworkRequestKind::SubscriptionDelete,
    NetworkRequestKind::GeoPlaces,
    NetworkRequestKind::EconomicSectors,
    NetworkRequestKind::LoginWrapper,
    NetworkRequestKind::ReadOrder,
};

// What every receiver relies on, whatever the body: a reply that yields data says S_OK, and the
// order replies always carry a result code (an empty "Result" the service sent stays as it is).
void checkResult(int kind, const QVariantMap &result)
{
    const QString code = result.value(KEY_RESULT).toString();
    for (const QString &dataKey : {KEY_ORDERS, KEY_REGIONS, KEY_BRANCHES, KEY_FILTERS, KEY_FAVOURITES}) {
        if (result.contains(dataKey) && code != S_OK) {
            __builtin_trap();
        }
    }
    const bool orderReply = kind == NetworkRequestKind::NewOrders || kind == NetworkRequestKind::Search
        || kind == NetworkRequestKind::SearchPage || kind == NetworkRequestKind::NewOrdersPage
        || kind == NetworkRequestKind::ReadOrder;
    if (orderReply && !result.contains(KEY_RESULT)) {
        __builtin_trap();
    }
}

bool isSuccess(const QVariantMap &result)
{
    const QString code = result.value(KEY_RESULT).toString();
    return code == S_OK || code == S_VERSION_GOOD || code == S_VERSION_OLD;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    for (int kind : REPLY_KINDS) {
        const bool unreadable = NetworkReplyParser::isUnreadable(body, NetworkReplyParser::preparationOf(kind));
        for (int status : {200, 500}) {
            NetworkRequestContext context;
            context.kind = kind;
            context.httpStatus = status;
            context.result.insert(KEY_BYTE_ARRAY, body);
            NetworkReplyParser::parse(&context);
            checkResult(kind, context.result);
            // A broken body or an error status is never a success, whatever the document kept.
            if ((unreadable || (status != 200 && !body.trimmed().isEmpty())) && isSuccess(context.result)) {
                __builtin_trap();
            }
        }
    }
    int count = 0;
    PageRequestContext::readTotalCount(body, &count);
    return 0;
}
