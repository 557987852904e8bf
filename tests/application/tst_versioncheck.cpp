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

// Calls back once each time the version dialog has come up, from inside the dialog's own loop.
class DialogWatcher : public QObject
{
public:
    std::function<void(int)> onShown;
    int shown = 0;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            QTimer::singleShot(0, this, [this] { onShown(shown++); });
        return false;
    }
};

class TestVersionCheck : public QObject
{
    Q_OBJECT

    TavrelApplication *app = nullptr;
    UrlCatcher catcher;
    const QStringList schemes {"http", "https", "file", "ftp", "javascript"};

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
        DialogWatcher watcher;
        watcher.onShown = onShown;
        app->versionForm.installEventFilter(&watcher);
        QTimer settled;
        settled.setInterval(20);
        int quietTicks = 0;
        connect(&settled, &QTimer::timeout, [&] {
            // An unsupported version ends the program by itself; anything else goes on after its dialog. Two
            // quiet ticks in a row: an exit asked for in between ends the loop before the second one.
            const bool quiet = watcher.shown > 0 && !app->isVersionUnsupported() && !app->versionForm.isVisible()
                && !app->versionTimer.isActive();
            quietTicks = quiet ? quietTicks + 1 : 0;
            if (quietTicks >= 2)
                QCoreApplication::exit(-1);
        });
        settled.start();
        QTimer::singleShot(60000, [] { QCoreApplication::exit(-2); }); // only against a hang
        const int code = QCoreApplication::exec();
        app->versionForm.removeEventFilter(&watcher);
        return code;
    }

private slots:
    void initTestCase()
    {
        app = TavrelApplication::instance();
        QVERIFY(app);
        // As in the program: only the version check and the windows end the event loop.
        app->setQuitOnLastWindowClosed(false);
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, &catcher, "open");
    }

    void cleanupTestCase()
    {
        for (const QString &scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
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
        QCOMPARE(app->versionDialogScheduled, scheduled);
        // Never shown from inside the check: the caller's stack first returns to the event loop.
        QCOMPARE(app->versionTimer.isActive(), scheduled);
        QVERIFY(!app->versionForm.isVisible());

        QObject notAContext;
        QCOMPARE(app->processVersionStatus(nullptr), result);
        QCOMPARE(app->processVersionStatus(&notAContext), result);
    }

    void outdatedDialogShowsOnceAndTheProgramGoesOn()
    {
        auto first = reply(S_VERSION_OLD, QStringLiteral("http://example.test/setup.exe"));
        QVERIFY(app->processVersionStatus(first.get()));
        QString shownText;
        bool badShown = true;
        const int code = runDialogs([&](int) {
            badShown = label("lbBadVersion")->isVisible();
            shownText = label("lbOldVersion")->isVisible() ? label("lbOldVersion")->text() : QString();
            app->versionForm.reject();
        });
        QCOMPARE(code, -1); // closing the outdated dialog does not end the program
        QVERIFY(!badShown);
        QVERIFY(shownText.contains(QStringLiteral("Таврел. Версия 1.2.1.0")));
        QVERIFY(shownText.contains(QStringLiteral("Вы пользуетесь устаревшей версией.")));
        QCOMPARE(shownText.count(QStringLiteral("http://example.test/setup.exe")), 2);
        QVERIFY(!shownText.contains(QStringLiteral("%1")) && !shownText.contains(QStringLiteral("%2")));

        // Once per run: a second outdated reply schedules nothing.
        auto second = reply(S_VERSION_OLD, QStringLiteral("http://example.test/setup.exe"));
        QVERIFY(app->processVersionStatus(second.get()));
        QVERIFY(!app->versionTimer.isActive());
        QVERIFY(!app->versionForm.isVisible());
    }

    void unsupportedDialogEndsTheProgramAndStaysSticky()
    {
        auto bad = reply(E_VERSION_BAD, QStringLiteral("https://example.test/get"));
        QVERIFY(!app->processVersionStatus(bad.get()));
        QString shownText;
        bool oldShown = true;
        const int code = runDialogs([&](int) {
            shownText = label("lbBadVersion")->text();
            oldShown = label("lbOldVersion")->isVisible();
            // Replies that arrive while the dialog is up do not revive the client.
            for (const QString &later : {S_OK, S_VERSION_GOOD, S_VERSION_OLD}) {
                auto fine = reply(later);
                QVERIFY(!app->processVersionStatus(fine.get()));
            }
            app->versionForm.reject();
        });
        QCOMPARE(code, 0);
        QVERIFY(!oldShown);
        QVERIFY(shownText.contains(QStringLiteral("Данная версия больше не поддерживается.")));
        QVERIFY(shownText.contains(QStringLiteral("href=\"https://example.test/get\"")));
        QVERIFY(app->isVersionUnsupported());
        QVERIFY(!app->processVersionStatus(nullptr));
    }

    void unsupportedAfterOutdatedReplacesTheDialog()
    {
        auto old = reply(S_VERSION_OLD, QStringLiteral("http://example.test/a"));
        QVERIFY(app->processVersionStatus(old.get()));
        QStringList texts;
        const int code = runDialogs([&](int shown) {
            const bool bad = label("lbBadVersion")->isVisible();
            texts << (bad ? QStringLiteral("bad ") + label("lbBadVersion")->text()
                          : QStringLiteral("old ") + label("lbOldVersion")->text());
            if (shown > 0) {
                app->versionForm.reject();
                return;
            }
            // While the outdated dialog is up, a reply declares the version unsupported.
            auto badReply = reply(E_VERSION_BAD, QStringLiteral("http://example.test/b"));
            QVERIFY(!app->processVersionStatus(badReply.get()));
        });
        QCOMPARE(code, 0);
        QCOMPARE(texts.size(), 2);
        QVERIFY(texts.at(0).startsWith(QStringLiteral("old ")) && texts.at(0).contains("http://example.test/a"));
        QVERIFY(texts.at(1).startsWith(QStringLiteral("bad ")) && texts.at(1).contains("http://example.test/b"));
    }

    void updateLinkIsEscaped()
    {
        auto bad = reply(E_VERSION_BAD, QStringLiteral("http://e.test/?a=1&b=<b>x</b>\"q"));
        QVERIFY(!app->processVersionStatus(bad.get()));
        const QString text = label("lbBadVersion")->text();
        QVERIFY(!text.contains(QStringLiteral("<b>x</b>")));
        QVERIFY(text.contains(QStringLiteral("http://e.test/?a=1&amp;b=&lt;b&gt;x&lt;/b&gt;&quot;q")));
    }

    void activatedLink_data()
    {
        QTest::addColumn<QString>("link");
        QTest::addColumn<QString>("opened");
        QTest::newRow("http") << "http://example.test/setup"
                              << "http://example.test/setup";
        QTest::newRow("upper-case scheme") << "HTTPS://example.test/x"
                                           << "https://example.test/x";
        QTest::newRow("file") << "file:///etc/passwd" << baseUrl();
        QTest::newRow("javascript") << "javascript:alert(1)" << baseUrl();
    }

    void activatedLink()
    {
        QFETCH(QString, link);
        QFETCH(QString, opened);
        auto old = reply(S_VERSION_OLD, link);
        QVERIFY(app->processVersionStatus(old.get()));
        // The user clicks the link in the label.
        const int code = runDialogs([&](int) { emit label("lbOldVersion")->linkActivated(link); });
        QCOMPARE(code, 0); // the link ends the program, outdated or not
        QCOMPARE(catcher.urls, QList<QUrl> {QUrl(opened)});
        QVERIFY(!app->versionForm.isVisible());
    }
};

TAVREL_TEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
