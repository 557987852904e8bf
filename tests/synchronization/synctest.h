#ifndef SYNCTEST_H
#define SYNCTEST_H

#include "syncfixture.h"

// Waits on the stand-in, long enough for a loaded machine under the sanitizers.
#define TRY_VERIFY(condition) QTRY_VERIFY_WITH_TIMEOUT(condition, 20000)
#define TRY_COMPARE(actual, expected) QTRY_COMPARE_WITH_TIMEOUT(actual, expected, 20000)

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

#endif // SYNCTEST_H
