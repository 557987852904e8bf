#include "filterlisteditordialog.h"
#include "editablelistfilterwrapper.h"
#include "ui_filterlisteditordialog.h"

#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QShowEvent>

#include <algorithm>

FilterListEditorDialog::FilterListEditorDialog(QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::FilterListEditorDialog)
{
    ui->setupUi(this);
    baseTitle = windowTitle();

    connect(ui->edName, &QLineEdit::textChanged, this, &FilterListEditorDialog::nameChanged);
    connect(ui->edName, &QLineEdit::editingFinished, this, &FilterListEditorDialog::nameAssigned);
    connect(ui->edName, &QLineEdit::returnPressed, this, &FilterListEditorDialog::nameAssigned);
    connect(ui->btnCopy, &QPushButton::clicked, this, &FilterListEditorDialog::copyClick);
    connect(ui->btnDelete, &QPushButton::clicked, this, &FilterListEditorDialog::removeClick);
    connect(ui->btnDown, &QPushButton::clicked, this, &FilterListEditorDialog::dnClick);
    connect(ui->btnUp, &QPushButton::clicked, this, &FilterListEditorDialog::upClick);
    connect(ui->btnGo, &QPushButton::clicked, this, &FilterListEditorDialog::goClickInternal);
    connect(ui->btnSave, &QPushButton::clicked, this, &FilterListEditorDialog::saveClick);
    connect(ui->btnGo, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->btnSave, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->btnCancel, &QPushButton::clicked, this, &QWidget::close);
    connect(ui->listFilters, &QListWidget::currentRowChanged, this, &FilterListEditorDialog::rowChanged);
}

FilterListEditorDialog::~FilterListEditorDialog()
{
    // Destroying a shown dialog takes the focus from the name field; that must not reach a half-gone dialog.
    ui->edName->disconnect(this);
    ui->listFilters->disconnect(this);
    clearFilters();
    delete ui;
}

void FilterListEditorDialog::clearFilters()
{
    shownFilters.clear();
    qDeleteAll(filters);
    filters.clear();
}

void FilterListEditorDialog::setStartRow(int row)
{
    startRow = row;
}

void FilterListEditorDialog::refreshTitle(bool value)
{
    if (modified == value)
        return;
    modified = value;
    QString title = windowTitle().remove(QStringLiteral(" *"));
    if (value)
        title += QStringLiteral(" *");
    setWindowTitle(title);
}

QString FilterListEditorDialog::newFilterName()
{
    return QObject::tr("Новый фильтр");
}

int FilterListEditorDialog::currentRow() const
{
    return ui->listFilters->currentRow();
}

void FilterListEditorDialog::sortByDisplayOrder(QList<EditableListFilterWrapper *> &list)
{
    std::stable_sort(list.begin(), list.end(),
                     [](const EditableListFilterWrapper *a, const EditableListFilterWrapper *b) {
                         return a->displayOrder < b->displayOrder;
                     });
}

bool FilterListEditorDialog::isProtected(const EditableListFilterWrapper *entry)
{
    return quint64(entry->localId + 2) <= 1;
}

EditableListFilterWrapper *FilterListEditorDialog::entryAt(int row) const
{
    return row >= 0 && row < shownFilters.size() ? shownFilters.at(row) : nullptr;
}

void FilterListEditorDialog::setRowText(int row, const QString &text)
{
    if (QListWidgetItem *item = ui->listFilters->item(row)) {
        item->setText(text);
        item->setData(Qt::AccessibleTextRole, text);
    }
}

void FilterListEditorDialog::refuse(const QString &text)
{
    QMessageBox::warning(nullptr, tr("Ошибка"), text);
}

void FilterListEditorDialog::refuseName(const QString &text)
{
    refuse(text);
    ui->edName->undo();
    ui->edName->setFocus();
    nameEdited = false;
}

void FilterListEditorDialog::refreshList()
{
    int row = ui->listFilters->currentRow();
    ui->listFilters->clear();
    sortByDisplayOrder(filters);
    shownFilters.clear();

    qint64 base = 0;
    int first = -1;
    for (int i = 0; i < filters.size(); ++i) {
        EditableListFilterWrapper *entry = filters.at(i);
        if (entry->deleted)
            continue;
        if (first < 0) {
            first = i;
            base = entry->displayOrder;
        }
        // Shown entries are numbered on from the first, leaving the places of removed ones free.
        const qint64 expected = qint32(quint32(base + (i - first)));
        if (entry->displayOrder != expected) {
            entry->displayOrder = expected;
            entry->changed = true;
            refreshTitle(true);
        }
        ui->listFilters->addItem(entry->name);
        setRowText(ui->listFilters->count() - 1, entry->name);
        shownFilters << entry;
        entry->listIndex = i;
    }
    if (row >= ui->listFilters->count())
        row = qMax(0, ui->listFilters->count() - 1);
    ui->listFilters->setCurrentRow(row);
}

void FilterListEditorDialog::copyCurrent(const QString &name)
{
    const int row = currentRow();
    EditableListFilterWrapper *source = entryAt(row);
    if (!source)
        return;
    EditableListFilterWrapper *copy = source->uniqueName(shownFilters, name);
    copy->changed = true;
    filters << copy;
    refreshList();
    ui->listFilters->setCurrentRow(row + 1);
}

void FilterListEditorDialog::copyClick()
{
    copyCurrent(QString());
}

