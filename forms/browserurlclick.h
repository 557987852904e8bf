#ifndef BROWSERURLCLICK_H
#define BROWSERURLCLICK_H

#include <QObject>
#include <QUrl>

// One address waiting for a web login before it is opened in the browser. It opens the address when
// the login answers (with the new session when the address is one of the service's own pages) and then
// deletes itself.
class BrowserUrlClick : public QObject
{
    Q_OBJECT

public:
    explicit BrowserUrlClick(const QString &address, QObject *parent = nullptr);

    QUrl url;

public slots:
    void loginComplete();

private:
    bool done = false;
};

#endif // BROWSERURLCLICK_H
