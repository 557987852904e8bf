// Feeds arbitrary bytes as the body of every reply kind to the reply parser, and to the reader of
// a page reply's total count. The parser must never crash, hang or read out of bounds, whatever
// the service sends.

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray body(reinterpret_cast<const char *>(data), int(size));
    for (int kind : REPLY_KINDS) {
        NetworkRequestContext context;
        context.kind = kind;
        context.httpStatus = 200;
        context.result.insert(QStringLiteral("ByteArray"), body);
        NetworkReplyParser::parse(&context);
    }
    int count = 0;
    PageRequestContext::readTotalCount(body, &count);
    return 0;
}
