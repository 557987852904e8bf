#include "appsettings.h"
#include "constants.h"
#include "formtesthelpers.h"
#include "networkrequestcontext.h"
#include "testapplication.h"
#include "urlcatcher.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

class TestVersionCheck : public QObject
{
    Q_OBJECT

    TavrelApplication *app = nullptr;
    UrlCatcher catcher;

    static std::unique_ptr<NetworkRequestContext> reply(const QString &code, const QString &url = QString())
    {
        auto context = std::make_unique<NetworkRequestContext>();
        if (!code.isNull())
            context->result.insert(KEY_RESULT, code);
        if (!url.isNull())
            context->result.insert(KEY_UPDATE_URL, url);
        return context;
    }

    QLabel *label(const char *name) const { return child<QLabel>(&app->versionForm, name); }

    // Runs the application's own loop, as the program does (a nested QEventLoop would not run again once the
    // application has been told to exit). `onShown` runs each time the dialog comes up (0, 1, ...) and must close
    // it. Returns the program's exit code, or -1 once the dialogs are closed and the program went on.
    int runDialogs(const std::function<void(int)> &onShown)
    {
        EventCounter shows(QEvent::Show);
        app->versionForm.installEventFilter(&shows);
        QTimer tick;
        int handled = 0;
        int quietTicks = 0;
        connect(&tick, &QTimer::timeout, [&] {
            if (shows.count > handled)
                onShown(handled++);
            // An unsupported version ends the program by itself; anything else goes on after its dialog. Two
            // quiet ticks in a row: an exit asked for in between ends the loop before the second one.
            const bool quiet = handled > 0 && !app->isVersionUnsupported() && !app->versionForm.isVisible()
                && !app->versionTimer.isActive();
            quietTicks = quiet ? quietTicks + 1 : 0;
            if (quietTicks >= 2)
                QCoreApplication::exit(-1);
        });
        tick.start(20);
        QTimer::singleShot(60000, [] { QCoreApplication::exit(-2); }); // only against a hang
        const int code = QCoreApplication::exec();
        app->versionForm.removeEventFilter(&shows);
        return code;
    }

private slots:
    void initTestCase()
    {
        app = TavrelApplication::instance();
        QVERIFY(app);
        // As in the program: only the version check and the windows end the event loop.
        app->setQuitOnLastWindowClosed(false);
        // The handlers go with the catcher.
        for (const char *scheme : {"http", "https", "file", "ftp", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &catcher, "open");
    }

    void init()
    {
        app->resetVersionCheckForTesting();
        catcher.urls.clear();
    }

    void statusOfOneReply_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QString>("codeAfter");
        QTest::addColumn<bool>("scheduled");
        QTest::newRow("good") << S_VERSION_GOOD << true << S_OK << false;
        QTest::newRow("old") << S_VERSION_OLD << true << S_VERSION_OLD << true;
        QTest::newRow("bad") << E_VERSION_BAD << false << E_VERSION_BAD << true;
        QTest::newRow("server error") << E_SERVER << true << E_SERVER << false;
        QTest::newRow("no code") << QString() << true << QString() << false;
    }

    void statusOfOneReply()
    {
        QFETCH(QString, code);
        QFETCH(bool, result);
        QFETCH(QString, codeAfter);
        QFETCH(bool, scheduled);
        auto context = reply(code, QStringLiteral("http://example.test/new"));
        QCOMPARE(app->processVersionStatus(context.get()), result);
        QCOMPARE(context->result.contains(KEY_RESULT), !code.isNull());
        QCOMPARE(context->result.value(KEY_RESULT).toString(), codeAfter);
        // Never shown from inside the check: the caller's stack first returns to the event loop.
        QCOMPARE(app->versionTimer.isActive(), scheduled);
        QVERIFY(!app->versionForm.isVisible());

        QObject notAContext;
        QCOMPARE(app->processVersionStatus(nullptr), result);
        QCOMPARE(app->processVersionStatus(&notAContext), result);
    }

