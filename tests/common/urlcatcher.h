#ifndef URLCATCHER_H
#define URLCATCHER_H

#include <QList>
#include <QObject>
#include <QStringList>
#include <QUrl>

// Receives the addresses the program asks the desktop to open, so that no browser starts: a test hands
// it to QDesktopServices::setUrlHandler for the schemes it watches. Each address is also noted as "open"
// in `log` when one is given, in order with anything else the test notes there.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;
    QStringList *log = nullptr;

public slots:
    void open(const QUrl &url)
    {
        urls << url;
        if (log)
            *log << QStringLiteral("open");
    }
};

#endif // URLCATCHER_H
