// The filter panel's controls: how each field of the shown filter is shown, and how each edit is
// written back into it.
#include "filterspanel.h"
#include "ui_datetimeeditballoon.h"
#include "ui_editwordsform.h"
#include "ui_filterspanel.h"

#include "branch.h"
#include "constants.h"
#include "filter.h"
#include "region.h"
#include "synctasktype.h"
#include "tavrelapplication.h"
#include "tavrelsynchronization.h"
#include "tavrelsynchronizationtask.h"
#include "valuehelpers.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QRegularExpression>

#include <utility>

namespace {

const double AmountMaximum = 2000000000.0;

// The amount a text stands for, read with a point as the decimal separator; 0 when it is no number.
double amountValue(const QString &text, bool *ok = nullptr)
{
    bool read = false;
    const double value = text.toDouble(&read);
    if (ok)
        *ok = read;
    return read ? value : 0.0;
}

QString amountText(double value)
{
    return QString::number(value, 'f', 2);
}

// A stored text longer than the line edit can hold is shown cut: passing through the field must not
// store the cut text, only an edit the user really made does.
bool showsCutText(const QLineEdit *edit, const QString &stored)
{
    return stored.size() > edit->maxLength() && !edit->isModified();
}

QString countText(const QString &pattern, int count)
{
    return pattern.arg(count > 0 ? QString::number(count) : FiltersPanel::tr("все"));
}

} // namespace

QDate FiltersPanel::boundToDay(const QDateTime &bound)
{
    return bound.isValid() ? bound.toOffsetFromUtc(int(SERVER_TIME_SHIFT_SECONDS)).date() : QDate();
}

QDateTime FiltersPanel::dayToBound(const QDate &day)
{
    if (!day.isValid())
        return QDateTime();
    return QDateTime(day, QTime(0, 0), Qt::OffsetFromUTC, int(SERVER_TIME_SHIFT_SECONDS)).toUTC();
}

Entity::Filter *FiltersPanel::currentFilter() const
{
    return filterAt(currentRow);
}

void FiltersPanel::setDateControlsVisible(bool visible)
{
    for (QWidget *widget : std::initializer_list<QWidget *> {
             ui->dateTimeOpeningFrom, ui->dateTimeOpeningTo, ui->dateTimeClosingFrom, ui->dateTimeClosingTo,
             ui->btnOpenDateFromConf, ui->btnOpenDateToConf, ui->btnCloseDateFromConf, ui->btnCloseDateToConf,
             ui->lbDateOpenFrom, ui->lbDateOpenTo, ui->lbDateCloseFrom, ui->lbDateCloseTo})
        widget->setVisible(visible);
}

QDateTime *FiltersPanel::dateField(Entity::Filter *filter, int index) const
{
    if (!filter)
        return nullptr;
    switch (index) {
    case 0:
        return &filter->openingTimeFrom;
    case 1:
        return &filter->openingTimeTo;
    case 2:
        return &filter->closingTimeFrom;
    case 3:
        return &filter->closingTimeTo;
    default:
        return nullptr;
    }
}

QDateEdit *FiltersPanel::dateEdit(int index) const
{
    const QList<QDateEdit *> edits {ui->dateTimeOpeningFrom, ui->dateTimeOpeningTo, ui->dateTimeClosingFrom,
                                    ui->dateTimeClosingTo};
    return edits.value(index);
}

void FiltersPanel::refreshDateEdits(Entity::Filter *filter)
{
    for (int i = 0; i < 4; ++i) {
        const QDateTime *field = dateField(filter, i);
        QDateEdit *edit = dateEdit(i);
        edit->setEnabled(field->isValid());
        // The edit is given the day itself: it must not convert the instant by its own rules. The form
        // has the edits work in UTC, where every day has its midnight, unlike a zone whose daylight
        // saving starts at midnight.
        if (field->isValid())
            edit->setDate(boundToDay(*field));
    }
}

