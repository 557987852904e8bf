// The filter list editor with its entries, the excluded-words dialog and the date balloon.
#include "datetimeeditballoon.h"
#include "editablelistfilterwrapper.h"
#include "editwordsform.h"
#include "filterlisteditordialog.h"
#include "formtesthelpers.h"
#include "messageboxdriver.h"
#include "testapplication.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

namespace {

struct Entry
{
    qint64 localId;
    qint64 order;
    QString name;
};

// A dialog filled as the filter panel fills it, shown and active.
void open(FilterListEditorDialog &dialog, const QList<Entry> &entries, int startRow = 1)
{
    dialog.clearFilters();
    for (const Entry &e : entries) {
        auto *entry = new EditableListFilterWrapper();
        entry->localId = e.localId;
        entry->displayOrder = e.order;
        entry->name = e.name;
        dialog.filters << entry;
    }
    dialog.setStartRow(startRow);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

QString shownNames(const FilterListEditorDialog &dialog)
{
    QStringList names;
    for (const EditableListFilterWrapper *entry : dialog.shownEntries())
        names << entry->name;
    return names.join(QLatin1Char('|'));
}

const QList<Entry> abc {{1, 0, QStringLiteral("A")}, {2, 1, QStringLiteral("B")}, {3, 2, QStringLiteral("C")}};

} // namespace

class TestFilterDialogs : public QObject
{
    Q_OBJECT

private slots:
    void uniqueName_data();
    void uniqueName();
    void opening_data();
    void opening();
    void editing_data();
    void editing();
    void go_data();
    void go();
    void wordsDialog_data();
    void wordsDialog();
    void balloonButtons_data();
    void balloonButtons();
    void balloonClosesOnDeactivationOnly();
};

void TestFilterDialogs::uniqueName_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("expected");
    const QStringList tenders {QStringLiteral("Тендеры"), QStringLiteral("Тендеры 1")};
    QTest::newRow("next free number") << tenders << "Тендеры"
                                      << ""
                                      << "Тендеры 2";
    QTest::newRow("numbered source") << QStringList {"Тендеры 3", "Тендеры 4"} << "Тендеры 3"
                                     << ""
                                     << "Тендеры 5";
    QTest::newRow("number alone") << QStringList {"7"} << "7"
                                  << ""
                                  << " 8";
    QTest::newRow("no clash keeps the number") << tenders << "Новый фильтр"
                                               << "Тендеры 5"
                                               << "Тендеры 5";
    QTest::newRow("case ignored") << QStringList {"ТЕНДЕРЫ"} << "x"
                                  << "тендеры"
                                  << "тендеры 1";
    QTest::newRow("past the int range") << QStringList {"x 2147483647"} << "x 2147483647"
                                        << ""
                                        << "x 2147483648";
}

void TestFilterDialogs::uniqueName()
{
    QFETCH(QStringList, names);
    QFETCH(QString, source);
    QFETCH(QString, given);
    EditableListFilterWrapper original;
    original.localId = 42;
    original.displayOrder = 3;
    original.name = source;
    std::unique_ptr<EditableListFilterWrapper> copy(original.uniqueName(names, given));
    QTEST(copy->name, "expected");
    QCOMPARE(copy->displayOrder, 3);
    // A copy names its source; a copy of the copy still names the first source.
    std::unique_ptr<EditableListFilterWrapper> second(copy->uniqueName(names << copy->name));
    for (const EditableListFilterWrapper *entry : {copy.get(), second.get()}) {
        QCOMPARE(entry->copyOfLocalId, 42);
        QCOMPARE(entry->copyOfName, source);
        QCOMPARE(entry->localId, 0);
    }
}

