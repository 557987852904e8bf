#ifndef MAILBOXSPY_H
#define MAILBOXSPY_H

#include "constants.h"
#include "networkrequestcontext.h"

#include <QObject>
#include <QPointer>

#include <algorithm>

// Keeps the argument and the result's keys of each emission of a mailbox; a delaying spy answers
// every before-sync question with a delay.
class MailboxSpy : public QObject
{
public:
    explicit MailboxSpy(NetworkRequestContext *mailbox)
        : mailbox(mailbox)
    {
        connect(mailbox, &NetworkRequestContext::replyFinished, this, [this](QObject *argument) {
            calls.append({argument, this->mailbox->result.keys()});
            if (delay && this->mailbox->result.contains(KEY_NOTIFY_BEFORE_SYNC))
                this->mailbox->result.insert(KEY_DELAY_SYNC, true);
        });
    }

    int count(const QString &key) const
    {
        return int(
            std::count_if(calls.begin(), calls.end(), [&](const auto &call) { return call.second.contains(key); }));
    }

    QPointer<NetworkRequestContext> mailbox;
    bool delay = false;
    QList<QPair<QObject *, QStringList>> calls;
};

#endif // MAILBOXSPY_H
