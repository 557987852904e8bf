// The login wrapper against the stand-in service: a carried request refused for an expired session
// is sent again after exactly one login; every other outcome is passed on at once.

#include "appsettings.h"
#include "coretestapplication.h"
#include "syncfixture.h"

namespace {

// The paths of the requests the service saw, in order.
QStringList paths(const QList<LocalServiceRequest> &log)
{
    QStringList list;
    for (const LocalServiceRequest &request : log)
        list.append(request.path);
    return list;
}

} // namespace

class TestLoginWrapper : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        bed.setUp();
        bed.createEngine();
    }

    void cleanupTestCase() { bed.tearDown(); }

    void init()
    {
        bed.service()->clearFaults();
        bed.service()->setVersionStatus(QString());
        bed.service()->setPassword(QStringLiteral("demo"), QStringLiteral("demo"));
        session = bed.service()->openSession(QStringLiteral("demo"));
        bed.engine->setSessionCookie(session);
        AppSettings::setUserName(QString());
        CoreHost::instance()->setFullAccess(false);
        bed.service()->clearRequestLog();
    }

    void refusedOnceLogsInOnceAndSendsAgain_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("versionStatus");
        QTest::newRow("favourites (GET)") << URL_FAVOURITES << QString();
        QTest::newRow("add favourite (refused with 403)") << URL_FAVOURITE_CREATE << QString();
        // A re-login answered with an outdated-version status still counts as a login.
        QTest::newRow("outdated version") << URL_FAVOURITES << S_VERSION_OLD;
    }

    void refusedOnceLogsInOnceAndSendsAgain()
    {
        QFETCH(QString, path);
        QFETCH(QString, versionStatus);
        bed.service()->setVersionStatus(versionStatus, QStringLiteral("http://127.0.0.1:1/update"));
        bed.service()->addFault(LocalServiceFault::expireSessions().onPath(path).once());
        NetworkRequestContext *inner = carried(path);
        NetworkRequestContext *wrapper = wrap(inner);
        QSignalSpy reports(wrapper, &NetworkRequestContext::replyFinished);
        QVERIFY(SyncFixture::finish(wrapper));
        QCOMPARE(reports.count(), 1);
        QCOMPARE(paths(bed.service()->requestLog()), (QStringList {path, URL_LOGIN, path}));
        QCOMPARE(wrapper->result.value(KEY_RESULT).toString(), S_OK);
        QCOMPARE(wrapper->wrappedKind, inner->kind);
        const QByteArray renewed = bed.engine->sessionCookie();
        QVERIFY(renewed != session);
        const QList<LocalServiceRequest> sent = bed.service()->requests(path);
        QCOMPARE(sent.at(1).header(HEADER_SESSION), renewed);
        // The second attempt carries the whole document again.
        QCOMPARE(sent.at(1).xml, sent.at(0).xml);
        QCOMPARE(AppSettings::userName(), QStringLiteral("ООО «Стройресурс» > Смирнова Ольга Ивановна (ID: 1001)"));
        QVERIFY(CoreHost::instance()->fullAccess);
        delete wrapper;
    }

    // The carried request refused again after the login, or a login that fails: one report, no loop.
    void failedReloginIsReported_data()
    {
        QTest::addColumn<int>("loginFault");
        QTest::addColumn<QString>("code");
        QTest::newRow("refused again") << 0 << E_INVALID_USERNAME_OR_PASSWORD;
        QTest::newRow("login refused") << 1 << E_INVALID_USERNAME_OR_PASSWORD;
        QTest::newRow("login server error") << 2 << E_LOGIN_NOT_RESPOND_SERVER;
        QTest::newRow("login connection dropped") << 3 << E_LOGIN_NOT_RESPOND_SERVER;
    }

    void failedReloginIsReported()
    {
        QFETCH(int, loginFault);
        QFETCH(QString, code);
        bed.service()->addFault(
            LocalServiceFault::expireSessions().onPath(URL_FAVOURITES).setTimes(loginFault ? 1 : 3));
        if (loginFault == 1) {
            bed.service()->addFault(LocalServiceFault::changePassword(QStringLiteral("demo"), QStringLiteral("changed"))
                                        .onPath(URL_LOGIN)
                                        .once());
        } else if (loginFault == 2) {
            bed.service()->addFault(LocalServiceFault::resultCode(E_SERVER).onPath(URL_LOGIN).once());
        } else if (loginFault == 3) {
            bed.service()->addFault(LocalServiceFault::closeConnection().onPath(URL_LOGIN));
        }
        NetworkRequestContext *inner = carried(URL_FAVOURITES);
        NetworkRequestContext *wrapper = wrap(inner);
        QSignalSpy reports(wrapper, &NetworkRequestContext::replyFinished);
        QVERIFY(SyncFixture::finish(wrapper));
        QCOMPARE(reports.count(), 1);
        QCOMPARE(wrapper->result.value(KEY_RESULT).toString(), code);
        // The rest of the carried request's result is passed on unchanged.
        QCOMPARE(wrapper->result.value(KEY_BYTE_ARRAY), inner->result.value(KEY_BYTE_ARRAY));
        QCOMPARE(bed.service()->requests(URL_FAVOURITES).size(), loginFault ? 1 : 2);
        delete wrapper;
    }

    // Deleted on the way; it is on the wire first, so that it cannot reach the service in a later test.
    void deletingWrapperReleasesCarriedRequest()
    {
        bed.service()->addFault(LocalServiceFault::hang().onPath(URL_FAVOURITES));
        QPointer<NetworkRequestContext> inner = carried(URL_FAVOURITES);
        NetworkRequestContext *wrapper = wrap(inner);
        wrapper->start();
        QTRY_COMPARE(bed.service()->requests(URL_FAVOURITES).size(), 1);
        delete wrapper;
        QVERIFY(inner);
        SyncFixture::flushDeletions();
        QVERIFY(inner.isNull());
    }

    void abortStopsCarriedRequest()
    {
        bed.service()->addFault(LocalServiceFault::hang().onPath(URL_FAVOURITES));
        NetworkRequestContext *inner = carried(URL_FAVOURITES);
        NetworkRequestContext *wrapper = wrap(inner);
        QSignalSpy reports(wrapper, &NetworkRequestContext::replyFinished);
        wrapper->start();
        QTRY_COMPARE(bed.service()->requests(URL_FAVOURITES).size(), 1);
        QVERIFY(wrapper->isRunning());
        wrapper->abort();
        QTRY_COMPARE(reports.count(), 1);
        QCOMPARE(inner->networkError, int(QNetworkReply::OperationCanceledError));
        QCOMPARE(bed.service()->requests(URL_LOGIN).size(), 0);
        delete wrapper;
    }

    void contextDeletedWhileReplyRuns()
    {
        bed.service()->addFault(LocalServiceFault::delay(100).onPath(URL_SEARCH));
        NetworkRequestContext *context = carried(URL_SEARCH);
        QVERIFY(context->start());
        QTRY_COMPARE(bed.service()->requests(URL_SEARCH).size(), 1);
        delete context;
        // A later request of the same delay is answered after the deleted one's reply has come.
        const std::unique_ptr<NetworkRequestContext> later(carried(URL_SEARCH));
        QVERIFY(SyncFixture::finish(later.get()));
    }

private:
    NetworkRequestContext *carried(const QString &path)
    {
        if (path == URL_SEARCH)
            return bed.constructor()->searchRequest(QStringLiteral("CURRENT_ORDERS"), QStringLiteral("C++ & 100%"),
                                                    true, true);
        if (path == URL_FAVOURITE_CREATE)
            return bed.constructor()->createFavouriteRequest(bed.service()->data().orders().first().id);
        return bed.constructor()->favouritesRequest();
    }
    NetworkRequestContext *wrap(NetworkRequestContext *inner)
    {
        return bed.constructor()->loginWrapperRequest(QStringLiteral("demo"),
                                                      LocalServiceUser::digest(QStringLiteral("demo")), inner);
    }

    SyncFixture bed;
    QByteArray session;
};

TAVREL_CORE_TEST_MAIN(TestLoginWrapper)
#include "tst_loginwrapper.moc"
