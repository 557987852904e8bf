#include "appsettings.h"
#include "constants.h"
#include "networkrequestcontext.h"
#include "testapplication.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

template<typename T> T *child(QObject *parent, const char *name)
{
    T *found = parent->findChild<T *>(QLatin1String(name));
    if (!found)
        qFatal("no child %s", name);
    return found;
}

// Receives the links the program asks the desktop to open, so that no browser starts.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls << url; }
};

class TestVersionCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void statusOfOneReply_data();
    void statusOfOneReply();
    void withoutContextTrueUntilUnsupported();
    void outdatedDialogShowsOnceAndTheProgramGoesOn();
    void unsupportedDialogEndsTheProgram();
    void unsupportedAfterOutdatedReplacesTheDialog();
    void unsupportedStaysStickyWhenLaterRepliesAreFine();
    void updateLinkIsEscaped();
    void activatedLink_data();
    void activatedLink();

private:
    std::unique_ptr<NetworkRequestContext> reply(const QString &code, const QString &url = QString());
    // Runs the event loop until the program ends (returns 0) or `limitMs` passes (returns -1); `onDialog` runs
    // while the dialog is up and must close it.
    int runUntilExit(int limitMs, const std::function<void()> &onDialog);

    TavrelApplication *app = nullptr;
    UrlCatcher catcher;
};

void TestVersionCheck::initTestCase()
{
    app = TavrelApplication::instance();
    QVERIFY(app);
    // As in the program: only the version check and the windows end the event loop.
    app->setQuitOnLastWindowClosed(false);
    for (const char *scheme : {"http", "https", "file", "ftp", "javascript"})
        QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
}

void TestVersionCheck::cleanupTestCase()
{
    for (const char *scheme : {"http", "https", "file", "ftp", "javascript"})
        QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
}

void TestVersionCheck::init()
{
    app->resetVersionCheckForTesting();
    catcher.urls.clear();
}

std::unique_ptr<NetworkRequestContext> TestVersionCheck::reply(const QString &code, const QString &url)
{
    auto context = std::make_unique<NetworkRequestContext>();
    if (!code.isNull())
        context->result.insert(KEY_RESULT, code);
    if (!url.isNull())
        context->result.insert(KEY_UPDATE_URL, url);
    return context;
}

int TestVersionCheck::runUntilExit(int limitMs, const std::function<void()> &onDialog)
{
    // The application's own loop, as in the program: ending the program ends it (a nested QEventLoop
    // would not run again once the application has been told to exit).
    QTimer poll;
    bool handled = false;
    poll.setInterval(20);
    connect(&poll, &QTimer::timeout, [&] {
        if (!handled && app->versionForm.isVisible()) {
            handled = true;
            onDialog();
        }
    });
    poll.start();
    QTimer limit;
    limit.setSingleShot(true);
    connect(&limit, &QTimer::timeout, [] { QCoreApplication::exit(-1); });
    limit.start(limitMs);
    return QCoreApplication::exec();
}

void TestVersionCheck::statusOfOneReply_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QString>("codeAfter");
    QTest::addColumn<bool>("scheduled");
    QTest::newRow("good") << S_VERSION_GOOD << true << S_OK << false;
    QTest::newRow("old") << S_VERSION_OLD << true << S_VERSION_OLD << true;
    QTest::newRow("bad") << E_VERSION_BAD << false << E_VERSION_BAD << true;
    QTest::newRow("plain ok") << S_OK << true << S_OK << false;
    QTest::newRow("server error") << E_SERVER << true << E_SERVER << false;
    QTest::newRow("no code") << QString() << true << QString() << false;
}

void TestVersionCheck::statusOfOneReply()
{
    QFETCH(QString, code);
    QFETCH(bool, result);
    QFETCH(QString, codeAfter);
    QFETCH(bool, scheduled);
    auto context = reply(code, QStringLiteral("http://example.test/new"));
    QCOMPARE(app->processVersionStatus(context.get()), result);
    QCOMPARE(context->result.contains(KEY_RESULT), !code.isNull());
    QCOMPARE(context->result.value(KEY_RESULT).toString(), codeAfter);
    QCOMPARE(app->versionDialogScheduled, scheduled);
    QCOMPARE(app->versionTimer.isActive(), scheduled);
    QVERIFY(!app->versionForm.isVisible());
}

void TestVersionCheck::withoutContextTrueUntilUnsupported()
{
    QObject notAContext;
    QVERIFY(app->processVersionStatus(nullptr));
    QVERIFY(app->processVersionStatus(&notAContext));
    auto bad = reply(E_VERSION_BAD);
    QVERIFY(!app->processVersionStatus(bad.get()));
    QVERIFY(!app->processVersionStatus(nullptr));
}

