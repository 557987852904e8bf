#include "authorizationform.h"

#include "appsettings.h"
#include "clock.h"
#include "constants.h"
#include "mainwindow.h"
#include "networkrequestconstructor.h"
#include "networkrequestcontext.h"
#include "proxysettingswidget.h"
#include "tavrelapplication.h"
#include "tavreldatabasequery.h"
#include "tavrelsynchronization.h"
#include "ui_authorizationform.h"
#include "valuehelpers.h"

#include <QCloseEvent>
#include <QCompleter>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>

const QString AuthorizationForm::PASSWORD_PLACEHOLDER = QStringLiteral("***********");

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
        return true;
    default:
        return false;
    }
}

} // namespace

AuthorizationForm::AuthorizationForm(QWidget *parent)
    : QFrame(parent)
    , ui(new Ui::AuthorizationForm)
{
    ui->setupUi(this);
    ui->loginErrorMessage->hide();
    ui->lbAccessDenied->hide();
    ui->rememberPassword->hide();
    ui->registerLink->setText(ui->registerLink->text().replace(QStringLiteral("%1"), baseUrl() + URL_REGISTRATION));

    connect(ui->enterButton, &QPushButton::clicked, this, &AuthorizationForm::enterButtonClicked);
    connect(ui->exitButton, &QPushButton::clicked, this, &AuthorizationForm::exitButtonClicked);
    connect(ui->proxyLabel, &ClickableLabel::clicked, this, &AuthorizationForm::proxySettingsClicked);
    ui->password->installEventFilter(this);
    ui->cbLogin->installEventFilter(this);
    ui->enterButton->setDefault(true);
    if (QCompleter *completer = ui->cbLogin->completer())
        completer->setCaseSensitivity(Qt::CaseSensitive);
    connect(ui->cbLogin, &QComboBox::currentTextChanged, this, &AuthorizationForm::userSelected);
    ui->login->hide();
    ui->lbLogin1->hide();
    ui->lbAutoEnterMsg->hide();
    ui->lbCounter->hide();

    setAttribute(Qt::WA_TranslucentBackground);
    setWindowFlags(Qt::FramelessWindowHint);

    autoEnterTimer.setSingleShot(true);
    counterTimer.setInterval(COUNTER_REFRESH_MS);
    counterTimer.setSingleShot(false);
    undoTimer.setInterval(REPLY_WAIT_MS);
    undoTimer.setSingleShot(true);
    connect(&counterTimer, &QTimer::timeout, this, &AuthorizationForm::autoEnterRefresh);
    connect(&autoEnterTimer, &QTimer::timeout, this, &AuthorizationForm::autoEnterTimeout);
    connect(ui->savePassword, &QCheckBox::clicked, this, &AuthorizationForm::stopAutoEnterTimer);
    connect(&undoTimer, &QTimer::timeout, this, &AuthorizationForm::finishUndo);
}

AuthorizationForm::~AuthorizationForm()
{
    delete versionProbe;
    delete ui;
}

QString AuthorizationForm::passwordHash(const QString &password)
{
    return QString::fromLatin1(QCryptographicHash::hash(password.toUtf8(), QCryptographicHash::Md5).toHex());
}

void AuthorizationForm::useDigestOf(const QString &login, const QString &digest)
{
    storedPassword = digest;
    storedPasswordLogin = login;
    useStoredPassword = true;
    ui->password->setText(PASSWORD_PLACEHOLDER);
}

void AuthorizationForm::forgetStoredPassword()
{
    useStoredPassword = false;
    storedPassword = QString();
    storedPasswordLogin = QString();
}

void AuthorizationForm::hideMessages()
{
    ui->loginErrorMessage->hide();
    ui->lbAccessDenied->hide();
}

void AuthorizationForm::focusLogin()
{
    ui->cbLogin->setFocus();
    if (QLineEdit *edit = ui->cbLogin->lineEdit())
        edit->selectAll();
}

void AuthorizationForm::loadLastSavedUser()
{
    forgetStoredPassword();
    TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery();
    if (!query)
        return;
    const auto user = query->lastRememberedUser();
    if (user.first.isNull())
        return;
    ui->savePassword->setChecked(true);
    ui->cbLogin->setEditText(user.first);
    if (!user.second.isNull())
        useDigestOf(user.first, user.second);
}

