#include "tavrelapplication.h"

TavrelApplication::TavrelApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
}

TavrelApplication::~TavrelApplication() = default;

TavrelApplication *TavrelApplication::instance()
{
    return qobject_cast<TavrelApplication *>(QCoreApplication::instance());
}

void TavrelApplication::setFullAccess(bool value)
{
    fullAccess = value;
}

bool TavrelApplication::processVersionStatus(QObject *sender)
{
    Q_UNUSED(sender)
    return true;
}
