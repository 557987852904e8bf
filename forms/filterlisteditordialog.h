#ifndef FILTERLISTEDITORDIALOG_H
#define FILTERLISTEDITORDIALOG_H

#include <QDialog>
#include <QList>
#include <QString>

class EditableListFilterWrapper;
class QKeyEvent;
class QShowEvent;

namespace Ui {
class FilterListEditorDialog;
}

// The modal dialog in which the user renames, copies, removes and reorders his filters as a whole.
// It works on entries only: the filter panel fills `filters` before each opening (after clearFilters),
// optionally sets the start row and titleOverride, runs exec(), and takes the entries back when the
// dialog emits saveClick(). Every change is recorded on the entries themselves.
//
// No button is a default button: Return in the name field renames and does nothing else, also in the
// moment after a refusal box when the dialog is not yet active again.
//
// Protected entries (local id -1 or -2: the new-filter row) can be neither removed nor moved; a name
// typed on one makes a new entry below it.
class FilterListEditorDialog : public QDialog
{
    Q_OBJECT

public:
    explicit FilterListEditorDialog(QWidget *parent = nullptr);
    ~FilterListEditorDialog() override;

    // Deletes every entry and empties the list.
    void clearFilters();
    void setStartRow(int row);
    // Marks the list modified or not; a modified list shows " *" after its title.
    void refreshTitle(bool value);
    // Copies the current entry under `name` (its own name when empty), made unique among the shown
    // entries, inserts the copy right below it and selects it.
    void copyCurrent(const QString &name);
    // Stable: entries of equal order keep their relative order.
    static void sortByDisplayOrder(QList<EditableListFilterWrapper *> &list);
    // The one name of a new filter: "Новый фильтр".
    static QString newFilterName();
    // The current row of the list (an index into the shown entries), -1 when none.
    int currentRow() const;
    bool isModified() const { return modified; }
    // The entries shown, in row order (removed entries are left out); not owned.
    const QList<EditableListFilterWrapper *> &shownEntries() const { return shownFilters; }

    // Every entry, shown or removed; owned by the dialog.
    QList<EditableListFilterWrapper *> filters;
    // When not empty at show time, the window title instead of the form's.
    QString titleOverride;

signals:
    void saveClick();
    void goClick();

private slots:
    void refreshList();
    void copyClick();
    void removeClick();
    void upClick();
    void dnClick();
    void nameChanged(const QString &text);
    void nameAssigned();
    void goClickInternal();
    void rowChanged(int row);

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    static bool isProtected(const EditableListFilterWrapper *entry);
    EditableListFilterWrapper *entryAt(int row) const;
    void setRowText(int row, const QString &text);
    void refuse(const QString &text);
    // Puts the name field back after a refused name and keeps the focus in it.
    void refuseName(const QString &text);
    void swapRows(int upper);

    bool nameEdited = false;
    bool modified = false;
    QString baseTitle;
    QList<EditableListFilterWrapper *> shownFilters;
    Ui::FilterListEditorDialog *ui;
    int startRow = 0;
};

#endif // FILTERLISTEDITORDIALOG_H
