#ifndef NETWORKCONSTANTS_H
#define NETWORKCONSTANTS_H

#include <QByteArray>
#include <QString>

// The service's base URL without a trailing slash. TAVREL_BASE_URL replaces the loopback
// default; it is read once, on the first call. Every URL_* constant holds only a path:
// the full address is baseUrl() + URL_LOGIN.
QString baseUrl();

// Keys of result maps and request parameters.
extern const QString KEY_RESULT;
extern const QString KEY_SYNC_RESULT;
extern const QString KEY_UPDATE_URL;
extern const QString KEY_SESSION;
extern const QString KEY_SAVE_LOGIN_AND_PASSWORD;
extern const QString KEY_BYTE_ARRAY;
extern const QString KEY_HTTP_STATUS_CODE;
extern const QString KEY_REPLY_ERROR_STRING;
// The query item that carries the session into pages of the service's web site.
extern const QString QUERY_ITEM_SESSION;

// Keys of a synchronization listener's result map.
extern const QString KEY_NOTIFY_BEFORE_SYNC;
extern const QString KEY_DELAY_SYNC;
extern const QString KEY_NOTIFY_AFTER_SYNC;
extern const QString KEY_NOTIFY_ERROR;
extern const QString KEY_REQUIRE_IMMEDIATE_REACTION;
extern const QString KEY_ORDERS_NOT_IN_DB_COUNT;
// Request parameters of a listener's mailbox, and the filters task's mark of a refused push.
extern const QString KEY_LIST_TYPE;
extern const QString KEY_WITH_ORDERS;
extern const QString KEY_MODE;
extern const QString KEY_ERROR_PROCESS_UNSYNC_FILTER_REQUEST;

// Result codes; each constant's name is its value.
extern const QString S_OK;
extern const QString S_VERSION_GOOD;
extern const QString S_VERSION_OLD;
extern const QString E_VERSION_BAD;
extern const QString E_CLIENT;
extern const QString E_SERVER;
extern const QString E_INVALID_USERNAME_OR_PASSWORD;
extern const QString E_LOGIN_NOT_RESPOND_SERVER;
extern const QString E_ABORT_CLIENT;
extern const QString E_INVALID_ID;

// Request paths of the service's API.
extern const QString URL_LOGIN;
extern const QString URL_NEW_ORDERS;
extern const QString URL_NEW_ORDERS_PAGE;
extern const QString URL_FAVOURITES;
extern const QString URL_FAVOURITE_CREATE;
extern const QString URL_FAVOURITE_DELETE;
extern const QString URL_FAVOURITES_SYNCHRONIZE;
extern const QString URL_SEARCH;
extern const QString URL_SUBSCRIPTIONS;
extern const QString URL_SUBSCRIPTION_CREATE;
extern const QString URL_SUBSCRIPTION_UPDATE;
extern const QString URL_SUBSCRIPTION_DELETE;
extern const QString URL_SUBSCRIPTIONS_SYNCHRONIZE;
extern const QString URL_ORDER_READ;
extern const QString URL_GEO_PLACES;
extern const QString URL_ECONOMIC_SECTORS;

// Paths of the service's web pages, opened in the browser.
extern const QString URL_REGISTRATION;
extern const QString URL_PROFILE;
extern const QString URL_ORDER_SUBSCRIPTIONS;
extern const QString URL_BILLS;
extern const QString URL_ORDER_CREATE;
extern const QString URL_MY_ORDERS;
extern const QString URL_COMPANY;
extern const QString URL_BANK_GUARANTEE;

// Directories relative to the settings file's directory.
extern const QString CACHE_DIR;
extern const QString COOKIES_DIR;

// HTTP names.
extern const QByteArray HEADER_SESSION;
extern const QByteArray HEADER_WORKSTATION_HASH;
extern const QString CACHE_CONTROL_EXTENSION;
extern const QString CACHE_CONTROL_NO_SAVE;
extern const QString COOKIE_PHP_SESSION;

// Longest a request may go without progress before the access manager abandons it, unless the
// caller set its own limit.
constexpr int NETWORK_TRANSFER_TIMEOUT_MSEC = 60000;

// Parameters of the search and paged requests (the request builder's own keys).
extern const QString PARAM_ROWS_PER_PAGE;
extern const QString PARAM_PAGE_NUMBER;
extern const QString PARAM_ROWS_COUNT;
extern const QString PARAM_SEARCH_AREA;
extern const QString PARAM_SEARCH_TEXT;
extern const QString PARAM_MORPHOLOGY;
extern const QString PARAM_WORDS_REQUIRED;

// Noise the service may put into order replies; removed before they are parsed.
extern const QByteArray REPLY_NOISE_MARKER;

#endif // NETWORKCONSTANTS_H