void FiltersPanel::showFilter()
{
    Entity::Filter *filter = currentFilter();
    if (!filter)
        return;
    updatingControls = true;

    ui->cbFilter->clear();
    for (const Entity::Filter *entry : qAsConst(workingList->items))
        ui->cbFilter->addItem(entry->name, QVariant(entry->localId));
    ui->cbFilter->setCurrentIndex(currentRow);

    ui->cbOrderType->clear();
    ui->cbOrderType->addItem(tr("Коммерческий заказ"), ORDER_TYPE_COMMERCIAL);
    ui->cbOrderType->addItem(tr("Государственный заказ"), ORDER_TYPE_OFFICIAL);
    ui->cbOrderType->addItem(tr("Все заказы"), ORDER_TYPE_ALL);
    const int orderType = ui->cbOrderType->findData(filter->orderType);
    if (orderType >= 0)
        ui->cbOrderType->setCurrentIndex(orderType);

    ui->cbSearchArea->clear();
    ui->cbSearchArea->addItem(tr("Текущие заказы"), SEARCH_AREA_CURRENT_ORDERS);
    ui->cbSearchArea->addItem(tr("Архивные заказы"), SEARCH_AREA_ARCHIVE_ORDERS);
    ui->cbSearchArea->setCurrentIndex(0);
    const int area = ui->cbSearchArea->findData(filter->searchArea);
    if (area >= 0)
        ui->cbSearchArea->setCurrentIndex(area);

    ui->chkAllWordsRequired->setChecked(filter->allWordsRequired);
    ui->chkEasyPurchase->setChecked(filter->easyPurchase);
    ui->chkElectronicAuction->setChecked(filter->electronicAuction);
    ui->chkOpenCompetition->setChecked(filter->openCompetition);
    ui->chkPreselection->setChecked(filter->preselection);
    ui->chkPrice->setChecked(filter->priceQuotation);
    ui->chkWithMorphology->setChecked(filter->withMorphology);
    ui->edExceptionWords->setText(filter->wordsExceptionsText());
    ui->edKeyWord->setText(filter->wordSerch);
    ui->chkSubscriptionEnabled->setChecked(filter->enabled);

    QStringList regionNames;
    for (int i = 0; i < filter->regions.size(); ++i) {
        if (const Entity::Region *region = filter->regionAt(i))
            regionNames << region->name;
    }
    ui->edRegions->setPlainText(regionNames.join(QStringLiteral("; ")));
    ui->lbSelectRegionsCount->setText(countText(regionsCountText, filter->regions.size()));
    QStringList branchNames;
    for (int i = 0; i < filter->branches.size(); ++i) {
        if (const Entity::Branch *branch = filter->branchAt(i))
            branchNames << branch->name;
    }
    ui->edBranches->setPlainText(branchNames.join(QStringLiteral("; ")));
    ui->lbSelectBranchesCount->setText(countText(branchesCountText, filter->branches.size()));

    ui->spinAmountOrdersFrom->setValue(amountValue(filter->amountOrdersFrom));
    ui->spinAmountOrdersTo->setValue(amountValue(filter->amountOrdersTo));
    shownAmountFrom = ui->spinAmountOrdersFrom->value();
    shownAmountTo = ui->spinAmountOrdersTo->value();

    refreshDateEdits(filter);
    updatingControls = false;
}

// --- edits ---------------------------------------------------------------------------------------

void FiltersPanel::editDone(Entity::Filter *filter)
{
    filter->setChanged(true);
    modified = true;
    markChanged();
}

void FiltersPanel::filterComboChanged(int n)
{
    if (updatingControls)
        return;
    saveChanges();
    showFilter();
    selectFilter(n);
}

void FiltersPanel::searchAreaComboChanged(int n)
{
    Q_UNUSED(n)
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    const QString code = ui->cbSearchArea->currentData().toString();
    if (code == filter->searchArea)
        return;
    filter->searchArea = code;
    editDone(filter);
}

void FiltersPanel::orderTypeComboChanged(int n)
{
    Q_UNUSED(n)
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    const QString code = ui->cbOrderType->currentData().toString();
    if (code == filter->orderType)
        return;
    filter->orderType = code;
    editDone(filter);
}