    void activatedLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened"); // empty: the dialog is closed instead
        QTest::addColumn<int>("exitCode");
        QTest::newRow("closed: the program goes on") << "http://example.test/setup.exe" << QString() << -1;
        // Following the link ends the program; only web links reach the browser.
        QTest::newRow("http") << "http://example.test/setup"
                              << "http://example.test/setup" << 0;
        QTest::newRow("upper-case scheme") << "HTTPS://example.test/x"
                                           << "https://example.test/x" << 0;
        QTest::newRow("file") << "file:///etc/passwd" << baseUrl() << 0;
        QTest::newRow("javascript") << "javascript:alert(1)" << baseUrl() << 0;
    }

    void activatedLink()
    {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        auto old = reply(S_VERSION_OLD, link);
        QVERIFY(app->processVersionStatus(old.get()));
        QString shownText;
        const int code = runDialogs([&](int) {
            QVERIFY(!label("lbBadVersion")->isVisible());
            shownText = label("lbOldVersion")->text();
            if (opened.isEmpty())
                app->versionForm.reject();
            else
                emit label("lbOldVersion")->linkActivated(link);
        });
        QTEST(code, "exitCode");
        QCOMPARE(shownText.count(link), 2);
        QVERIFY(!shownText.contains(QStringLiteral("%1")) && !shownText.contains(QStringLiteral("%2")));
        QCOMPARE(catcher.urls, opened.isEmpty() ? QList<QUrl>() : QList<QUrl> {QUrl(opened)});
        QVERIFY(!app->versionForm.isVisible());

        // Once per run: a second outdated reply schedules nothing.
        auto second = reply(S_VERSION_OLD, link);
        QVERIFY(app->processVersionStatus(second.get()));
        QVERIFY(!app->versionTimer.isActive());
    }

    void unsupportedReplacesTheOutdatedDialogEndsTheProgramAndStaysSticky()
    {
        auto old = reply(S_VERSION_OLD, QStringLiteral("http://example.test/a"));
        QVERIFY(app->processVersionStatus(old.get()));
        QStringList texts;
        const int code = runDialogs([&](int shown) {
            const bool bad = label("lbBadVersion")->isVisible();
            QCOMPARE(label("lbOldVersion")->isVisible(), !bad);
            texts << (bad ? label("lbBadVersion")->text() : label("lbOldVersion")->text());
            if (shown == 0) {
                // While the outdated dialog is up, a reply declares the version unsupported.
                auto badReply = reply(E_VERSION_BAD, QStringLiteral("https://example.test/b"));
                QVERIFY(!app->processVersionStatus(badReply.get()));
                return;
            }
            // Replies that arrive while the dialog is up do not revive the client.
            for (const QString &later : {S_OK, S_VERSION_GOOD, S_VERSION_OLD}) {
                auto fine = reply(later);
                QVERIFY(!app->processVersionStatus(fine.get()));
            }
            app->versionForm.reject();
        });
        QCOMPARE(code, 0);
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts.at(0).contains("http://example.test/a"));
        QVERIFY(texts.at(1).contains("href=\"https://example.test/b\""));
        QVERIFY(app->isVersionUnsupported());
        QVERIFY(!app->processVersionStatus(nullptr));
    }

    void updateLinkIsEscaped()
    {
        auto bad = reply(E_VERSION_BAD, QStringLiteral("http://e.test/?a=1&b=<b>x</b>\"q"));
        QVERIFY(!app->processVersionStatus(bad.get()));
        const QString text = label("lbBadVersion")->text();
        QVERIFY(!text.contains(QStringLiteral("<b>x</b>")));
        QVERIFY(text.contains(QStringLiteral("http://e.test/?a=1&amp;b=&lt;b&gt;x&lt;/b&gt;&quot;q")));
    }
};

TAVREL_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
