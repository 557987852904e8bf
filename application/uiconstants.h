#ifndef UICONSTANTS_H
#define UICONSTANTS_H

#include <QString>

// Internal links of the rich-text views; windows compare activated links with them.
extern const QString LINK_SCHEME;
extern const QString LINK_FAVOURITE_ADD;
extern const QString LINK_FAVOURITE_DEL;
extern const QString LINK_ORDER_READ;
extern const QString LINK_SORT_BY_ID;
extern const QString LINK_SORT_BY_DATE;
extern const QString LINK_SORT_BY_SUM;
extern const QString LINK_DELETE_ALL;
extern const QString LINK_GOTO_SITE;
extern const QString LINK_RETURN;
extern const QString LINK_ADD_FAVOURITE;
extern const QString LINK_NEW_ORDERS;

// Style fragments of navigation and page links; the views swap one for the other in a label's text.
extern const QString LINK_STYLE_SELECTED;
extern const QString LINK_STYLE_UNSELECTED;
extern const QString PAGE_LINK_STYLE_CURRENT;
extern const QString PAGE_LINK_STYLE_NORMAL;

#endif // UICONSTANTS_H