void AuthorizationForm::showEvent(QShowEvent *event)
{
    TavrelApplication *app = TavrelApplication::instance();
    // The first show asks the service once with empty credentials, so that an update notice can appear
    // before anybody logs in. Its answer goes to the version check only.
    if (!versionProbe && app && app->requestConstructor) {
        const bool remember = false;
        versionProbe = app->requestConstructor->loginRequest(QString(), QString(), &remember);
        if (versionProbe)
            versionProbe->start();
    }

    if (TavrelSynchronization *sync = TavrelApplication::currentSynchronization()) {
        disconnect(sync, nullptr, this, nullptr);
        connect(sync, &TavrelSynchronization::authorizationReceived, this, &AuthorizationForm::authorizationReceived);
    }

    if (TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery())
        rememberedLogins = query->rememberedLogins();
    refreshUserList();

    QFrame::showEvent(event);

    if (firstShow && useStoredPassword) {
        firstShow = false;
        TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery();
        const QVariantMap row = query ? query->userSettings(ui->cbLogin->currentText()) : QVariantMap();
        if (variantIsTrue(row.value(SETTING_USE_AUTO_ENTER))) {
            autoEnterStartTime = Clock::currentDateTimeUtc();
            const qint64 ms = qint64(row.value(SETTING_AUTO_ENTER_TIMEOUT).toInt()) * 1000;
            autoEnterTimer.setInterval(int(qBound<qint64>(MIN_AUTO_ENTER_MS, ms, 24 * 3600 * 1000)));
            autoEnterTimer.start();
            counterTimer.start();
            autoEnterRefresh();
        }
    }
}

void AuthorizationForm::refreshUserList()
{
    // The text only passes through emptiness while the box is refilled: the choice is looked at once,
    // with the text back in place, so that the refill does not drop a stored digest.
    const QString text = ui->cbLogin->currentText();
    selecting = true;
    ui->cbLogin->clear();
    for (const QString &login : qAsConst(rememberedLogins)) {
        ui->cbLogin->addItem(login);
        if (login == text)
            ui->cbLogin->setCurrentIndex(ui->cbLogin->count() - 1);
    }
    ui->cbLogin->setEditText(text);
    selecting = false;
    userSelected();
}

void AuthorizationForm::autoEnterRefresh()
{
    ui->lbAutoEnterMsg->show();
    ui->lbCounter->show();
    const qint64 elapsed = autoEnterStartTime.secsTo(Clock::currentDateTimeUtc());
    const qint64 remaining = autoEnterTimer.interval() / 1000 - elapsed;
    ui->lbCounter->setText(tr("%1 секунд").arg(remaining));
}

void AuthorizationForm::stopAutoEnterTimer()
{
    ui->lbAutoEnterMsg->hide();
    ui->lbCounter->hide();
    autoEnterTimer.stop();
    counterTimer.stop();
}

void AuthorizationForm::autoEnterTimeout()
{
    stopAutoEnterTimer();
    enterButtonClicked();
}

void AuthorizationForm::enterButtonClicked()
{
    stopAutoEnterTimer();
    AppSettings::loadProxySettings();

    // A login of blanks is no login: nothing is sent, and no "network" message follows.
    const QString login = ui->cbLogin->currentText().trimmed();
    if (login.isEmpty()) {
        ui->cbLogin->setFocus();
        return;
    }
    TavrelSynchronization *sync = TavrelApplication::currentSynchronization();
    if (!sync)
        return;

    ui->enterButton->setEnabled(false);
    const bool remember = ui->savePassword->isChecked();
    const QString digest = useStoredPassword ? storedPassword : passwordHash(ui->password->text());
    // The reply wait runs only while a request is really out.
    undoTimer.start();
    sync->login(login, digest, remember);
}

void AuthorizationForm::exitButtonClicked()
{
    close();
}

