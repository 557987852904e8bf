#ifndef MESSAGEBOXDRIVER_H
#define MESSAGEBOXDRIVER_H

#include <QAbstractButton>
#include <QApplication>
#include <QPointer>
#include <QTimer>

// Answers the modal windows a test brings up: each time one is active, it records the window's title
// and text, then clicks the button whose text is the next answer (mnemonic ampersands ignored).
// Without an answer left, or without such a button, the window is closed and the miss recorded, so a
// test never hangs on a box it did not expect.
class MessageBoxDriver
{
public:
    explicit MessageBoxDriver(const QStringList &answers = {})
        : m_answers(answers)
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] { answer(); });
        m_timer.start(10);
    }

    void setAnswers(const QStringList &answers) { m_answers = answers; }
    // "title|text" of every modal window met, in order.
    const QStringList &seen() const { return m_seen; }
    // The answers that found no button.
    const QStringList &missed() const { return m_missed; }

private:
    void answer()
    {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal == m_last)
            return;
        m_last = modal;
        m_seen << modal->windowTitle() + QLatin1Char('|') + modal->property("text").toString();
        const QString wanted = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
        for (QAbstractButton *button : modal->findChildren<QAbstractButton *>()) {
            if (!wanted.isNull() && button->isVisible() && button->text().remove(QLatin1Char('&')) == wanted)
                return button->click();
        }
        m_missed << wanted;
        modal->close();
    }

    QStringList m_answers;
    QStringList m_seen;
    QStringList m_missed;
    QPointer<QWidget> m_last;
    QTimer m_timer;
};

#endif // MESSAGEBOXDRIVER_H