void TestFilterDialogs::opening_data()
{
    QTest::addColumn<QList<qint64>>("localIds");
    QTest::addColumn<QList<qint64>>("orders");
    QTest::addColumn<QList<qint64>>("expectedOrders");
    QTest::addColumn<QList<bool>>("expectedChanged");
    QTest::newRow("consecutive") << QList<qint64> {1, 2, 3} << QList<qint64> {0, 1, 2} << QList<qint64> {-1, 0, 1, 2}
                                 << QList<bool> {false, false, false, false};
    QTest::newRow("gaps renumbered") << QList<qint64> {1, 2, 3} << QList<qint64> {5, 7, 9}
                                     << QList<qint64> {-1, 0, 1, 2} << QList<bool> {false, true, true, true};
    QTest::newRow("new-filter row given")
        << QList<qint64> {-1, 2} << QList<qint64> {-2, 0} << QList<qint64> {-2, -1} << QList<bool> {false, true};
    QTest::newRow("no filters") << QList<qint64> {} << QList<qint64> {} << QList<qint64> {-1} << QList<bool> {false};
}

void TestFilterDialogs::opening()
{
    QFETCH(QList<qint64>, localIds);
    QFETCH(QList<qint64>, orders);
    QFETCH(QList<qint64>, expectedOrders);
    QFETCH(QList<bool>, expectedChanged);
    QList<Entry> entries;
    for (int i = 0; i < localIds.size(); ++i)
        entries << Entry {localIds.at(i), orders.at(i), QString::number(i)};
    FilterListEditorDialog dialog;
    open(dialog, entries);
    QList<qint64> shownOrders;
    QList<bool> changed;
    for (const EditableListFilterWrapper *entry : dialog.shownEntries()) {
        shownOrders << entry->displayOrder;
        changed << entry->changed;
    }
    QCOMPARE(shownOrders, expectedOrders);
    QCOMPARE(changed, expectedChanged);
    QCOMPARE(dialog.shownEntries().first()->localId, -1);
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Редактирование списка фильтров"));
}

void TestFilterDialogs::editing_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("names");
    QTest::addColumn<QString>("box");
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("modified");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("removed");
    const QString same = QStringLiteral("Новый фильтр|A|B|C");
    const QString exists = QStringLiteral("Ошибка|Фильтр с таким именем уже существует.");
    const QString noRemove = QStringLiteral("Ошибка|Данный фильтр удалить нельзя.");
    const QString noMove = QStringLiteral("Ошибка|Данный фильтр переместить нельзя.");
    // steps, shown names, message box, current row, modified, name field, removed entries kept
    QTest::newRow("rename") << QStringList {"row:1", "name:Альфа"} << "Новый фильтр|Альфа|B|C"
                            << "" << 1 << true << "Альфа" << 0;
    QTest::newRow("letter case alone") << QStringList {"row:1", "name:a"} << same << "" << 1 << false << "a" << 0;
    QTest::newRow("clash in other case") << QStringList {"row:1", "name:b"} << same << exists << 1 << false << "A" << 0;
    QTest::newRow("blank name") << QStringList {"row:1", "name:  "} << same
                                << "Ошибка|Название фильтра не может быть пустым." << 1 << false << "A" << 0;
    QTest::newRow("name of a removed entry") << QStringList {"row:2", "remove", "row:1", "name:B"} << "Новый фильтр|B|C"
                                             << "" << 1 << true << "B" << 1;
    QTest::newRow("naming the new-filter row")
        << QStringList {"row:0", "name:Тендеры 5"} << "Новый фильтр|Тендеры 5|A|B|C"
        << "" << 1 << true << "Тендеры 5" << 0;
    QTest::newRow("copy of the new-filter row") << QStringList {"row:0", "copy"} << "Новый фильтр|Новый фильтр 1|A|B|C"
                                                << "" << 1 << true << "Новый фильтр 1" << 0;
    QTest::newRow("removed copy") << QStringList {"row:1", "copy", "remove"} << same << "" << 2 << true << "B" << 0;
    QTest::newRow("remove last") << QStringList {"row:3", "remove"} << "Новый фильтр|A|B"
                                 << "" << 2 << true << "B" << 1;
    QTest::newRow("remove protected") << QStringList {"row:0", "remove"} << same << noRemove << 0 << false
                                      << "Новый фильтр" << 0;
    QTest::newRow("up on row 0") << QStringList {"row:0", "up"} << same << "" << 0 << false << "Новый фильтр" << 0;
    QTest::newRow("up below the new-filter row")
        << QStringList {"row:1", "up"} << same << noMove << 1 << false << "A" << 0;
    QTest::newRow("down on the new-filter row")
        << QStringList {"row:0", "down"} << same << noMove << 0 << false << "Новый фильтр" << 0;
    QTest::newRow("down on the last row") << QStringList {"row:3", "down"} << same << "" << 3 << false << "C" << 0;
    QTest::newRow("up") << QStringList {"row:2", "up"} << "Новый фильтр|B|A|C"
                        << "" << 1 << true << "B" << 0;
    QTest::newRow("down") << QStringList {"row:1", "down"} << "Новый фильтр|B|A|C"
                          << "" << 2 << true << "A" << 0;
    QTest::newRow("escape takes the typing back")
        << QStringList {"row:1", "type:zzz", "escape"} << same << "" << 1 << false << "A" << 0;
}

