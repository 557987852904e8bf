#ifndef LOCALSERVICEVOCABULARY_H
#define LOCALSERVICEVOCABULARY_H

#include <QList>
#include <QString>
#include <QStringList>

// The Russian words and names from which the stand-in service builds its data: the federal
// subjects grouped by federal district, a two-level tree of economic sectors with the subjects of
// purchase of each sector, and the parts of customer names. All of it is our own list.
class LocalServiceVocabulary
{
public:
    struct Subject
    {
        int code; // the subject's code, used as the region id
        int district; // index into federalDistricts()
        const char *name;
        const char *city; // its administrative centre
    };
    struct Sector
    {
        int id;
        int parentId; // -1 for a top-level sector
        const char *name;
        QStringList purchases; // leaf sectors: subjects of purchase, each completing "Поставка ..." etc.
    };

    static const QStringList &federalDistricts();
    static const QList<Subject> &subjects();
    static const QList<Sector> &sectors();
    static const QStringList &placementMethods();
    static const QStringList &titleSuffixes();
    static const QStringList &publicCustomers(); // patterns with %1 for a number and %2 for a city
    static const QStringList &commercialCustomers(); // patterns with %1 for a name stem
    static const QStringList &companyStems();
    static const QStringList &surnames();
    static const QStringList &givenNames();
    static const QStringList &patronymics();
    static const QStringList &documentNames();
    static const QStringList &financingSources();
};

#endif // LOCALSERVICEVOCABULARY_H
