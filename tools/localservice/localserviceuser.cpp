#include "localserviceuser.h"

#include <QCryptographicHash>

QString LocalServiceUser::digest(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}
