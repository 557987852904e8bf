// The filter panel against the real engine, database and stand-in service: the delayed save and its
// immediate triggers, the synchronization protocol end to end, and the controls.
#include "filter.h"
#include "filterspanel.h"
#include "formtesthelpers.h"
#include "localservice/localservicefault.h"
#include "mailboxspy.h"
#include "messageboxdriver.h"
#include "syncfixture.h"
#include "testapplication.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSqlQuery>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

class TestFiltersPanel : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    QString login;

    // Filters stored as Sync rows the service does not know, so that nothing is pushed unasked; the
    // panel shows the first of them.
    void storeAndShow(FiltersPanel &panel, const QStringList &names)
    {
        Entity::FilterList list;
        for (const QString &name : names) {
            auto *filter = new Entity::Filter;
            filter->resetSearchCriteria();
            filter->name = name;
            filter->state = Entity::FilterList::Sync;
            filter->changed = true;
            list.items << filter;
        }
        QVERIFY(fixture.query->saveFilters(login, list, false));
        list.clear();
        panel.show();
        panel.rereadFilters();
        panel.selectFilter(1);
    }
    // "name:state:key words" of the stored filters.
    QStringList stored()
    {
        QStringList rows;
        Entity::FilterList list = fixture.query->filters(login);
        for (const Entity::Filter *f : qAsConst(list.items))
            rows << QStringLiteral("%1:%2:%3").arg(f->name).arg(int(f->state)).arg(f->wordSerch);
        list.clear();
        return rows;
    }
    // Runs a statement on the test's database, the login bound after the given values.
    bool sqlExec(const char *statement, const QVariantList &values = {})
    {
        QSqlQuery sql(QSqlDatabase::database());
        sql.prepare(QString::fromLatin1(statement));
        for (const QVariant &value : values)
            sql.addBindValue(value);
        sql.addBindValue(login);
        return sql.exec();
    }
    // How many rows of Filters belong to the login (an empty one: to nobody).
    static int rowsOf(const QString &owner)
    {
        QSqlQuery sql(QSqlDatabase::database());
        sql.prepare(QStringLiteral("SELECT COUNT(*) FROM Filters WHERE IFNULL(Login, '') = ?"));
        sql.addBindValue(owner);
        return sql.exec() && sql.next() ? sql.value(0).toInt() : -1;
    }
    static void type(QWidget *widget, const QString &text, bool commit = true)
    {
        widget->setFocus();
        QTest::keyClick(widget, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(widget, text);
        if (commit)
            QTest::keyClick(widget, Qt::Key_Return);
    }
    static void typeKeyWords(FiltersPanel &panel, const QString &text, bool commit = true)
    {
        type(child<QLineEdit>(&panel, "edKeyWord"), text, commit);
    }
    static void pressSave(FiltersPanel &panel)
    {
        QTest::mouseClick(child<QPushButton>(&panel, "btnSave"), Qt::LeftButton);
    }

private slots:
    void initTestCase() { fixture.setUp(); }
    void cleanupTestCase() { fixture.tearDown(); }
    void init()
    {
        login = fixture.newSubscriber();
        QVERIFY(fixture.startAs(login));
    }
    void cleanup() { fixture.destroyEngine(); }

    void delayedSave_data()
    {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("commit");
        for (const char *trigger : {"timer", "hide", "filter combo", "list editor", "destruction"})
            QTest::newRow(trigger) << trigger << true;
        QTest::newRow("typed, then hidden") << "hide" << false;
        QTest::newRow("typed, then destroyed") << "destruction" << false;
    }
    void delayedSave()
    {
        QFETCH(QString, trigger);
        QFETCH(bool, commit);
        MessageBoxDriver driver({QStringLiteral("Отмена")});
        auto panel = std::make_unique<FiltersPanel>();
        QSignalSpy saved(panel.get(), &FiltersPanel::filtersSaved);
        storeAndShow(*panel, {QStringLiteral("alpha"), QStringLiteral("beta")});
        // Filling the controls, even from a code no item carries, is no edit.
        panel->currentFilter()->orderType = QStringLiteral("UNKNOWN");
        panel->showFilter();
        QVERIFY(!panel->saveTimerForTesting().isActive() && !panel->hasPendingChanges());

        typeKeyWords(*panel, QStringLiteral("first"), commit);
        QCOMPARE(stored().first(), QStringLiteral("alpha:3:"));
        QCOMPARE(panel->saveTimerForTesting().isActive(), commit);
        if (commit) {
            QVERIFY(panel->saveTimerForTesting().isSingleShot() && panel->saveTimerForTesting().interval() == 4000);
            const_cast<QTimer &>(panel->saveTimerForTesting()).stop();
            QTest::mouseClick(child<QCheckBox>(panel.get(), "chkPrice"), Qt::LeftButton);
            QVERIFY(panel->saveTimerForTesting().isActive());
        }
        if (trigger == QLatin1String("timer"))
            QMetaObject::invokeMethod(panel.get(), "saveTimerTick");
        else if (trigger == QLatin1String("hide"))
            panel->hide();
        else if (trigger == QLatin1String("filter combo"))
            child<QComboBox>(panel.get(), "cbFilter")->setCurrentIndex(2);
        else if (trigger == QLatin1String("list editor"))
            QTest::mouseClick(child<QPushButton>(panel.get(), "btnFilters"), Qt::LeftButton);
        else
            panel.reset();
        QCOMPARE(stored().first(), QStringLiteral("alpha:1:first"));
        if (panel) {
            QCOMPARE(saved.count(), 1);
            panel->saveChanges();
            QCOMPARE(saved.count(), 1);
        }
    }

    void refusedWriteKeepsTheEdit()
    {
        FiltersPanel panel;
        QSignalSpy saved(&panel, &FiltersPanel::filtersSaved);
        storeAndShow(panel, {QStringLiteral("alpha"), QStringLiteral("beta")});
        typeKeyWords(panel, QStringLiteral("kept"));
        panel.filterAt(2)->state = Entity::FilterList::Deleted;
        panel.filterAt(2)->changed = true;
        QSqlQuery sql(QSqlDatabase::database());
        QVERIFY(sql.exec(QStringLiteral(
            "CREATE TEMP TRIGGER refuse BEFORE INSERT ON Filters BEGIN SELECT RAISE(ABORT, 'refused'); END")));
        panel.hide();
        QVERIFY(panel.hasPendingChanges() && saved.isEmpty());
        QCOMPARE(panel.filterCount(), 3);
        QCOMPARE(stored(), QStringList({"alpha:3:", "beta:3:"}));
        QVERIFY(sql.exec(QStringLiteral("DROP TRIGGER refuse")));
        panel.saveChanges();
        QCOMPARE(saved.count(), 1);
        QCOMPARE(panel.filterCount(), 2);
        QCOMPARE(stored(), QStringList({"alpha:1:kept", "beta:2:"}));
    }

    // The visible panel holds syncs back until "Сохранить"; the after-notice brings the service's id,
    // so a second edit, made after the push or while it is on its way, updates the same subscription.
    void oneSubscriptionForTwoEdits_data()
    {
        QTest::addColumn<bool>("hang");
        QTest::newRow("second edit after the push") << false;
        QTest::newRow("second edit during the push") << true;
    }
    void oneSubscriptionForTwoEdits()
    {
        QFETCH(bool, hang);
        if (hang)
            fixture.service()->addFault(LocalServiceFault::delay(3000).onPath(URL_SUBSCRIPTION_CREATE).once());
        MessageBoxDriver driver({QStringLiteral("Отмена")});
        FiltersPanel panel;
        panel.show();
        typeKeyWords(panel, QStringLiteral("first"));
        QCOMPARE(driver.seen().value(0), QStringLiteral("Дайте название новому фильтру|"));
        QCOMPARE(panel.currentFilter()->name, QStringLiteral("Новый фильтр 1"));
        QCOMPARE(panel.filterAt(0)->name, QStringLiteral("Новый фильтр"));
        QCOMPARE(stored(), QStringList({"Новый фильтр 1:0:first"}));
        fixture.engine->processTasks();
        QVERIFY(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).isEmpty());

        pressSave(panel);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1, 10000);
        if (!hang)
            QTRY_VERIFY_WITH_TIMEOUT(panel.currentFilter()->id > 0, 10000);
        Clock::advance(1000);
        typeKeyWords(panel, QStringLiteral("second"));
        // During the push the edit is still pending when the answer comes; after it, it is stored at once.
        if (hang)
            const_cast<QTimer &>(panel.saveTimerForTesting()).stop();
        else
            QMetaObject::invokeMethod(&panel, "saveTimerTick");
        QTRY_VERIFY_WITH_TIMEOUT(panel.currentFilter()->id > 0, 10000);
        pressSave(panel);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->subscriptions(login).value(0).field("WordSerch"), "second", 10000);
        QCOMPARE(fixture.service()->subscriptions(login).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(stored(), QStringList({"Новый фильтр 1:3:second"}), 10000);

        // A download of the whole list shows the same filter again ("Сохранить" is disabled with nothing
        // edited: its slot lets the download through).
        fixture.service()->addSubscription(login, LocalServiceSubscription());
        QMetaObject::invokeMethod(&panel, "mainSaveButtonClick");
        fixture.engine->syncFiltersNow();
        QTRY_COMPARE_WITH_TIMEOUT(panel.filterCount(), 3, 10000);
        QCOMPARE(panel.currentFilter()->name, QStringLiteral("Новый фильтр 1"));
    }

    void openDialogPostponesTheSync_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("list editor") << "btnFilters";
        QTest::newRow("regions chooser") << "btnRegions";
    }
    void openDialogPostponesTheSync()
    {
        QFETCH(QString, button);
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha")});
        fixture.engine->syncFiltersNow();
        typeKeyWords(panel, QStringLiteral("edited"));
        pressSave(panel);
        bool postponed = false;
        QTimer::singleShot(200, [&] {
            fixture.engine->processTasks();
            // A synchronization let through takes up the user's "Сохранить" (the button goes disabled); a
            // postponed one leaves it waiting.
            postponed = child<QPushButton>(&panel, "btnSave")->isEnabled();
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()))
                dialog->reject();
        });
        QTest::mouseClick(panel.findChild<QPushButton *>(button), Qt::LeftButton);
        QVERIFY(postponed);
        QTRY_VERIFY_WITH_TIMEOUT(!fixture.service()->requests(URL_SUBSCRIPTION_UPDATE).isEmpty(), 10000);
    }

    // The page is left and shown again while the create of a new filter is on its way: the panel learns
    // the service's id from the create's answer, so the next edit, made before or after that answer,
    // updates the one subscription.
    void oneSubscriptionAfterComingBack_data()
    {
        QTest::addColumn<bool>("saveFirst");
        QTest::addColumn<bool>("editFirst");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("value");
        const auto row = [](const char *tag, bool saveFirst, bool editFirst, const char *field, const char *value) {
            QTest::newRow(tag) << saveFirst << editFirst << QString(field) << QString(value);
        };
        row("left, then typed", false, false, "WordSerch", "second");
        row("Сохранить, left, then typed", true, false, "WordSerch", "second");
        row("left, typed before the answer", false, true, "WordSerch", "second");
        row("left, then renamed in the list editor", false, false, "Name", "renamed");
    }
    void oneSubscriptionAfterComingBack()
    {
        QFETCH(bool, saveFirst);
        QFETCH(bool, editFirst);
        QFETCH(QString, field);
        QFETCH(QString, value);
        fixture.service()->addFault(LocalServiceFault::delay(3000).onPath(URL_SUBSCRIPTION_CREATE).once());
        FiltersPanel panel;
        panel.show();
        {
            MessageBoxDriver driver({QStringLiteral("Отмена")});
            typeKeyWords(panel, QStringLiteral("first"));
        }
        if (saveFirst) {
            pressSave(panel);
            fixture.engine->processTasks();
        }
        panel.hide();
        QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1, 10000);
        panel.show();
        fixture.engine->processTasks();
        QCOMPARE(panel.currentFilter()->id, qint64(-1));
        const auto edit = [&] {
            Clock::advance(1000);
            if (field == QLatin1String("WordSerch"))
                return typeKeyWords(panel, value);
            QTimer::singleShot(0, [&] {
                QWidget *editor = QApplication::activeModalWidget();
                type(child<QLineEdit>(editor, "edName"), value);
                QTest::mouseClick(child<QPushButton>(editor, "btnSave"), Qt::LeftButton);
            });
            QTest::mouseClick(child<QPushButton>(&panel, "btnFilters"), Qt::LeftButton);
        };
        if (editFirst) {
            edit();
            // The edit is still pending when the answer comes.
            const_cast<QTimer &>(panel.saveTimerForTesting()).stop();
        }
        QTRY_VERIFY_WITH_TIMEOUT(panel.currentFilter()->id > 0, 10000);
        if (!editFirst)
            edit();
        pressSave(panel);
        QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->subscriptions(login).value(0).field(field), value, 10000);
        QCOMPARE(fixture.service()->subscriptions(login).size(), 1);
        QCOMPARE(fixture.service()->requests(URL_SUBSCRIPTION_CREATE).size(), 1);
    }

    // A reload a notice brings keeps what the user has in front of them: the filter picked last, found
    // again by its server id before its local id, and by that before its display order (both filters have
    // 0), and the text being typed.
    void reloadKeepsWhatTheUserSees_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("afterSave");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("typed");
        const auto row = [](const char *tag, const char *action, bool afterSave, const char *shown, const char *typed) {
            QTest::newRow(tag) << QString(action) << afterSave << QString(shown) << QString(typed);
        };
        row("another filter picked after Сохранить", "pick", true, "beta", "");
        row("typing after Сохранить", "type", true, "alpha", "typed");
        row("typing as the page is shown", "type", false, "alpha", "typed");
        row("stored rows renumbered", "renumber", true, "alpha", "");
    }
    void reloadKeepsWhatTheUserSees()
    {
        QFETCH(QString, action);
        QFETCH(bool, afterSave);
        QFETCH(QString, typed);
        fixture.service()->addFault(LocalServiceFault::delay(2000).onPath(URL_SUBSCRIPTIONS).once());
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha"), QStringLiteral("beta")});
        MailboxSpy notices(fixture.engine->addFiltersListener());
        fixture.engine->syncFiltersNow(); // as the main window's show does
        if (action == QLatin1String("renumber")) {
            // Both filters known to the service; then alpha moves to a new local id and beta takes its old one.
            QVERIFY(sqlExec("UPDATE Filters SET Id = LocalId + 100 WHERE Login = ?"));
            panel.rereadFilters();
            const qint64 alpha = panel.currentFilter()->localId;
            QVERIFY(sqlExec("UPDATE Filters SET LocalId = (SELECT MAX(LocalId) + 1 FROM Filters) "
                            "WHERE Login = ? AND Name = 'alpha'"));
            QVERIFY(sqlExec("UPDATE Filters SET LocalId = ? WHERE Login = ? AND Name = 'beta'", {alpha}));
        }
        if (afterSave) {
            // After the first delivery since the show, "Сохранить" (its slot: nothing is edited to enable
            // the button) lets the download of the list through.
            fixture.engine->processTasks();
            QMetaObject::invokeMethod(&panel, "mainSaveButtonClick");
            fixture.engine->processTasks();
        }
        if (action == QLatin1String("pick"))
            child<QComboBox>(&panel, "cbFilter")->setCurrentIndex(2);
        else if (action == QLatin1String("type"))
            typeKeyWords(panel, typed, false);
        if (afterSave)
            QTRY_VERIFY_WITH_TIMEOUT(notices.count(KEY_NOTIFY_AFTER_SYNC) > 0, 10000);
        else
            fixture.engine->processTasks();
        QTEST(panel.currentFilter()->name, "shown");
        QCOMPARE(child<QLineEdit>(&panel, "edKeyWord")->text(), typed);
        QCOMPARE(panel.currentFilter()->wordSerch, typed);
    }

    // A notice that comes while a dialog of the panel is open waits for the dialog's end: the records the
    // dialog works on stay, and the list is read again afterwards.
    void noticeDuringADialog_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("list editor") << "btnFilters";
        QTest::newRow("regions chooser") << "btnRegions";
        QTest::newRow("economic sectors chooser") << "btnBranches";
    }
    void noticeDuringADialog()
    {
        QFETCH(QString, button);
        fixture.service()->addFault(LocalServiceFault::delay(2000).onPath(URL_SUBSCRIPTION_UPDATE).once());
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha")});
        MailboxSpy notices(fixture.engine->addFiltersListener());
        fixture.engine->syncFiltersNow();
        fixture.engine->processTasks();
        typeKeyWords(panel, QStringLiteral("edited"));
        pressSave(panel);
        fixture.engine->processTasks();
        const Entity::Filter *shown = panel.currentFilter();
        const Entity::Filter *shownAtNotice = nullptr;
        QTimer::singleShot(0, [&] {
            auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget());
            const auto close = qScopeGuard([dialog] { dialog->accept(); });
            QTRY_VERIFY_WITH_TIMEOUT(notices.count(KEY_NOTIFY_AFTER_SYNC) > 0, 10000);
            shownAtNotice = panel.currentFilter();
        });
        QTest::mouseClick(child<QPushButton>(&panel, qPrintable(button)), Qt::LeftButton);
        QCOMPARE(shownAtNotice, shown);
        QVERIFY(panel.currentFilter() != shown);
        QCOMPARE(panel.currentFilter()->wordSerch, QStringLiteral("edited"));
    }

    // The session is refused (the password was changed on the web) while the page holds an edit. The edit
    // waits for its subscriber and is never stored without one, even when the program quits at the login
    // form; back, the subscriber gets it to the service, while another subscriber never sees it. The field
    // the focus leaves as the window goes finishes its edit quietly: no dialog comes up behind the login
    // form, not even for a new filter.
    void refusedSessionKeepsTheEdit_data()
    {
        QTest::addColumn<bool>("sameSubscriber");
        QTest::addColumn<bool>("quit");
        for (const char *column : {"before", "control", "typed", "field", "sent"})
            QTest::addColumn<QString>(column);
        // Row name | same subscriber | quit | before the edit left typing: "filter" (a filter of its own
        // made from the entry), "list" (the stored list read, the entry shown) or nothing (the entry shown,
        // nothing read yet) | control | typed | subscription field | sent.
        for (const char *row :
             {"the same subscriber logs in again|1|0|filter|edKeyWord|kept|WordSerch|kept",
              "another subscriber logs in|0|0|filter|edKeyWord|kept|WordSerch|kept",
              "quit, the same subscriber at the next start|1|1|filter|edKeyWord|kept|WordSerch|kept",
              "new filter, quit, the same subscriber at the next start|1|1|list|edKeyWord|kept|WordSerch|kept",
              "new filter before the list is read, quit, the same subscriber|1|1||edKeyWord|kept|WordSerch|kept",
              "new filter's amount, the same subscriber logs in again|1|0|list|spinAmountOrdersFrom|1500|"
              "AmountOrdersFrom|1500.00"}) {
            const QStringList cells = QString::fromUtf8(row).split(QLatin1Char('|'));
            QTest::newRow(qPrintable(cells.at(0)))
                << (cells.at(1) == QLatin1String("1")) << (cells.at(2) == QLatin1String("1")) << cells.at(3)
                << cells.at(4) << cells.at(5) << cells.at(6) << cells.at(7);
        }
    }
    void refusedSessionKeepsTheEdit()
    {
        QFETCH(bool, sameSubscriber);
        QFETCH(bool, quit);
        QFETCH(QString, before);
        QFETCH(QString, control);
        QFETCH(QString, typed);
        QFETCH(QString, field);
        QFETCH(QString, sent);
        // Gives the filter made from the entry no name of the user's own when the list editor asks for one.
        MessageBoxDriver driver;
        // The page sits in the main window; the login form's part: the window goes with a refusal and
        // comes back with a login.
        QWidget window;
        auto panel = std::make_unique<FiltersPanel>(&window);
        connect(fixture.engine, &TavrelSynchronization::authorizationReceived, panel.get(),
                [&window](NetworkRequestContext *outcome) {
                    window.setVisible(outcome->result.value(KEY_SYNC_RESULT) == QVariant(S_OK));
                });
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // Typed into the new-filter entry, the filter exists nowhere but in the panel.
        if (before == QLatin1String("list"))
            panel->rereadFilters();
        else if (before == QLatin1String("filter"))
            typeKeyWords(*panel, QStringLiteral("first"));
        type(child<QWidget>(panel.get(), qPrintable(control)), typed, false);
        const int dialogs = driver.seen().size();
        fixture.service()->setPassword(login, QStringLiteral("changed"));
        fixture.service()->expireAllSessions();
        const QScopedPointer<NetworkRequestContext, QScopedPointerDeleteLater> search(
            fixture.engine->requestSearch(SEARCH_AREA_CURRENT_ORDERS, QString(), false, false));
        QTRY_VERIFY_WITH_TIMEOUT(!panel->isVisible(), 10000);
        QVERIFY2(driver.seen().size() == dialogs, qPrintable(driver.seen().join(QLatin1Char('\n'))));
        QVERIFY(panel->hasPendingChanges());
        QCOMPARE(rowsOf(QString()), 0);
        if (quit) {
            // The program quits at the login form and starts again with the page not shown.
            panel = std::make_unique<FiltersPanel>();
            QCOMPARE(rowsOf(QString()), 0);
        }

        const QString next = sameSubscriber ? login : login + QStringLiteral(".other");
        fixture.service()->addUser(next, QStringLiteral("changed"), true);
        QCOMPARE(fixture.login(next, QStringLiteral("changed")), S_OK);
        QCOMPARE(panel->isVisible(), !quit);
        if (quit)
            fixture.engine->syncFiltersNow(); // as the main window's show does
        fixture.engine->processTasks();
        QCOMPARE(rowsOf(QString()), 0);
        if (sameSubscriber) {
            QTRY_COMPARE_WITH_TIMEOUT(fixture.service()->subscriptions(login).value(0).field(field), sent, 10000);
            QCOMPARE(fixture.service()->subscriptions(login).size(), 1);
        } else {
            QVERIFY(!panel->hasPendingChanges());
            QCOMPARE(panel->filterCount(), 1);
            QCOMPARE(rowsOf(next), 0);
        }
    }

    // The window goes while a new filter is being typed: the filter takes its numbered name without a
    // dialog, is stored, and stays shown under a fresh new-filter entry.
    void windowHiddenWhileTypingANewFilter()
    {
        MessageBoxDriver driver;
        QWidget window;
        auto *panel = new FiltersPanel(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        panel->rereadFilters();
        typeKeyWords(*panel, QStringLiteral("typed"), false);
        window.hide();
        QCOMPARE(driver.seen(), QStringList());
        QCOMPARE(stored(), QStringList({"Новый фильтр 1:0:typed"}));
        QCOMPARE(panel->filterAt(0)->name, QStringLiteral("Новый фильтр"));
        QCOMPARE(panel->currentFilter()->name, QStringLiteral("Новый фильтр 1"));
    }

    void controls_data()
    {
        for (const char *column : {"control", "input", "field", "before", "after", "changed"})
            QTest::addColumn<QString>(column);
        // Row name | control | typed or chosen | field | stored before | stored after | marked changed.
        for (const char *row :
             {"order type|cbOrderType|Государственный заказ|ordertype|ALL|OFFICIAL|1",
              "search area|cbSearchArea|Архивные заказы|searcharea|CURRENT_ORDERS|ARCHIVE_ORDERS|1",
              "check box|chkPrice||pricequotation|true|false|1",
              "announcement|chkSubscriptionEnabled||enabled|false|true|1",
              "key words untrimmed|edKeyWord| two  words |wordserch|| two  words |1",
              "excluded words, two blanks|edExceptionWords|a  b|wordsexceptions|a b|a b|1",
              "amount, decimal comma|spinAmountOrdersFrom|1500,5|amountordersfrom|0.00|1500.50|1",
              "amount normalised|spinAmountOrdersTo||amountordersto|1500|1500.00|1",
              "amount too large, passed through|spinAmountOrdersTo||amountordersto|3000000000|3000000000|0",
              "amount no number, passed through|spinAmountOrdersFrom||amountordersfrom|abc|abc|0"}) {
            const QStringList cells = QString::fromUtf8(row).split(QLatin1Char('|'));
            QTest::newRow(qPrintable(cells.at(0)))
                << cells.at(1) << cells.at(2) << cells.at(3) << cells.at(4) << cells.at(5) << cells.at(6);
        }
    }
    void controls()
    {
        QFETCH(QString, control);
        QFETCH(QString, input);
        QFETCH(QString, field);
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, changed);
        QLocale::setDefault(QLocale::Russian);
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha")});
        Entity::Filter *filter = panel.currentFilter();
        QVariantMap map = filter->toVariantMap();
        map.insert(field,
                   field == QLatin1String("wordsexceptions") ? QVariant(before.split(QLatin1Char(' ')))
                                                             : QVariant(before));
        filter->fromVariantMap(map);
        panel.showFilter();
        QWidget *widget = panel.findChild<QWidget *>(control);
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            combo->setCurrentIndex(combo->findText(input));
        else if (qobject_cast<QCheckBox *>(widget))
            QTest::mouseClick(widget, Qt::LeftButton, {}, QPoint(5, widget->height() / 2));
        else
            type(widget, input);
        const QVariant value = filter->toVariantMap().value(field);
        const bool isList = value.type() == QVariant::StringList || value.type() == QVariant::List;
        QCOMPARE(isList ? value.toStringList().join(QLatin1Char(' ')) : value.toString(), after);
        QCOMPARE(panel.hasPendingChanges(), changed == QLatin1String("1"));
        QLocale::setDefault(QLocale::c());
    }

    // Word lists longer than a line edit holds are shown cut; only an edit the user makes is written.
    void longWordListsKept_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("way");
        for (const char *control : {"edKeyWord", "edExceptionWords"}) {
            for (const char *way : {"hide", "focus"})
                QTest::addRow("%s, %s", control, way) << control << way;
        }
        addTextRow("key words edited", {"edKeyWord", "backspace"});
        addTextRow("excluded words through the dialog", {"edExceptionWords", "dialog"});
    }
    void longWordListsKept()
    {
        QFETCH(QString, control);
        QFETCH(QString, way);
        const bool keyWords = control == QLatin1String("edKeyWord");
        const auto wordsOf
            = [keyWords](const Entity::Filter *f) { return keyWords ? f->wordSerch : f->wordsExceptionsText(); };
        QStringList words;
        for (int i = 0; i < 5000; ++i)
            words << QStringLiteral("word%1").arg(i);
        const QString full = words.join(QLatin1Char(' '));
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha")});
        if (keyWords)
            panel.currentFilter()->wordSerch = full;
        else
            panel.currentFilter()->setWordsExceptions(full);
        panel.currentFilter()->setChanged(true);
        panel.setModified(true);
        panel.saveChanges();
        panel.showFilter();
        auto *edit = child<QLineEdit>(&panel, qPrintable(control));
        QVERIFY(edit->text().size() < full.size());

        QString expected = full;
        panel.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&panel));
        if (way == QLatin1String("focus") || way == QLatin1String("backspace")) {
            edit->setFocus();
            QTest::keyClick(edit, Qt::Key_End);
            if (way == QLatin1String("backspace")) {
                QTest::keyClick(edit, Qt::Key_Backspace);
                expected = full.left(edit->maxLength() - 1);
            }
            child<QComboBox>(&panel, "cbFilter")->setFocus();
        } else if (way == QLatin1String("dialog")) {
            int shownInDialog = 0;
            QTimer::singleShot(0, &panel, [&] {
                auto *words = child<QTextEdit>(QApplication::activeModalWidget(), "textEdit");
                shownInDialog = words->toPlainText().size();
                words->moveCursor(QTextCursor::End);
                words->insertPlainText(QStringLiteral("\nlast"));
                QTest::mouseClick(child<QPushButton>(QApplication::activeModalWidget(), "btnSave"), Qt::LeftButton);
            });
            QMetaObject::invokeMethod(&panel, "exWordsClick");
            QCOMPARE(shownInDialog, full.size());
            expected += QStringLiteral(" last");
        }
        QCOMPARE(wordsOf(panel.currentFilter()).size(), expected.size());
        panel.hide();
        Entity::FilterList list = fixture.query->filters(login);
        const QString stored = wordsOf(list.items.value(0));
        list.clear();
        QCOMPARE(stored.size(), expected.size());
        QVERIFY(stored == expected);
    }

    // Closing the active window with the focus in a field still stores what is typed there, and the
    // field's focus loss reaches no half-destroyed panel.
    void destroyedWhileActive()
    {
        auto panel = std::make_unique<FiltersPanel>();
        storeAndShow(*panel, {QStringLiteral("alpha")});
        panel->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(panel.get()));
        typeKeyWords(*panel, QStringLiteral("typed"), false);
        QVERIFY(child<QLineEdit>(panel.get(), "edKeyWord")->hasFocus());
        panel.reset();
        QCOMPARE(stored().value(0), QStringLiteral("alpha:1:typed"));
    }

    // "Перейти" shows the filter of the list editor's current row; with no current row it leaves the shown
    // one. The editor keeps a current row wherever the user clicks, so the test takes it away itself.
    void listEditorGo_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("shown");
        QTest::newRow("a row") << 2 << "beta";
        QTest::newRow("no row") << -1 << "alpha";
    }
    void listEditorGo()
    {
        QFETCH(int, row);
        FiltersPanel panel;
        storeAndShow(panel, {QStringLiteral("alpha"), QStringLiteral("beta")});
        QTimer::singleShot(0, &panel, [&] {
            QWidget *editor = QApplication::activeModalWidget();
            child<QListWidget>(editor, "listFilters")->setCurrentRow(row);
            QTest::mouseClick(child<QPushButton>(editor, "btnGo"), Qt::LeftButton);
        });
        QTest::mouseClick(child<QPushButton>(&panel, "btnFilters"), Qt::LeftButton);
        QTEST(panel.currentFilter()->name, "shown");
        QCOMPARE(child<QComboBox>(&panel, "cbFilter")->currentText(), panel.currentFilter()->name);
    }

    // "Очистить все" empties the criteria of the advanced search's one record; on the filters page it
    // shows the new-filter entry.
    void clearAll_data()
    {
        QTest::addColumn<bool>("advanced");
        QTest::newRow("advanced search") << true;
        QTest::newRow("filters page") << false;
    }
    void clearAll()
    {
        QFETCH(bool, advanced);
        FiltersPanel panel;
        panel.advancedMode = advanced;
        if (advanced)
            panel.show();
        else
            storeAndShow(panel, {QStringLiteral("alpha")});
        typeKeyWords(panel, QStringLiteral("words"));
        QTest::mouseClick(child<QCheckBox>(&panel, "chkPrice"), Qt::LeftButton);
        QVERIFY(!panel.currentFilter()->wordSerch.isEmpty());
        QTest::mouseClick(child<QToolButton>(&panel, "btnClearAll"), Qt::LeftButton);
        QCOMPARE(panel.currentFilter(), panel.filterAt(0));
        QVERIFY(panel.currentFilter()->wordSerch.isEmpty() && panel.currentFilter()->priceQuotation);
        QVERIFY(child<QLineEdit>(&panel, "edKeyWord")->text().isEmpty());
        QVERIFY(child<QCheckBox>(&panel, "chkPrice")->isChecked());
        if (!advanced)
            QCOMPARE(stored(), QStringList({"alpha:1:words"}));
    }
};

TAVREL_TEST_MAIN(TestFiltersPanel)
#include "tst_filterspanel.moc"