void FilterListEditorDialog::removeClick()
{
    const int row = currentRow();
    EditableListFilterWrapper *entry = entryAt(row);
    if (!entry)
        return;
    if (isProtected(entry)) {
        refuse(tr("Данный фильтр удалить нельзя."));
        return;
    }
    refreshTitle(true);
    shownFilters.removeAt(row);
    delete ui->listFilters->takeItem(row);
    // Deselecting first makes the name field follow even when the row number stays.
    ui->listFilters->setCurrentRow(-1);
    ui->listFilters->setCurrentRow(qMin(row, ui->listFilters->count() - 1));

    if (entry->copyOfLocalId == -3) {
        entry->deleted = true;
        entry->changed = true;
        return;
    }
    // A copy made in this dialog: the panel knows nothing of it, so it simply goes.
    filters.removeOne(entry);
    for (int i = 0; i < filters.size(); ++i)
        filters.at(i)->listIndex = i;
    delete entry;
}

void FilterListEditorDialog::swapRows(int upper)
{
    EditableListFilterWrapper *a = shownFilters.at(upper);
    EditableListFilterWrapper *b = shownFilters.at(upper + 1);
    std::swap(a->displayOrder, b->displayOrder);
    a->changed = true;
    b->changed = true;
    shownFilters.swapItemsAt(upper, upper + 1);
    setRowText(upper, b->name);
    setRowText(upper + 1, a->name);
    refreshTitle(true);
}

void FilterListEditorDialog::upClick()
{
    const int row = currentRow();
    EditableListFilterWrapper *entry = entryAt(row);
    if (!entry || row == 0)
        return;
    if (isProtected(entry) || isProtected(shownFilters.at(row - 1))) {
        refuse(tr("Данный фильтр переместить нельзя."));
        return;
    }
    swapRows(row - 1);
    ui->listFilters->setCurrentRow(row - 1);
}

void FilterListEditorDialog::dnClick()
{
    const int row = currentRow();
    EditableListFilterWrapper *entry = entryAt(row);
    if (!entry)
        return;
    if (isProtected(entry)) {
        refuse(tr("Данный фильтр переместить нельзя."));
        return;
    }
    if (row == shownFilters.size() - 1)
        return;
    swapRows(row);
    ui->listFilters->setCurrentRow(row + 1);
}

void FilterListEditorDialog::nameChanged(const QString &)
{
    nameEdited = true;
}

void FilterListEditorDialog::nameAssigned()
{
    // Return is followed by editingFinished; the flag lets only the first of the two act.
    if (!nameEdited)
        return;
    nameEdited = false;
    int row = currentRow();
    EditableListFilterWrapper *entry = entryAt(row);
    if (!entry)
        return;
    const QString text = ui->edName->text();
    const QString lowered = text.toLower();
    // A change of letter case alone is no rename.
    if (entry->name.toLower() == lowered)
        return;
    if (text.trimmed().isEmpty()) {
        refuseName(tr("Название фильтра не может быть пустым."));
        return;
    }
    for (const EditableListFilterWrapper *other : qAsConst(shownFilters)) {
        if (other != entry && other->name.toLower() == lowered) {
            refuseName(tr("Фильтр с таким именем уже существует."));
            return;
        }
    }
    if (isProtected(entry)) {
        copyCurrent(text);
        ++row;
        entry = entryAt(row);
        if (!entry)
            return;
    }
    entry->name = text;
    entry->changed = true;
    setRowText(row, text);
    refreshTitle(true);
    ui->listFilters->setCurrentRow(row);
}

void FilterListEditorDialog::goClickInternal()
{
    if (modified) {
        QMessageBox question(QMessageBox::Question, tr("Внимание"), tr("Сохранить изменения списка фильтров?"),
                             QMessageBox::NoButton, this);
        QPushButton *yes = question.addButton(tr("Да"), QMessageBox::YesRole);
        QPushButton *no = question.addButton(tr("Нет"), QMessageBox::NoRole);
        question.setDefaultButton(yes);
        question.setEscapeButton(no);
        question.exec();
        if (question.clickedButton() == yes)
            emit saveClick();
    }
    emit goClick();
}

void FilterListEditorDialog::rowChanged(int row)
{
    const EditableListFilterWrapper *entry = entryAt(row);
    ui->edName->setText(entry ? entry->name : QString());
    nameEdited = false;
}

void FilterListEditorDialog::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape) && isActiveWindow()) {
        // Neither key closes the list: Return has already renamed through the field, Escape takes back
        // what was typed.
        if (key == Qt::Key_Escape) {
            if (const EditableListFilterWrapper *entry = entryAt(currentRow()))
                ui->edName->setText(entry->name);
            nameEdited = false;
        }
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void FilterListEditorDialog::showEvent(QShowEvent *event)
{
    setWindowTitle(titleOverride.isEmpty() ? baseTitle : titleOverride);
    ui->edName->setFocus();

    qint64 smallest = 0;
    bool hasNewFilterRow = false;
    for (const EditableListFilterWrapper *entry : qAsConst(filters)) {
        if (entry->localId == -1) {
            hasNewFilterRow = true;
            break;
        }
        smallest = qMin(smallest, entry->displayOrder);
    }
    if (!hasNewFilterRow) {
        auto *entry = new EditableListFilterWrapper();
        entry->localId = -1;
        entry->name = newFilterName();
        entry->displayOrder = smallest - 1;
        filters << entry;
    }

    refreshList();
    // A start row outside the list leaves no current entry: renames, moves and Escape then do nothing.
    const bool inside = startRow >= 0 && startRow < shownFilters.size();
    ui->listFilters->setCurrentRow(inside ? startRow : -1);
    ui->edName->setText(inside ? shownFilters.at(startRow)->name : QString());
    nameEdited = false;
    // The renumbering of the opening is no change the user made.
    refreshTitle(false);
    QDialog::showEvent(event);
}
