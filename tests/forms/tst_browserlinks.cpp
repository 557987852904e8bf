#include "syncfixture.h"
#include "appsettings.h"
#include "formtesthelpers.h"
#include "mainwindow.h"
#include "testapplication.h"

#include <QDesktopServices>
#include <QLabel>
#include <QRegularExpression>
#include <QtTest>

// Receives what the program asks the desktop to open, and notes the window's page reloads in between.
class Desktop : public QObject
{
    Q_OBJECT
public:
    QStringList events;
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url)
    {
        urls << url;
        events << QStringLiteral("open");
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            events << QStringLiteral("page shown");
        return false;
    }
};

// Links that leave the program for the browser: a fresh web login first, the session only to the
// service's own pages, and nothing but web addresses.
class TestBrowserLinks : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    Desktop desktop;
    std::unique_ptr<MainWindow> window;
    QString login;

    static QString href(QLabel *label)
    {
        const QString target = QRegularExpression(QStringLiteral("href=\"([^\"]*)\"")).match(label->text()).captured(1);
        return QString(target).replace(QStringLiteral("&amp;"), QStringLiteral("&"));
    }
    QString session() const { return QString::fromUtf8(fixture.engine->sessionCookie()); }
    int logins() { return fixture.service()->requests(URL_LOGIN).size(); }

private slots:
    void initTestCase()
    {
        fixture.setUp();
        for (const char *scheme : {"http", "https", "file", "tavrel", "javascript"})
            QDesktopServices::setUrlHandler(QString::fromLatin1(scheme), &desktop, "open");
    }
    void cleanupTestCase()
    {
        for (const char *scheme : {"http", "https", "file", "tavrel", "javascript"})
            QDesktopServices::unsetUrlHandler(QString::fromLatin1(scheme));
        fixture.tearDown();
    }
    void init()
    {
        login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(login));
        window = std::make_unique<MainWindow>();
        TavrelApplication::instance()->mainWindow = window.get();
        window->show();
        desktop.urls.clear();
        desktop.events.clear();
        fixture.service()->clearRequestLog();
    }
    void cleanup()
    {
        window.reset();
        fixture.destroyEngine();
    }

    void twoLinksShareOneLogin()
    {
        auto *profile = child<QLabel>(window.get(), "linkMyProfile");
        auto *tariffs = child<QLabel>(window.get(), "linkTarifs");
        const QString before = session();
        QCOMPARE(href(profile), baseUrl() + QStringLiteral("/me?session=") + before);
        emit profile->linkActivated(href(profile));
        emit tariffs->linkActivated(href(tariffs));
        QTRY_COMPARE(desktop.urls.size(), 2);
        QCOMPARE(logins(), 1);
        QVERIFY(session() != before);
        QCOMPARE(desktop.urls,
                 QList<QUrl>() << QUrl(baseUrl() + QStringLiteral("/me?session=") + session())
                               << QUrl(baseUrl() + QStringLiteral("/bills?session=") + session()));
    }

    void failedLoginOpensWithTheOldSession()
    {
        auto *company = child<QLabel>(window.get(), "linkCompany");
        fixture.service()->addFault(LocalServiceFault::httpStatus(500).onPath(URL_LOGIN).once());
        emit company->linkActivated(href(company));
        QTRY_COMPARE(desktop.urls.size(), 1);
        QCOMPARE(desktop.urls.first(), QUrl(href(company)));
    }

    void paidAccessChangeReloadsThePage()
    {
        window->welcome()->installEventFilter(&desktop);
        LocalServiceUser user = *fixture.service()->user(login);
        user.fullAccess = !AppSettings::isFullAccess();
        fixture.service()->addUser(user);
        window->browserLinkActivate(baseUrl() + URL_BILLS);
        QTRY_COMPARE(desktop.urls.size(), 1);
        QCOMPARE(AppSettings::isFullAccess(), user.fullAccess);
        QCOMPARE(desktop.events,
                 QStringList() << "page shown"
                               << "open");
    }

    void onlyWebAddresses_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<QString>("opened"); // "" = not opened; "SESSION" stands for the new session
        QTest::newRow("the service's page")
            << baseUrl() + "/order/5?x=1&session=old" << baseUrl() + "/order/5?session=SESSION";
        QTest::newRow("foreign host keeps its query") << "https://example.org/p?a=1"
                                                      << "https://example.org/p?a=1";
        QTest::newRow("look-alike host") << "http://127.0.0.1.example.org/x"
                                         << "http://127.0.0.1.example.org/x";
        QTest::newRow("file") << "file:///etc/passwd"
                              << "";
        QTest::newRow("script") << "javascript:alert(1)"
                                << "";
        QTest::newRow("own scheme") << "tavrel://favourites/add"
                                    << "";
    }
    void onlyWebAddresses()
    {
        QFETCH(QString, address);
        QFETCH(QString, opened);
        window->browserLinkActivate(address);
        if (opened.isEmpty()) {
            QTest::qWait(300);
            QCOMPARE(desktop.urls.size(), 0);
            QCOMPARE(logins(), 0);
            return;
        }
        QTRY_COMPARE(desktop.urls.size(), 1);
        QCOMPARE(desktop.urls.first(), QUrl(opened.replace(QStringLiteral("SESSION"), session())));
    }
};

TAVREL_TEST_MAIN(TestBrowserLinks)
#include "tst_browserlinks.moc"