void FiltersPanel::checkBoxChanged(bool checked)
{
    Entity::Filter *filter = currentFilter();
    auto *box = qobject_cast<QCheckBox *>(sender());
    if (updatingControls || !filter || !box)
        return;
    const QList<QPair<QCheckBox *, bool Entity::Filter::*>> fields {
        {ui->chkOpenCompetition, &Entity::Filter::openCompetition},
        {ui->chkPrice, &Entity::Filter::priceQuotation},
        {ui->chkElectronicAuction, &Entity::Filter::electronicAuction},
        {ui->chkPreselection, &Entity::Filter::preselection},
        {ui->chkEasyPurchase, &Entity::Filter::easyPurchase},
        {ui->chkWithMorphology, &Entity::Filter::withMorphology},
        {ui->chkAllWordsRequired, &Entity::Filter::allWordsRequired},
        {ui->chkSubscriptionEnabled, &Entity::Filter::enabled}};
    for (const auto &field : fields) {
        if (field.first != box)
            continue;
        if (filter->*field.second == checked)
            return;
        filter->*field.second = checked;
        editDone(filter);
        return;
    }
}

void FiltersPanel::keyWordChanged()
{
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    const QString text = ui->edKeyWord->text();
    if (text == filter->wordSerch || showsCutText(ui->edKeyWord, filter->wordSerch))
        return;
    filter->wordSerch = text;
    editDone(filter);
}

void FiltersPanel::wordsExceptionChanged()
{
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    const QString text = ui->edExceptionWords->text();
    const QString stored = filter->wordsExceptionsText();
    if (text == stored || showsCutText(ui->edExceptionWords, stored))
        return;
    filter->setWordsExceptions(text);
    editDone(filter);
}

void FiltersPanel::writeAmount(QDoubleSpinBox *spin, QString Entity::Filter::*field, double shownValue)
{
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    const QString text = amountText(spin->value());
    if (text == filter->*field)
        return;
    // A stored amount the box cannot show (no number, or out of its range) is overwritten only by a
    // value the user has really changed, not by passing through the field.
    bool isNumber = false;
    const double stored = amountValue(filter->*field, &isNumber);
    if (spin->value() == shownValue && (!isNumber || stored < 0 || stored > AmountMaximum))
        return;
    filter->*field = text;
    editDone(filter);
}

void FiltersPanel::amountOrdersFromChanged()
{
    writeAmount(ui->spinAmountOrdersFrom, &Entity::Filter::amountOrdersFrom, shownAmountFrom);
}

void FiltersPanel::amountOrdersToChanged()
{
    writeAmount(ui->spinAmountOrdersTo, &Entity::Filter::amountOrdersTo, shownAmountTo);
}

void FiltersPanel::dateFieldsChanged(QDateTime dt)
{
    Entity::Filter *filter = currentFilter();
    if (updatingControls || !filter)
        return;
    int index = -1;
    for (int i = 0; i < 4; ++i) {
        if (sender() == dateEdit(i))
            index = i;
    }
    QDateTime *field = dateField(filter, index);
    if (!field)
        return;
    // A typed day is the service's day, as a picked one is.
    const QDateTime bound = dayToBound(dt.date());
    if (bound == *field)
        return;
    *field = bound;
    editDone(filter);
}

bool FiltersPanel::commitControls()
{
    quietCommit = true;
    keyWordChanged();
    wordsExceptionChanged();
    amountOrdersFromChanged();
    amountOrdersToChanged();
    quietCommit = false;
    // The entry may have been named already by the edit the focus finished as the window went.
    return std::exchange(quietlyNamed, false);
}

// --- dates through the balloon -------------------------------------------------------------------

