#ifndef LOCALSERVICEUSER_H
#define LOCALSERVICEUSER_H

#include <QString>

// A subscriber known to the stand-in service. The password is kept only as the lower-case hex
// MD5 digest of its UTF-8 text, which is what the client sends.
class LocalServiceUser
{
public:
    QString login;
    QString passwordDigest;
    bool fullAccess = true;
    QString id; // the "ID" of the login reply's "User"
    QString fullName; // "FullName"
    QString subjectShortName; // "EconomicSubjectShortName"

    static QString digest(const QString &password);
};

#endif // LOCALSERVICEUSER_H
