#include "networkconstants.h"

#include <QDir>

namespace {
const char DEFAULT_BASE_URL[] = "http://127.0.0.1:8765";

QString readBaseUrl()
{
    QString url = qEnvironmentVariable("TAVREL_BASE_URL").trimmed();
    if (url.isEmpty())
        url = QString::fromLatin1(DEFAULT_BASE_URL);
    while (url.endsWith(QLatin1Char('/')))
        url.chop(1);
    return url;
}
} // namespace

QString baseUrl()
{
    static const QString url = readBaseUrl();
    return url;
}

const QString KEY_RESULT = QStringLiteral("XMLResponseResult");
const QString KEY_SYNC_RESULT = QStringLiteral("SyncXMLResponseResult");
const QString KEY_UPDATE_URL = QStringLiteral("UpdateUrl");
const QString KEY_SESSION = QStringLiteral("TavrelSession");
const QString KEY_SAVE_LOGIN_AND_PASSWORD = QStringLiteral("SaveLoginAndPassword");
const QString KEY_BYTE_ARRAY = QStringLiteral("ByteArray");
const QString KEY_HTTP_STATUS_CODE = QStringLiteral("HttpStatusCode");
const QString KEY_REPLY_ERROR_STRING = QStringLiteral("ReplyErrorString");
const QString QUERY_ITEM_SESSION = QStringLiteral("session");

const QString KEY_NOTIFY_BEFORE_SYNC = QStringLiteral("NotifyBeforeSync");
const QString KEY_DELAY_SYNC = QStringLiteral("DelaySync");
const QString KEY_NOTIFY_AFTER_SYNC = QStringLiteral("NotifyAfterSync");
const QString KEY_NOTIFY_ERROR = QStringLiteral("NotifyError");
const QString KEY_REQUIRE_IMMEDIATE_REACTION = QStringLiteral("RequireImmediateReaction");
const QString KEY_ORDERS_NOT_IN_DB_COUNT = QStringLiteral("OrdersNotInDbCount");
const QString KEY_LIST_TYPE = QStringLiteral("Type");
const QString KEY_WITH_ORDERS = QStringLiteral("WithOrders");
const QString KEY_MODE = QStringLiteral("Mode");
const QString KEY_ERROR_PROCESS_UNSYNC_FILTER_REQUEST = QStringLiteral("ErrorProcessUnsyncFilterRequest");

const QString S_OK = QStringLiteral("S_OK");
const QString S_VERSION_GOOD = QStringLiteral("S_VERSION_GOOD");
const QString S_VERSION_OLD = QStringLiteral("S_VERSION_OLD");
const QString E_VERSION_BAD = QStringLiteral("E_VERSION_BAD");
const QString E_CLIENT = QStringLiteral("E_CLIENT");
const QString E_SERVER = QStringLiteral("E_SERVER");
const QString E_INVALID_USERNAME_OR_PASSWORD = QStringLiteral("E_INVALID_USERNAME_OR_PASSWORD");
const QString E_LOGIN_NOT_RESPOND_SERVER = QStringLiteral("E_LOGIN_NOT_RESPOND_SERVER");
const QString E_ABORT_CLIENT = QStringLiteral("E_ABORT_CLIENT");
const QString E_INVALID_ID = QStringLiteral("E_INVALID_ID");

const QString URL_LOGIN = QStringLiteral("/api/login");
const QString URL_NEW_ORDERS = QStringLiteral("/api/orders/new");
const QString URL_NEW_ORDERS_PAGE = QStringLiteral("/api/orders/new");
const QString URL_FAVOURITES = QStringLiteral("/api/orders/favorites");
const QString URL_FAVOURITE_CREATE = QStringLiteral("/api/orders/favorites/create");
const QString URL_FAVOURITE_DELETE = QStringLiteral("/api/orders/favorites/delete");
const QString URL_FAVOURITES_SYNCHRONIZE = QStringLiteral("/api/orders/favorites/synchronize");
const QString URL_SEARCH = QStringLiteral("/api/orders/search");
const QString URL_SUBSCRIPTIONS = QStringLiteral("/api/orders/subscriptions");
const QString URL_SUBSCRIPTION_CREATE = QStringLiteral("/api/orders/subscriptions/create");
const QString URL_SUBSCRIPTION_UPDATE = QStringLiteral("/api/orders/subscriptions/update");
const QString URL_SUBSCRIPTION_DELETE = QStringLiteral("/api/orders/subscriptions/delete");
const QString URL_SUBSCRIPTIONS_SYNCHRONIZE = QStringLiteral("/api/orders/subscriptions/synchronize");
const QString URL_ORDER_READ = QStringLiteral("/api/orders/read");
const QString URL_GEO_PLACES = QStringLiteral("/api/register/get/geoplaces");
const QString URL_ECONOMIC_SECTORS = QStringLiteral("/api/register/get/economicsectors");

const QString URL_REGISTRATION = QStringLiteral("/registration");
const QString URL_PROFILE = QStringLiteral("/me");
const QString URL_ORDER_SUBSCRIPTIONS = QStringLiteral("/ordersubscriptions");
const QString URL_BILLS = QStringLiteral("/bills");
const QString URL_ORDER_CREATE = QStringLiteral("/order/create");
const QString URL_MY_ORDERS = QStringLiteral("/orders/me");
const QString URL_COMPANY = QStringLiteral("/company");
const QString URL_BANK_GUARANTEE = QStringLiteral("/bankguarantee");

const QString CACHE_DIR = QStringLiteral("CacheDir");
const QString COOKIES_DIR = QStringLiteral("CacheDir") + QDir::separator() + QStringLiteral("Cookies");

const QByteArray HEADER_SESSION = QByteArrayLiteral("X-Tavrel-Session");
const QByteArray HEADER_WORKSTATION_HASH = QByteArrayLiteral("X-Tavrel-Workstation-Hash");
const QString CACHE_CONTROL_EXTENSION = QStringLiteral("cache-extension");
const QString CACHE_CONTROL_NO_SAVE = QStringLiteral("no-save");
const QString COOKIE_PHP_SESSION = QStringLiteral("PHPSESSID");

const QString PARAM_ROWS_PER_PAGE = QStringLiteral("RowsPerPage");
const QString PARAM_PAGE_NUMBER = QStringLiteral("PageNumber");
const QString PARAM_ROWS_COUNT = QStringLiteral("RowsCount");
const QString PARAM_SEARCH_AREA = QStringLiteral("SearchArea");
const QString PARAM_SEARCH_TEXT = QStringLiteral("SearchText");
const QString PARAM_MORPHOLOGY = QStringLiteral("Morphology");
const QString PARAM_WORDS_REQUIRED = QStringLiteral("WordsRequired");

const QByteArray REPLY_NOISE_MARKER = QByteArrayLiteral("&Dorvalt");