void AuthorizationForm::authorizationReceived(NetworkRequestContext *sender)
{
    if (!sender)
        return;
    TavrelApplication *app = TavrelApplication::instance();
    if (app && !app->processVersionStatus(sender)) {
        // The update dialog decides now; no "network" message may appear under it.
        undoTimer.stop();
        return;
    }
    ui->enterButton->setEnabled(true);
    undoTimer.stop();

    const QString code = sender->result.value(KEY_SYNC_RESULT).toString();
    if (code == S_OK) {
        hideMessages();
        hide();
        TavrelSynchronization *sync = TavrelApplication::currentSynchronization();
        TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery();
        if (app && sync && query)
            app->fullAccess = query->isFullAccess(sync->currentLogin());
        AppSettings::loadSettings();
        AppSettings::saveSettings();
        if (app && app->mainWindow)
            app->mainWindow->show();
        return;
    }

    // Nobody is logged in now: the balloons, which lead into the main window, go with it.
    if (app) {
        app->baloonSet.clear();
        if (app->mainWindow)
            app->mainWindow->hide();
    }
    show();
    focusLogin();
    if (code == E_INVALID_USERNAME_OR_PASSWORD)
        ui->loginErrorMessage->show();
    else
        ui->lbAccessDenied->show();
}

void AuthorizationForm::userSelected()
{
    if (selecting)
        return;
    const QString text = ui->cbLogin->currentText();

    // The placeholder stands for one user's digest only: another login never goes out with it.
    if (useStoredPassword && text != storedPasswordLogin) {
        forgetStoredPassword();
        ui->password->clear();
    }
    if (!ui->password->text().isEmpty() && !useStoredPassword)
        return;

    hideMessages();
    const int index = rememberedLogins.indexOf(text);
    if (index < 0)
        return;
    selecting = true;
    if (index < ui->cbLogin->count() && ui->cbLogin->currentIndex() != index)
        ui->cbLogin->setCurrentIndex(index);
    selecting = false;

    TavrelDataBaseQuery *query = TavrelApplication::currentDataBaseQuery();
    const QString digest = query ? query->userPassword(text) : QString();
    if (digest.isNull())
        return;
    useDigestOf(text, digest);
    ui->savePassword->setChecked(true);
}

void AuthorizationForm::finishUndo()
{
    show();
    focusLogin();
    ui->lbAccessDenied->show();
    ui->enterButton->setEnabled(true);
}

void AuthorizationForm::proxySettingsClicked()
{
    AppSettings::loadProxySettings();
    TavrelApplication *app = TavrelApplication::instance();
    if (!app || !app->proxySettingsWidget)
        return;
    app->proxySettingsWidget->setProxy(AppSettings::proxy());
    app->proxySettingsWidget->show();
}

bool AuthorizationForm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != ui->cbLogin && watched != ui->password)
        return QFrame::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease && type != QEvent::ShortcutOverride)
        return QFrame::eventFilter(watched, event);

    stopAutoEnterTimer();
    hideMessages();
    if (type != QEvent::KeyPress)
        return QFrame::eventFilter(watched, event);

    const int key = static_cast<QKeyEvent *>(event)->key();
    if (isNavigationKey(key))
        return QFrame::eventFilter(watched, event);

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (ui->cbLogin->currentText().trimmed().isEmpty())
            ui->cbLogin->setFocus();
        else if (watched == ui->cbLogin)
            ui->password->setFocus();
        else
            enterButtonClicked();
        return true;
    }

    if (watched == ui->password && useStoredPassword) {
        ui->password->clear();
        forgetStoredPassword();
    }
    return QFrame::eventFilter(watched, event);
}

void AuthorizationForm::mousePressEvent(QMouseEvent *event)
{
    dragStartPos = event->localPos().toPoint();
    dragging = true;
    stopAutoEnterTimer();
}

void AuthorizationForm::mouseReleaseEvent(QMouseEvent *)
{
    dragging = false;
}

void AuthorizationForm::mouseMoveEvent(QMouseEvent *event)
{
    if (!dragging)
        return;
    move(pos() + (event->localPos().toPoint() - dragStartPos));
}

void AuthorizationForm::closeEvent(QCloseEvent *event)
{
    QFrame::closeEvent(event);
    QCoreApplication::exit(0);
}