void TestFilterDialogs::editing()
{
    QFETCH(QStringList, steps);
    FilterListEditorDialog dialog;
    open(dialog, abc);
    MessageBoxDriver driver({QStringLiteral("OK")});
    auto *list = child<QListWidget>(&dialog, "listFilters");
    auto *name = child<QLineEdit>(&dialog, "edName");
    const QMap<QString, const char *> buttons {
        {"copy", "btnCopy"}, {"remove", "btnDelete"}, {"up", "btnUp"}, {"down", "btnDown"}};
    for (const QString &step : steps) {
        const QString argument = step.section(QLatin1Char(':'), 1);
        if (step.startsWith("row:")) {
            const QRect rect = list->visualItemRect(list->item(argument.toInt()));
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
        } else if (step.startsWith("name:") || step.startsWith("type:")) {
            name->setFocus();
            name->selectAll();
            for (const QChar ch : argument) // keyClicks takes Latin-1 only
                QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
            if (step.startsWith("name:")) {
                QTest::keyClick(name, Qt::Key_Return);
                list->setFocus(); // editingFinished follows Return: it must not act a second time
            }
        } else if (step == "escape") {
            QTest::keyClick(name, Qt::Key_Escape);
        } else {
            QTest::mouseClick(child<QPushButton>(&dialog, buttons.value(step)), Qt::LeftButton);
        }
    }
    QTEST(shownNames(dialog), "names");
    QFETCH(QString, box);
    QCOMPARE(driver.seen(), box.isEmpty() ? QStringList() : QStringList {box});
    QTEST(dialog.currentRow(), "row");
    QTEST(dialog.isModified(), "modified");
    QCOMPARE(dialog.windowTitle().endsWith(" *"), dialog.isModified());
    QVERIFY(dialog.isVisible());
    QTEST(name->text(), "field");

    // What the panel takes back: a removed panel entry stays, marked; a removed copy leaves no trace.
    int removed = 0;
    for (const EditableListFilterWrapper *entry : qAsConst(dialog.filters)) {
        QVERIFY(!entry->deleted || entry->changed);
        removed += entry->deleted ? 1 : 0;
    }
    QCOMPARE(dialog.filters.size() - removed, dialog.shownEntries().size());
    QTEST(removed, "removed");
}

void TestFilterDialogs::go_data()
{
    QTest::addColumn<bool>("modify");
    QTest::addColumn<QString>("answer");
    QTest::addColumn<QStringList>("signals");
    QTest::newRow("unmodified") << false << "" << QStringList {"go"};
    QTest::newRow("modified, yes") << true << "Да" << QStringList {"save", "go"};
    QTest::newRow("modified, no") << true << "Нет" << QStringList {"go"};
}

