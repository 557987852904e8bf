// The search header: Enter in the search line, the filter combo box kept in step with the database
// and with the filters listener, the chosen filter, and the window buttons after a resize.
#include "syncfixture.h"
#include "filter.h"
#include "filterlist.h"
#include "formtesthelpers.h"
#include "searchpanel.h"
#include "testapplication.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QtTest>

class TestSearchPanel : public QObject
{
    Q_OBJECT

    SyncFixture fixture;
    QString login;

    // Makes the login's stored filters exactly these, each "server id|name|state", separated by blanks.
    void storeFilters(const QString &filters)
    {
        Entity::FilterList list;
        for (const QString &text : filters.split(' ', Qt::SkipEmptyParts)) {
            list.items << new Entity::Filter();
            list.items.last()->id = text.section('|', 0, 0).toLongLong();
            list.items.last()->name = text.section('|', 1, 1);
            list.items.last()->state = Entity::FilterList::stringToState(text.section('|', 2));
            list.items.last()->displayOrder = list.items.size();
        }
        QVERIFY(fixture.query->saveFilters(login, list, true));
        list.clear();
    }

    static QString items(const QComboBox *combo)
    {
        QStringList texts;
        for (int i = 0; i < combo->count(); ++i)
            texts << combo->itemText(i);
        return texts.join(' ');
    }

