#include "appsettings.h"
#include "formtesthelpers.h"
#include "mainwindow.h"
#include "syncfixture.h"
#include "testapplication.h"

#include <QDesktopServices>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

// Links that leave the program for the browser: a fresh web login first, the session only to the
// service's own pages, and nothing but web addresses.
class TestBrowserLinks : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    std::unique_ptr<MainWindow> window;
    QList<QUrl> opened;
    EventCounter pageShown {QEvent::Show}; // its log also notes every opening, in order
    const QStringList schemes {"http", "https", "file", "tavrel", "javascript"};

    QString href(const char *name) const
    {
        const QString text = child<QLabel>(window.get(), name)->text();
        return QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(text).captured(1).replace("&amp;", "&");
    }
    QString session() const { return QString::fromUtf8(fixture.engine->sessionCookie()); }

private slots:
    void open(const QUrl &url)
    {
        opened << url;
        pageShown.log << QStringLiteral("open");
    }

    void initTestCase()
    {
        fixture.setUp();
        for (const QString &scheme : schemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    void cleanupTestCase()
    {
        for (const QString &scheme : schemes)
            QDesktopServices::unsetUrlHandler(scheme);
        fixture.tearDown();
    }
    void init()
    {
        QVERIFY(fixture.startAs(fixture.newSubscriber()));
        window = std::make_unique<MainWindow>();
        TavrelApplication::instance()->mainWindow = window.get();
        window->show();
        opened.clear();
        pageShown.log.clear();
        fixture.service()->clearRequestLog();
    }
    void cleanup()
    {
        window.reset();
        fixture.destroyEngine();
    }

    void twoLinksShareOneLogin()
    {
        const QString before = session();
        QCOMPARE(href("linkMyProfile"), baseUrl() + "/me?session=" + before);
        emit child<QLabel>(window.get(), "linkMyProfile")->linkActivated(href("linkMyProfile"));
        emit child<QLabel>(window.get(), "linkTarifs")->linkActivated(href("linkTarifs"));
        QTRY_COMPARE(opened.size(), 2);
        QVERIFY(fixture.service()->requests(URL_LOGIN).size() == 1 && session() != before);
        QCOMPARE(opened,
                 QList<QUrl>() << QUrl(baseUrl() + "/me?session=" + session())
                               << QUrl(baseUrl() + "/bills?session=" + session()));
    }

    void failedLoginOpensWithTheOldSession()
    {
        fixture.service()->addFault(LocalServiceFault::httpStatus(500).onPath(URL_LOGIN).once());
        emit child<QLabel>(window.get(), "linkCompany")->linkActivated(href("linkCompany"));
        QTRY_COMPARE(opened, QList<QUrl>() << QUrl(href("linkCompany")));
    }

    void paidAccessChangeReloadsThePageFirst()
    {
        window->welcome()->installEventFilter(&pageShown);
        LocalServiceUser user = *fixture.service()->user(fixture.engine->currentLogin());
        user.fullAccess = !AppSettings::isFullAccess();
        fixture.service()->addUser(user);
        window->browserLinkActivate(baseUrl() + URL_BILLS);
        QTRY_COMPARE(pageShown.log,
                     QStringList() << "event"
                                   << "open");
        QCOMPARE(AppSettings::isFullAccess(), user.fullAccess);
    }

    void onlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened"); // empty: not opened; SESSION: the new session
        QTest::newRow("own page") << baseUrl() + "/order/5?x=1&session=old" << baseUrl() + "/order/5?session=SESSION";
        QTest::newRow("foreign host keeps its query") << "https://example.org/p?a=1"
                                                      << "https://example.org/p?a=1";
        QTest::newRow("look-alike host") << "http://127.0.0.1.example.org/x"
                                         << "http://127.0.0.1.example.org/x";
        QTest::newRow("file") << "file:///etc/passwd" << QString();
        QTest::newRow("script") << "javascript:alert(1)" << QString();
        QTest::newRow("own scheme") << "tavrel://favourites/add" << QString();
    }
    void onlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        window->browserLinkActivate(address);
        if (opened.isEmpty()) {
            QTest::qWait(300);
            QVERIFY(this->opened.isEmpty() && fixture.service()->requests(URL_LOGIN).isEmpty());
            return;
        }
        QTRY_COMPARE(this->opened.size(), 1);
        QCOMPARE(this->opened.first(), QUrl(opened.replace(QStringLiteral("SESSION"), session())));
    }
};

TAVREL_TEST_MAIN(TestBrowserLinks)
#include "tst_browserlinks.moc"
