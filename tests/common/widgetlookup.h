#ifndef WIDGETLOOKUP_H
#define WIDGETLOOKUP_H

#include <QObject>
#include <QString>

// The named child of a form; a missing child ends the test at once, since every later check would be void.
template<typename T> T *child(const QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QString::fromLatin1(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

#endif // WIDGETLOOKUP_H