void FiltersPanel::dateTimeEditButtonClick()
{
    auto *button = qobject_cast<QPushButton *>(sender());
    if (!button)
        return;
    const QPoint corner = button->mapToGlobal(QPoint(0, 0));
    dateBalloon.move(corner.x() + button->width() - dateBalloon.width(),
                     corner.y() + button->height() - dateBalloon.height());
    const QList<QPushButton *> buttons {ui->btnOpenDateFromConf, ui->btnOpenDateToConf, ui->btnCloseDateFromConf,
                                        ui->btnCloseDateToConf};
    const int index = buttons.indexOf(button);
    if (index >= 0) {
        const QDateTime *field = dateField(currentFilter(), index);
        if (field && field->isValid())
            dateBalloon.ui->calendar->setSelectedDate(boundToDay(*field));
        dateBalloon.fieldIndex = index;
    }
    disconnect(&dateBalloon, nullptr, this, nullptr);
    connect(&dateBalloon, &DateTimeEditBalloon::finished, this, &FiltersPanel::dateTimeEditPickFinish);
    dateBalloon.show();
    dateBalloon.raise();
    dateBalloon.setWindowState(dateBalloon.windowState() | Qt::WindowActive);
    dateBalloon.setFocus(Qt::OtherFocusReason);
}

void FiltersPanel::dateTimeEditPickFinish(int code)
{
    Entity::Filter *filter = currentFilter();
    if (code == 0 || !filter)
        return;
    const QDate day = code == 1 ? dateBalloon.ui->calendar->selectedDate() : QDate();
    if (QDateTime *field = dateField(filter, dateBalloon.fieldIndex))
        *field = dayToBound(day);
    editDone(filter);
    // The edit may have made the entry a filter of its own and reloaded the list.
    if (Entity::Filter *shown = currentFilter()) {
        updatingControls = true;
        refreshDateEdits(shown);
        updatingControls = false;
    }
}

// --- dialogs -------------------------------------------------------------------------------------

void FiltersPanel::exWordsClick()
{
    Entity::Filter *filter = currentFilter();
    if (!filter)
        return;
    const qint64 localId = filter->localId;
    const QStringList before = filter->wordsExceptions;
    wordsForm.ui->textEdit->setPlainText(before.join(QLatin1Char('\n')));
    const int result = runModal(wordsForm);
    // The records may have been read again while the dialog was open.
    filter = currentFilter();
    if (result == QDialog::Accepted && filter && filter->localId == localId) {
        const QStringList words = wordsForm.ui->textEdit->toPlainText().split(
            QRegularExpression(QStringLiteral("[\r\n]")), Qt::SkipEmptyParts);
        if (words != before) {
            filter->wordsExceptions = words;
            editDone(filter);
            showFilter();
        }
    }
    finishPendingReload();
}

void FiltersPanel::chooseLinks(RegionsForm &chooser, QList<qint64> Entity::Filter::*ids, int Entity::Filter::*stamp)
{
    Entity::Filter *filter = currentFilter();
    if (!filter)
        return;
    const qint64 localId = filter->localId;
    const QList<qint64> before = filter->*ids;
    chooser.ensureTree();
    chooser.setTickedIds(before);
    const int result = runModal(chooser);
    filter = currentFilter();
    if (result == QDialog::Accepted && filter && filter->localId == localId) {
        const QList<qint64> chosen = chooser.tickedIds(before);
        if (chosen != filter->*ids) {
            filter->*ids = chosen;
            --(filter->*stamp);
            editDone(filter);
            showFilter();
        }
    }
    finishPendingReload();
}

void FiltersPanel::regionsClick()
{
    chooseLinks(regionsForm, &Entity::Filter::regions, &Entity::Filter::regionStamp);
}

void FiltersPanel::branchesClick()
{
    chooseLinks(branchesForm, &Entity::Filter::branches, &Entity::Filter::branchStamp);
}

void FiltersPanel::mainSaveButtonClick()
{
    TavrelApplication *app = TavrelApplication::instance();
    if (TavrelSynchronization *sync = app ? app->synchronization.data() : nullptr) {
        if (TavrelSynchronizationTask *task = sync->findTask(SyncTaskType::FiltersSync))
            task->requireImmediate();
    }
    syncReloadAllowed = true;
}
