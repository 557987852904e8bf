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

// The dialog as the filter panel opens it: one entry per "localId:order" (named A, B, C ...), shown and active.
void open(FilterListEditorDialog &dialog, const QString &entries, int startRow = 1)
{
    for (const QString &text : entries.split(' ', Qt::SkipEmptyParts)) {
        auto *entry = new EditableListFilterWrapper();
        entry->localId = text.section(':', 0, 0).toLongLong();
        entry->displayOrder = text.section(':', 1).toLongLong();
        entry->name = QChar('A' + dialog.filters.size());
        dialog.filters << entry;
    }
    dialog.setStartRow(startRow);
    dialog.show();
    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
}

// The shown entries as "name:order", a "*" marking those to be taken back.
QString shown(const FilterListEditorDialog &dialog)
{
    QStringList rows;
    for (const EditableListFilterWrapper *e : dialog.shownEntries())
        rows << e->name + ':' + QString::number(e->displayOrder) + (e->changed ? "*" : "");
    return rows.join(' ');
}

} // namespace

class TestFilterDialogs : public QObject
{
    Q_OBJECT

private slots:
    void uniqueName_data()
    {
        for (const char *column : {"names", "source", "given", "expected"})
            QTest::addColumn<QString>(column);
        addTextRow("next free number", {"Тендеры|Тендеры 1", "Тендеры", "", "Тендеры 2"});
        addTextRow("numbered source", {"Тендеры 3|Тендеры 4", "Тендеры 3", "", "Тендеры 5"});
        addTextRow("number alone", {"7", "7", "", " 8"});
        addTextRow("no clash keeps a number", {"Тендеры|Тендеры 1", "x", "Тендеры 5", "Тендеры 5"});
        addTextRow("case ignored", {"ТЕНДЕРЫ", "x", "тендеры", "тендеры 1"});
        addTextRow("past the int range", {"x 2147483647", "x 2147483647", "", "x 2147483648"});
    }

    void uniqueName()
    {
        QFETCH(QString, names);
        QFETCH(QString, source);
        QFETCH(QString, given);
        EditableListFilterWrapper original;
        original.localId = 42;
        original.displayOrder = 3;
        original.name = source;
        std::unique_ptr<EditableListFilterWrapper> copy(original.uniqueName(names.split('|'), given));
        QTEST(copy->name, "expected");
        // A copy of the copy still names the first source.
        std::unique_ptr<EditableListFilterWrapper> second(copy->uniqueName(QStringList {copy->name}));
        for (const EditableListFilterWrapper *entry : {copy.get(), second.get()}) {
            QCOMPARE(entry->copyOfLocalId, 42);
            QCOMPARE(entry->copyOfName, source);
            QCOMPARE(entry->localId, 0);
            QCOMPARE(entry->displayOrder, 3);
        }
    }

    void editing_data()
    {
        // Steps: "@entries" to open with (names then shown as "name:order*"), a row clicked, "=text" typed and Return,
        // "~text" typed and Escape, a button, or "!answer" to the next question. Then: shown names, box, name field,
        // current row, modified, removed entries kept for the panel, signals.
        for (const char *column : {"steps", "names", "box", "field", "row", "modified", "removed", "emitted"})
            QTest::addColumn<QString>(column);
        const QList<QStringList> rows {
            {"opening: consecutive", "@1:0 2:1 3:2", "Новый фильтр:-1 A:0 B:1 C:2", "", "A", "1", "0", "0", ""},
            {"opening: gaps renumbered", "@1:5 2:7 3:9", "Новый фильтр:-1 A:0* B:1* C:2*", "", "A", "1", "0", "0", ""},
            {"opening: new-filter row given", "@-1:-2 2:0", "A:-2 B:-1*", "", "B", "1", "0", "0", ""},
            {"opening: no filters", "@", "Новый фильтр:-1", "", "", "-1", "0", "0", ""},
            {"rename", "1;=Альфа", "Новый фильтр|Альфа|B|C", "", "Альфа", "1", "1", "0", ""},
            {"letter case alone", "1;=a", "", "", "a", "1", "0", "0", ""},
            {"clash", "1;=b", "", "Фильтр с таким именем уже существует.", "A", "1", "0", "0", ""},
            {"blank", "1;=  ", "", "Название фильтра не может быть пустым.", "A", "1", "0", "0", ""},
            {"name of a removed one", "2;Удалить;1;=B", "Новый фильтр|B|C", "", "B", "1", "1", "1", ""},
            {"naming the new-filter row", "0;=Тендеры 5", "Новый фильтр|Тендеры 5|A|B|C", "", "Тендеры 5", "1", "1",
             "0", ""},
            {"copy of the new-filter row", "0;Копировать", "Новый фильтр|Новый фильтр 1|A|B|C", "", "Новый фильтр 1",
             "1", "1", "0", ""},
            {"removed copy", "1;Копировать;Удалить", "", "", "B", "2", "1", "0", ""},
            {"remove last", "3;Удалить", "Новый фильтр|A|B", "", "B", "2", "1", "1", ""},
            {"remove protected", "0;Удалить", "", "Данный фильтр удалить нельзя.", "Новый фильтр", "0", "0", "0", ""},
            {"up on row 0", "0;Вверх", "", "", "Новый фильтр", "0", "0", "0", ""},
            {"up below the new-filter row", "1;Вверх", "", "Данный фильтр переместить нельзя.", "A", "1", "0", "0", ""},
            {"down on the new-filter row", "0;Вниз", "", "Данный фильтр переместить нельзя.", "Новый фильтр", "0", "0",
             "0", ""},
            {"down on the last row", "3;Вниз", "", "", "C", "3", "0", "0", ""},
            {"up", "2;Вверх", "Новый фильтр|B|A|C", "", "B", "1", "1", "0", ""},
            {"down", "1;Вниз", "Новый фильтр|B|A|C", "", "A", "2", "1", "0", ""},
            {"escape takes the typing back", "1;~zzz", "", "", "A", "1", "0", "0", ""},
            {"go", "2;Перейти", "", "", "B", "2", "0", "0", "go"},
            {"go modified, yes", "2;Вверх;!Да;Перейти", "Новый фильтр|B|A|C", "?", "B", "1", "1", "0", "save go"},
            {"go modified, no", "2;Вверх;!Нет;Перейти", "Новый фильтр|B|A|C", "?", "B", "1", "1", "0", "go"}};
        for (QStringList row : rows) {
            if (row.at(2).isEmpty())
                row[2] = QStringLiteral("Новый фильтр|A|B|C");
            addTextRow(qPrintable(row.takeFirst()), row);
        }
    }

