#ifndef DATABASECONSTANTS_H
#define DATABASECONSTANTS_H

#include <QString>

// Table names: SQL texts take them through their %1 placeholder, never as literals.
extern const QString TABLE_MIGRATION_HISTORY;
extern const QString TABLE_USER;
extern const QString TABLE_USER_SETTINGS;
extern const QString TABLE_ORDERS;
extern const QString TABLE_FAVOURITES;
extern const QString TABLE_FILTERS;
extern const QString TABLE_BRANCHES;
extern const QString TABLE_REGIONS;
extern const QString TABLE_FILTER_REGIONS;
extern const QString TABLE_FILTER_BRANCHES;
extern const QString TABLE_PROXY_SETTINGS;

// Field keys of record maps and request parameters (lower case: the lower-cased column names).
extern const QString KEY_ID;
extern const QString KEY_LOCAL_ID;
extern const QString KEY_ORDER_ID;
extern const QString KEY_STATE;
extern const QString KEY_TYPE;
extern const QString KEY_LOGIN;
extern const QString KEY_PASSWORD;
extern const QString KEY_FULL_ACCESS;
extern const QString KEY_NAME;
extern const QString KEY_PARENT_ID;
extern const QString KEY_CHANGE_DATE;
extern const QString KEY_FILTER_ID;
extern const QString KEY_REGION_CHANGE_DATE;
extern const QString KEY_BRANCH_CHANGE_DATE;

// Order record keys.
extern const QString KEY_OPENING_TIME;
extern const QString KEY_CLOSING_TIME;
extern const QString KEY_BRANCH;
extern const QString KEY_REGION;
extern const QString KEY_PLACEMENT_METHOD;
extern const QString KEY_AMOUNT;
extern const QString KEY_ORIGINAL_TITLE;
extern const QString KEY_GOS_ID;
extern const QString KEY_FINANCING_SOURCE;
extern const QString KEY_CURRENCY_NAME;
extern const QString KEY_INFORMATION;
extern const QString KEY_APPLICATION_GUARANTEE;
extern const QString KEY_CONTRACT_GUARANTEE;
extern const QString KEY_SUBJECT_FULL_NAME;
extern const QString KEY_SUBJECT_SHORT_NAME;
extern const QString KEY_LEGAL_FORM_NAME;
extern const QString KEY_OGRN_INN_KPP;
extern const QString KEY_ORDER_SOURCE_URI;
extern const QString KEY_DOC_NAMES;
extern const QString KEY_DOC_URLS;
extern const QString KEY_COMMERCIAL;
extern const QString KEY_ECONOMIC_SECTOR_PARENT_NAME;
extern const QString KEY_GEO_PLACE_NAME;
extern const QString KEY_CONTACT_NAMES;
extern const QString KEY_CONTACT_VALUES;
extern const QString KEY_URL;

// Filter record keys ("wordserch" is spelled like its column).
extern const QString KEY_DISPLAY_ORDER;
extern const QString KEY_SEARCH_AREA;
extern const QString KEY_WORD_SERCH;
extern const QString KEY_ENABLED;
extern const QString KEY_WITH_MORPHOLOGY;
extern const QString KEY_ALL_WORDS_REQUIRED;
extern const QString KEY_AMOUNT_ORDERS_FROM;
extern const QString KEY_AMOUNT_ORDERS_TO;
extern const QString KEY_OPENING_TIME_FROM;
extern const QString KEY_OPENING_TIME_TO;
extern const QString KEY_CLOSING_TIME_FROM;
extern const QString KEY_CLOSING_TIME_TO;
extern const QString KEY_FILTER_CHANGE_DATE;
extern const QString KEY_WORDS_EXCEPTIONS;
extern const QString KEY_FILTER_BRANCHES;
extern const QString KEY_FILTER_REGIONS;
extern const QString KEY_ORDER_TYPE;
extern const QString KEY_OPEN_COMPETITION;
extern const QString KEY_PRICE_QUOTATION;
extern const QString KEY_ELECTRONIC_AUCTION;
extern const QString KEY_PRESELECTION;
extern const QString KEY_EASY_PURCHASE;

// Filter code values.
extern const QString SEARCH_AREA_CURRENT_ORDERS;
extern const QString SEARCH_AREA_ARCHIVE_ORDERS;
extern const QString ORDER_TYPE_COMMERCIAL;
extern const QString ORDER_TYPE_OFFICIAL;
extern const QString ORDER_TYPE_ALL;

// List keys of result maps and request parameters (the same texts as the table names).
extern const QString KEY_BRANCHES;
extern const QString KEY_REGIONS;
extern const QString KEY_FILTERS;
extern const QString KEY_FAVOURITES;
extern const QString KEY_ORDERS;

// Column keys of the per-user settings row and of the proxy settings row.
extern const QString SETTING_LOGIN;
extern const QString SETTING_WORK_MODE_IN_BACKGROUND;
extern const QString SETTING_NEW_ORDERS_REFRESH_INTERVAL_TIME;
extern const QString SETTING_USE_AUTO_ENTER;
extern const QString SETTING_AUTO_ENTER_TIMEOUT;
extern const QString SETTING_AUTO_BOOT_APP;
extern const QString PROXY_TYPE;
extern const QString PROXY_HOST_NAME;
extern const QString PROXY_PORT;
extern const QString PROXY_AUTH_LOGIN;
extern const QString PROXY_AUTH_PASSWORD;

#endif // DATABASECONSTANTS_H