void TestFilterDialogs::go()
{
    QFETCH(bool, modify);
    QFETCH(QString, answer);
    FilterListEditorDialog dialog;
    open(dialog, abc, 2);
    QStringList emitted;
    connect(&dialog, &FilterListEditorDialog::saveClick, [&] { emitted << "save"; });
    connect(&dialog, &FilterListEditorDialog::goClick, [&] { emitted << "go"; });
    if (modify)
        QTest::mouseClick(child<QPushButton>(&dialog, "btnUp"), Qt::LeftButton);
    MessageBoxDriver driver(answer.isEmpty() ? QStringList() : QStringList {answer});
    QTest::mouseClick(child<QPushButton>(&dialog, "btnGo"), Qt::LeftButton);
    QTEST(emitted, "signals");
    QCOMPARE(driver.seen(), modify ? QStringList {"Внимание|Сохранить изменения списка фильтров?"} : QStringList());
    QVERIFY(driver.missed().isEmpty());
    QVERIFY(!dialog.isVisible());
    QCOMPARE(dialog.currentRow(), modify ? 1 : 2);
}

void TestFilterDialogs::wordsDialog_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("result");
    QTest::newRow("save pressed, not released") << "btnSave" << int(QDialog::Accepted);
    QTest::newRow("cancel pressed") << "btnCancel" << int(QDialog::Rejected);
    QTest::newRow("escape") << "escape" << int(QDialog::Rejected);
}

void TestFilterDialogs::wordsDialog()
{
    QFETCH(QString, action);
    EditWordsForm form;
    child<QTextEdit>(&form, "textEdit")->setPlainText(QStringLiteral("a\nb"));
    QTimer::singleShot(0, &form, [&] {
        if (action == "escape")
            QTest::keyClick(&form, Qt::Key_Escape);
        else
            QTest::mousePress(child<QPushButton>(&form, action.toLatin1().constData()), Qt::LeftButton);
    });
    QTEST(form.exec(), "result");
    if (action != "escape")
        QTest::mouseRelease(child<QPushButton>(&form, action.toLatin1().constData()), Qt::LeftButton);
    QCOMPARE(child<QTextEdit>(&form, "textEdit")->toPlainText(), QStringLiteral("a\nb"));
}

void TestFilterDialogs::balloonButtons_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<int>("code");
    QTest::newRow("save") << "btnSave" << 1;
    QTest::newRow("clear") << "btnClear" << 2;
    QTest::newRow("cancel") << "btnCancel" << 0;
}

void TestFilterDialogs::balloonButtons()
{
    QFETCH(QString, button);
    DateTimeEditBalloon balloon;
    QCOMPARE(balloon.minimumSize(), QSize(225, 187));
    QCOMPARE(balloon.maximumSize(), balloon.minimumSize());
    QCOMPARE(balloon.windowFlags() & Qt::FramelessWindowHint, Qt::FramelessWindowHint);
    QList<QPair<int, bool>> reports; // the code and whether the balloon was already hidden
    connect(&balloon, &DateTimeEditBalloon::finished,
            [&](int code) { reports << qMakePair(code, balloon.isHidden()); });
    balloon.show();
    QTest::mouseClick(child<QPushButton>(&balloon, button.toLatin1().constData()), Qt::LeftButton);
    QVERIFY(!reports.isEmpty());
    QFETCH(int, code);
    QCOMPARE(reports.first(), qMakePair(code, true));
    // Losing the activation afterwards may add a 0, never another code.
    for (const auto &report : qAsConst(reports).mid(1))
        QCOMPARE(report.first, 0);
}

void TestFilterDialogs::balloonClosesOnDeactivationOnly()
{
    DateTimeEditBalloon balloon;
    QSignalSpy finished(&balloon, &DateTimeEditBalloon::finished);
    balloon.show();
    balloon.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&balloon));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(&balloon, &leave);
    QVERIFY(balloon.isVisible());
    QVERIFY(finished.isEmpty());

    QWidget elsewhere;
    elsewhere.show();
    elsewhere.activateWindow();
    QTRY_COMPARE(finished.count(), 1);
    QCOMPARE(finished.first().first().toInt(), 0);
    QVERIFY(balloon.isHidden());
}

TAVREL_TEST_MAIN(TestFilterDialogs)
#include "tst_filterdialogs.moc"