    void editing()
    {
        QFETCH(QString, steps);
        QFETCH(QString, box);
        FilterListEditorDialog dialog;
        const bool opening = steps.startsWith('@');
        open(dialog, opening ? steps.mid(1) : QStringLiteral("1:0 2:1 3:2"));
        MessageBoxDriver driver({QStringLiteral("OK")});
        QStringList emitted;
        connect(&dialog, &FilterListEditorDialog::saveClick, [&] { emitted << "save"; });
        connect(&dialog, &FilterListEditorDialog::goClick, [&] { emitted << "go"; });
        auto *list = child<QListWidget>(&dialog, "listFilters");
        auto *name = child<QLineEdit>(&dialog, "edName");
        for (const QString &step : opening ? QStringList() : steps.split(';')) {
            if (step.startsWith('!')) {
                driver.setAnswers({step.mid(1)});
            } else if (step.at(0).isDigit()) {
                const QRect rect = list->visualItemRect(list->item(step.toInt()));
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, rect.center());
            } else if (step.startsWith('=') || step.startsWith('~')) {
                name->setFocus();
                name->selectAll();
                for (const QChar ch : step.mid(1)) // keyClicks takes Latin-1 only
                    QTest::sendKeyEvent(QTest::Click, name, Qt::Key_unknown, QString(ch), Qt::NoModifier);
                QTest::keyClick(name, step.startsWith('=') ? Qt::Key_Return : Qt::Key_Escape);
                list->setFocus(); // editingFinished after Return must not act a second time
            } else {
                const auto buttons = dialog.findChildren<QPushButton *>();
                QTest::mouseClick(
                    *std::find_if(buttons.begin(), buttons.end(), [&](QPushButton *b) { return b->text() == step; }),
                    Qt::LeftButton);
            }
        }
        QStringList names;
        for (const EditableListFilterWrapper *entry : dialog.shownEntries())
            names << entry->name;
        QTEST(opening ? shown(dialog) : names.join('|'), "names");
        if (!box.isEmpty())
            box = box == "?" ? "Внимание|Сохранить изменения списка фильтров?" : "Ошибка|" + box;
        QCOMPARE(driver.seen().join(';'), box);
        QTEST(emitted.join(' '), "emitted");
        QTEST(name->text(), "field");
        QTEST(QString::number(dialog.currentRow()), "row");
        QTEST(QString::number(dialog.isModified()), "modified");
        QCOMPARE(dialog.windowTitle().endsWith(" *"), dialog.isModified());
        QCOMPARE(dialog.isVisible(), emitted.isEmpty());
        // A removed panel entry stays, marked for the panel; a removed copy leaves no trace.
        int removed = 0;
        for (const EditableListFilterWrapper *entry : qAsConst(dialog.filters))
            removed += entry->deleted && entry->changed ? 1 : 0;
        QTEST(QString::number(removed), "removed");
        QCOMPARE(dialog.filters.size(), dialog.shownEntries().size() + removed);
    }

    void wordsDialogActsOnPress()
    {
        EditWordsForm form;
        auto *save = child<QPushButton>(&form, "btnSave");
        QTimer::singleShot(0, &form, [&] { QTest::mousePress(save, Qt::LeftButton); }); // never released
        QCOMPARE(form.exec(), int(QDialog::Accepted));
        QTest::mouseRelease(save, Qt::LeftButton);
        QTimer::singleShot(0, &form, [&] { QTest::keyClick(&form, Qt::Key_Escape); });
        QCOMPARE(form.exec(), int(QDialog::Rejected));
    }

    void balloon_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("code");
        addTextRow("save", {"btnSave", "1"});
        addTextRow("clear", {"btnClear", "2"});
        addTextRow("cancel", {"btnCancel", "0"});
        addTextRow("another window activated", {"", "0"});
    }

    void balloon()
    {
        QFETCH(QString, button);
        DateTimeEditBalloon balloon;
        QList<QPair<int, bool>> reports; // each code, and whether the balloon was hidden by then
        connect(&balloon, &DateTimeEditBalloon::finished,
                [&](int code) { reports << qMakePair(code, balloon.isHidden()); });
        balloon.show();
        balloon.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&balloon));
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(&balloon, &leave);
        QVERIFY(balloon.isVisible() && reports.isEmpty());
        QWidget elsewhere;
        if (button.isEmpty()) {
            elsewhere.show();
            elsewhere.activateWindow();
        } else {
            QTest::mouseClick(child<QPushButton>(&balloon, qPrintable(button)), Qt::LeftButton);
        }
        QFETCH(QString, code);
        QTRY_COMPARE(reports, (QList<QPair<int, bool>> {qMakePair(code.toInt(), true)}));
        QTest::qWait(20); // nothing more follows
        QCOMPARE(reports.size(), 1);
    }
};

TAVREL_TEST_MAIN(TestFilterDialogs)
#include "tst_filterdialogs.moc"