void TestVersionCheck::outdatedDialogShowsOnceAndTheProgramGoesOn()
{
    auto first = reply(S_VERSION_OLD, QStringLiteral("http://example.test/setup.exe"));
    QVERIFY(app->processVersionStatus(first.get()));
    QString shownText;
    bool oldShown = false;
    bool badShown = true;
    const int code = runUntilExit(1500, [&] {
        oldShown = child<QLabel>(&app->versionForm, "lbOldVersion")->isVisible();
        badShown = child<QLabel>(&app->versionForm, "lbBadVersion")->isVisible();
        shownText = child<QLabel>(&app->versionForm, "lbOldVersion")->text();
        app->versionForm.reject();
    });
    QCOMPARE(code, -1); // closing the outdated dialog does not end the program
    QVERIFY(oldShown);
    QVERIFY(!badShown);
    QVERIFY(shownText.contains(QStringLiteral("Таврел. Версия 1.2.1.0")));
    QVERIFY(shownText.contains(QStringLiteral("Вы пользуетесь устаревшей версией.")));
    QCOMPARE(shownText.count(QStringLiteral("http://example.test/setup.exe")), 2);
    QVERIFY(!shownText.contains(QStringLiteral("%1")) && !shownText.contains(QStringLiteral("%2")));

    auto second = reply(S_VERSION_OLD, QStringLiteral("http://example.test/setup.exe"));
    QVERIFY(app->processVersionStatus(second.get()));
    QVERIFY(!app->versionTimer.isActive());
    bool shownAgain = false;
    runUntilExit(300, [&] {
        shownAgain = true;
        app->versionForm.reject();
    });
    QVERIFY(!shownAgain);
}

void TestVersionCheck::unsupportedDialogEndsTheProgram()
{
    auto bad = reply(E_VERSION_BAD, QStringLiteral("https://example.test/get"));
    QVERIFY(!app->processVersionStatus(bad.get()));
    QString shownText;
    const int code = runUntilExit(3000, [&] {
        shownText = child<QLabel>(&app->versionForm, "lbBadVersion")->text();
        QVERIFY(!child<QLabel>(&app->versionForm, "lbOldVersion")->isVisible());
        app->versionForm.reject();
    });
    QCOMPARE(code, 0);
    QVERIFY(shownText.contains(QStringLiteral("Данная версия больше не поддерживается.")));
    QVERIFY(shownText.contains(QStringLiteral("href=\"https://example.test/get\"")));
}

void TestVersionCheck::unsupportedAfterOutdatedReplacesTheDialog()
{
    auto old = reply(S_VERSION_OLD, QStringLiteral("http://example.test/a"));
    QVERIFY(app->processVersionStatus(old.get()));
    QString oldText;
    QString badText;
    bool badShown = false;
    const int code = runUntilExit(3000, [&] {
        oldText = child<QLabel>(&app->versionForm, "lbOldVersion")->text();
        // While the outdated dialog is up, a reply declares the version unsupported.
        auto bad = reply(E_VERSION_BAD, QStringLiteral("http://example.test/b"));
        QVERIFY(!app->processVersionStatus(bad.get()));
        QTimer::singleShot(50, [&] {
            badShown = app->versionForm.isVisible() && child<QLabel>(&app->versionForm, "lbBadVersion")->isVisible()
                && !child<QLabel>(&app->versionForm, "lbOldVersion")->isVisible();
            badText = child<QLabel>(&app->versionForm, "lbBadVersion")->text();
            app->versionForm.reject();
        });
    });
    QCOMPARE(code, 0);
    QVERIFY(oldText.contains(QStringLiteral("http://example.test/a")));
    QVERIFY(badShown);
    QVERIFY(badText.contains(QStringLiteral("http://example.test/b")));
}

void TestVersionCheck::unsupportedStaysStickyWhenLaterRepliesAreFine()
{
    auto bad = reply(E_VERSION_BAD);
    QVERIFY(!app->processVersionStatus(bad.get()));
    const int code = runUntilExit(3000, [&] {
        // Replies that arrive while the dialog is up do not revive the client.
        auto fine = reply(S_OK);
        QVERIFY(!app->processVersionStatus(fine.get()));
        auto good = reply(S_VERSION_GOOD);
        QVERIFY(!app->processVersionStatus(good.get()));
        app->versionForm.reject();
    });
    QCOMPARE(code, 0);
    QVERIFY(app->isVersionUnsupported());
    QVERIFY(!app->processVersionStatus(nullptr));
}

void TestVersionCheck::updateLinkIsEscaped()
{
    auto bad = reply(E_VERSION_BAD, QStringLiteral("http://e.test/?a=1&b=<b>x</b>\"q"));
    QVERIFY(!app->processVersionStatus(bad.get()));
    const QString text = child<QLabel>(&app->versionForm, "lbBadVersion")->text();
    QVERIFY(!text.contains(QStringLiteral("<b>x</b>")));
    QVERIFY(text.contains(QStringLiteral("http://e.test/?a=1&amp;b=&lt;b&gt;x&lt;/b&gt;&quot;q")));
    app->resetVersionCheckForTesting();
}

void TestVersionCheck::activatedLink_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("opened");
    QTest::newRow("http") << "http://example.test/setup"
                          << "http://example.test/setup";
    QTest::newRow("https") << "https://example.test/setup"
                           << "https://example.test/setup";
    QTest::newRow("upper-case scheme") << "HTTPS://example.test/x"
                                       << "https://example.test/x";
    QTest::newRow("file") << "file:///etc/passwd" << baseUrl();
    QTest::newRow("javascript") << "javascript:alert(1)" << baseUrl();
    QTest::newRow("empty") << "" << baseUrl();
}

void TestVersionCheck::activatedLink()
{
    QFETCH(QString, link);
    QFETCH(QString, opened);
    auto old = reply(S_VERSION_OLD, link);
    QVERIFY(app->processVersionStatus(old.get()));
    const int code = runUntilExit(3000, [&] {
        // The user clicks the link in the label.
        emit child<QLabel>(&app->versionForm, "lbOldVersion")->linkActivated(link);
    });
    QCOMPARE(code, 0); // the link ends the program, outdated or not
    QCOMPARE(catcher.urls.size(), 1);
    QCOMPARE(catcher.urls.first(), QUrl(opened));
    QVERIFY(!app->versionForm.isVisible());
}

TAVREL_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
