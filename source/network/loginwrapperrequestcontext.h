#ifndef LOGINWRAPPERREQUESTCONTEXT_H
#define LOGINWRAPPERREQUESTCONTEXT_H

#include "networkrequestcontext.h"

// A login request that can carry another request: it sends the carried request and, when that
// is refused for bad credentials, logs in once with its own login and password digest and sends
// the carried request again. Its owner receives the carried request's result as its own.
// Without a carried request it is a plain login request.
class LoginWrapperRequestContext : public NetworkRequestContext
{
    Q_OBJECT
public:
    explicit LoginWrapperRequestContext(QObject *parent = nullptr);
    ~LoginWrapperRequestContext() override;

    bool reloginAllowed = true;

    QNetworkReply *send(bool track) override;
    void abort() override;
    bool processReply() override;
    void cancelSilently() override;

public slots:
    void subRequestFinish(QObject *sender);

private:
    void reportCarriedResult(const QString &code);
};

#endif // LOGINWRAPPERREQUESTCONTEXT_H
