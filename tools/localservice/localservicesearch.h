#ifndef LOCALSERVICESEARCH_H
#define LOCALSERVICESEARCH_H

#include "localservicedata.h"

#include <QDate>
#include <QDomElement>
#include <QList>
#include <QStringList>

// The search criteria of a search request (free text or a saved search's criteria) and the test
// of one order against them, as the stand-in service applies them.
class LocalServiceSearch
{
public:
    // Reads the criteria from the children of "Request"; `now` (UTC) separates current orders
    // (closing later) from archived ones.
    LocalServiceSearch(const QDomElement &request, const QDateTime &now);

    bool matches(const LocalServiceData::Order &order) const;

private:
    bool matchesText(const QString &text) const;

    QDateTime now;
    bool archive = false;
    QStringList words;
    bool morphology = false;
    bool allWords = false;
    QList<qint64> regions;
    QList<qint64> branches;
    double amountFrom = 0;
    double amountTo = 0;
    QString orderType;
    QStringList placementMethods; // allowed method names; empty: any
    QDate openingFrom, openingTo, closingFrom, closingTo;
};

#endif // LOCALSERVICESEARCH_H