    // A filters notice through the panel's listener, as the engine sends it.
    static void notify(SearchPanel &panel, const QString &key)
    {
        NetworkRequestContext *listener = panel.filtersListenerContext();
        QVERIFY(listener);
        listener->result.insert(key, true);
        NetworkRequestContext::emitReplyFinished(listener, listener);
        listener->result.remove(key);
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

    void enterClicksSearch_data()
    {
        for (const char *column : {"tab", "key", "text", "clicks"})
            QTest::addColumn<QString>(column);
        addTextRow("return, empty line", {"0", QString::number(Qt::Key_Return), "", "1"});
        addTextRow("keypad enter in the archive", {"1", QString::number(Qt::Key_Enter), "abc", "1"});
        addTextRow("return in the combo box", {"2", QString::number(Qt::Key_Return), "", "0"});
    }

    void enterClicksSearch()
    {
        QFETCH(QString, tab);
        QFETCH(QString, text);
        SearchPanel panel;
        panel.show();
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(tab.toInt());
        auto *line = child<QLineEdit>(&panel, "searchLineEdit");
        line->setText(text);
        QSignalSpy clicks(child<QPushButton>(&panel, "buttonSearch"), &QPushButton::clicked);
        QSignalSpy reached(line, &QLineEdit::returnPressed);
        QWidget *target = line->isVisible() ? static_cast<QWidget *>(line) : child<QComboBox>(&panel, "comboFilters");
        QFETCH(QString, key);
        QTest::keyClick(target, Qt::Key(key.toInt()));
        QTEST(QString::number(clicks.count()), "clicks");
        QCOMPARE(reached.count(), 0);
        QCOMPARE(line->text(), text);
    }

    void comboKeepsTheChoice_data()
    {
        // Stored filters, the user's choice, the filters stored later, whether a notice refilled the combo
        // box; then its items, its current item and the name of the selected filter.
        for (const char *column : {"before", "choose", "after", "refill", "items", "current", "selected"})
            QTest::addColumn<QString>(column);
        const QString ab = QStringLiteral("5|A|Sync 6|B|Sync");
        addTextRow("first fill", {ab, "", ab, "1", "A B", "A", "A"});
        addTextRow("renamed elsewhere: by id", {ab, "B", "5|A|Sync 6|Бета|Sync", "1", "A Бета", "Бета", "Бета"});
        addTextRow("new ids: by name, case ignored",
                   {"5|A|Sync 6|Beta|Sync", "Beta", "15|A|Sync 16|BETA|Sync", "1", "A BETA", "BETA", "BETA"});
        addTextRow("deleted never listed", {"5|A|Sync 6|B|Deleted 7|C|Sync", "C", "", "1", "A C", "C", "C"});
        addTextRow("never synchronized", {"-1|Один|New -1|Два|New", "Один", "", "1", "Один Два", "Один", "Один"});
        addTextRow("chosen one deleted, not refilled", {ab, "B", "5|A|Sync 6|B|Deleted", "0", "A B", "B", ""});
        addTextRow("chosen one deleted, refilled", {ab, "B", "5|A|Sync 6|B|Deleted", "1", "A", "A", "A"});
        addTextRow("no filters", {"", "", "", "1", "", "", ""});
    }

    void comboKeepsTheChoice()
    {
        QFETCH(QString, before);
        QFETCH(QString, choose);
        QFETCH(QString, after);
        QFETCH(QString, refill);
        storeFilters(before);
        SearchPanel panel;
        panel.show();
        auto *combo = child<QComboBox>(&panel, "comboFilters");
        child<QTabWidget>(&panel, "tabWidget")->setCurrentIndex(2);
        QVERIFY(combo->isVisible());
        if (!choose.isEmpty())
            combo->setCurrentIndex(combo->findText(choose));
        if (!after.isEmpty())
            storeFilters(after);
        if (refill == "1")
            notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QTEST(items(combo), "items");
        QTEST(combo->currentText(), "current");
        std::unique_ptr<Entity::Filter> selected(panel.selectedFilter());
        QTEST(selected ? selected->name : QString(), "selected");
        QVERIFY(!selected || selected->state != Entity::FilterList::Deleted);
    }

    void listenerLivesWhileShown()
    {
        SearchPanel panel;
        QVERIFY(!panel.filtersListenerContext());
        panel.show();
        QPointer<NetworkRequestContext> first = panel.filtersListenerContext();
        QShowEvent again; // a second show without a hide between (a window coming back from the tray)
        QApplication::sendEvent(&panel, &again);
        QVERIFY(first && panel.filtersListenerContext() == first);
        storeFilters("5|A|Sync");
        notify(panel, KEY_NOTIFY_BEFORE_SYNC);
        QCOMPARE(child<QComboBox>(&panel, "comboFilters")->count(), 0);
        notify(panel, KEY_NOTIFY_AFTER_SYNC);
        QCOMPARE(child<QComboBox>(&panel, "comboFilters")->count(), 1);
        panel.hide();
        QVERIFY(!first && !panel.filtersListenerContext());
        panel.show();
        QVERIFY(panel.filtersListenerContext());
    }

    void buttonsFollowTheWidth()
    {
        SearchPanel panel;
        panel.show();
        auto *maximize = child<QPushButton>(&panel, "pushButtonMaximize");
        auto *restore = child<QPushButton>(&panel, "pushButtonRestore");
        for (const int width : {1000, 1280}) {
            if (width == 1280)
                QTest::mouseClick(maximize, Qt::LeftButton);
            QCOMPARE(restore->isVisible(), width == 1280);
            QCOMPARE(maximize->isVisible(), width != 1280);
            panel.resize(width, 95);
            QCOMPARE(child<QPushButton>(&panel, "pushButtonClose")->pos(), QPoint(width - 25, 5));
            QCOMPARE(maximize->pos(), QPoint(width - 45, 5));
            QCOMPARE(restore->pos(), maximize->pos());
            QCOMPARE(child<QPushButton>(&panel, "pushButtonMinimize")->pos(), QPoint(width - 65, 5));
            QCOMPARE(child<QTabWidget>(&panel, "tabWidget")->geometry().right(), width - 5);
            QCOMPARE(child<QWidget>(&panel, "widget_3")->width(), child<QTabWidget>(&panel, "tabWidget")->width());
        }
        QTest::mouseClick(restore, Qt::LeftButton);
        QVERIFY(maximize->isVisible() && !restore->isVisible());
    }
};

TAVREL_TEST_MAIN(TestSearchPanel)
#include "tst_searchpanel.moc"
