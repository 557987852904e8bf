#ifndef AUTHORIZATIONFORM_H
#define AUTHORIZATIONFORM_H

#include <QDateTime>
#include <QFrame>
#include <QPoint>
#include <QString>
#include <QStringList>
#include <QTimer>

class NetworkRequestContext;

namespace Ui {
class AuthorizationForm;
}

// The login window: takes a login and a password (or stands a remembered user's stored digest for the
// password), can log in by itself after a countdown, hands the credentials to the synchronization engine
// and, on its answer, either opens the main window or shows why not. Closing it ends the program.
class AuthorizationForm : public QFrame
{
    Q_OBJECT

public:
    explicit AuthorizationForm(QWidget *parent = nullptr);
    ~AuthorizationForm() override;

    // Prefills the form from the most recently remembered user.
    void loadLastSavedUser();
    // Lower-case hexadecimal MD5 of the password's UTF-8 bytes, exactly as typed.
    static QString passwordHash(const QString &password);
    void refreshUserList();

    // What the password field shows while a stored digest stands for the password.
    static const QString PASSWORD_PLACEHOLDER;
    static const int REPLY_WAIT_MS = 7000;
    static const int COUNTER_REFRESH_MS = 500;
    static const int MIN_AUTO_ENTER_MS = 2000;

    QStringList rememberedLogins;
    Ui::AuthorizationForm *ui;

    // State that tests look at.
    bool isUsingStoredPassword() const { return useStoredPassword; }
    bool isAutoEnterArmed() const { return autoEnterTimer.isActive(); }
    int autoEnterIntervalMs() const { return autoEnterTimer.interval(); }
    bool isWaitingForAnswer() const { return undoTimer.isActive(); }
    // How long a login may go unanswered before the form reports no access (REPLY_WAIT_MS); a test
    // seam, so that tests need not wait that long.
    void setReplyWait(int msecs) { undoTimer.setInterval(msecs); }

private slots:
    void stopAutoEnterTimer();
    void enterButtonClicked();
    void exitButtonClicked();
    void authorizationReceived(NetworkRequestContext *sender);
    void userSelected();
    void finishUndo();
    void proxySettingsClicked();
    void autoEnterRefresh();
    void autoEnterTimeout();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void useDigestOf(const QString &login, const QString &digest);
    void forgetStoredPassword();
    void hideMessages();
    void focusLogin();

    QPoint dragStartPos;
    bool dragging = false;
    bool useStoredPassword = false;
    QString storedPassword;
    // The login whose stored digest the placeholder stands for: the digest is never sent with another login.
    QString storedPasswordLogin;
    NetworkRequestContext *versionProbe = nullptr;
    bool firstShow = true;
    QTimer autoEnterTimer;
    QTimer counterTimer;
    QTimer undoTimer;
    QDateTime autoEnterStartTime;
    bool selecting = false;
};

#endif // AUTHORIZATIONFORM_H
