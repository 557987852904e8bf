#include "advancedsearchpanel.h"
#include "ui_advancedsearchpanel.h"
#include "ui_filterspanel.h"

#include "filter.h"
#include "filterspanel.h"
#include "vieworderspaginator.h"

#include <QHideEvent>
#include <QResizeEvent>
#include <QShowEvent>

AdvancedSearchPanel::AdvancedSearchPanel(QWidget *parent)
    : QWidget(parent)
    , ui(new Ui::AdvancedSearchPanel)
{
    ui->setupUi(this);
    // The form's white background is a style sheet, which a plain widget class paints only when asked to.
    setAttribute(Qt::WA_StyledBackground);
    connect(ui->btnResultShow, &QPushButton::clicked, this, &AdvancedSearchPanel::runSearch);
    connect(ui->btnFilterShow, &QPushButton::clicked, this, &AdvancedSearchPanel::clearSearch);
    connect(ui->btnFilterHide_2, &QPushButton::clicked, this, &AdvancedSearchPanel::closeFormPressed);
    // The three parts are placed by refreshGeoState() alone.
    ui->verticalLayout_3->setEnabled(false);
}

AdvancedSearchPanel::~AdvancedSearchPanel()
{
    // The filter panel belongs to the main window, which may destroy it after this page: a panel still
    // inside the page must not go with the page's children.
    releaseFiltersPanel();
    delete ui;
}

bool AdvancedSearchPanel::isSearching() const
{
    return paginator && paginator->isLoading();
}

int AdvancedSearchPanel::resultCount() const
{
    return paginator ? paginator->collection.count() : 0;
}

bool AdvancedSearchPanel::holdsFiltersPanel() const
{
    return filtersPanel && filtersPanel->parentWidget() == ui->placeFilter;
}

void AdvancedSearchPanel::releaseFiltersPanel()
{
    if (!holdsFiltersPanel())
        return;
    ui->verticalLayout->removeWidget(filtersPanel);
    filtersPanel->setParent(nullptr);
    filtersPanel->ui->lbFiltersHeader->setVisible(true);
    filtersPanel->hide();
}

void AdvancedSearchPanel::runSearch()
{
    startSearchRequest();
}

void AdvancedSearchPanel::startSearchRequest()
{
    if (!filtersPanel || !paginator)
        return;
    // What is typed but not yet committed belongs to the criteria.
    filtersPanel->commitControls();
    Entity::Filter *current = filtersPanel->currentFilter();
    if (!current)
        return;
    Entity::Filter copy;
    copy.fromVariantMap(current->toVariantMap());

    searchStarted = true;
    searchDone = false;
    // Connected first: a search that cannot be made at all ends within requestNewOrders().
    connect(paginator, &ViewOrdersPaginator::loadingFinished, this, &AdvancedSearchPanel::searchFinished,
            Qt::UniqueConnection);
    paginator->filter = &copy;
    paginator->requestNewOrders();
    if (paginator)
        paginator->filter = nullptr;
    refreshVisibleState();
    refreshGeoState();
}

void AdvancedSearchPanel::searchFinished()
{
    if (!paginator)
        return;
    disconnect(paginator, nullptr, this, nullptr);
    if (!paginator->lastLoadSucceeded()) {
        // A failed search found nothing, whatever the list still holds; the paginator has said why.
        clearSearch();
        return;
    }
    searchDone = true;
    noResults = resultCount() <= 0;
    refreshVisibleState();
    refreshGeoState();
    if (!noResults)
        emit searchFormComplete();
}

void AdvancedSearchPanel::clearSearch()
{
    searchDone = false;
    noResults = true;
    searchStarted = false;
    refreshVisibleState();
    refreshGeoState();
}

void AdvancedSearchPanel::refreshVisibleState()
{
    if (!isVisible())
        return;
    const bool loading = isSearching();
    const int count = resultCount();
    if (searchStarted) {
        ui->lbNoResults->setVisible(searchDone && count <= 0);
        ui->lbSearchInProgress->setVisible(loading);
        ui->placeResult->setVisible(searchDone && count > 0);
        ui->placeSearchButtons->setVisible(searchDone || loading);
    } else {
        ui->placeResult->hide();
        ui->placeSearchButtons->hide();
    }
    ui->placeFilter->setVisible(noResults);
    ui->frame->setVisible(noResults);
    ui->btnFilterShow->setVisible(!noResults);
    ui->btnFilterHide_2->setVisible(!noResults);
    if (!paginator)
        return;
    if (ui->lbNoResults->isVisible())
        emit notifyState(tr("Поиск не дал результатов"));
    else if (ui->lbSearchInProgress->isVisible())
        emit notifyState(tr("Идет поиск ..."));
    else if (ui->placeResult->isVisible())
        emit notifyState(tr("Найдено заявок: %1").arg(count));
}

void AdvancedSearchPanel::refreshGeoState()
{
    if (!isVisible())
        return;
    int y = 0;
    if (ui->placeFilter->isVisible()) {
        // Never lower than the filter panel needs, so that no text of it is cut off.
        const int height = qMax(430, ui->placeFilter->minimumSizeHint().height());
        ui->placeFilter->setGeometry(0, y, width(), height);
        y += height;
    }
    if (ui->frame->isVisible()) {
        ui->frame->setGeometry(0, y, width(), 40);
        y += 40;
    }
    if (ui->placeSearchButtons->isVisible()) {
        const int height = ui->placeResult->isVisible() ? this->height() : (noResults ? 30 : 60);
        ui->placeSearchButtons->setGeometry(0, y, width(), height);
    }
}

bool AdvancedSearchPanel::eventFilter(QObject *watched, QEvent *event)
{
    return QWidget::eventFilter(watched, event);
}

void AdvancedSearchPanel::resizeEvent(QResizeEvent *event)
{
    refreshGeoState();
    QWidget::resizeEvent(event);
}

void AdvancedSearchPanel::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Back from a minimised window the panel is still in the page, titled.
    if (filtersPanel && !holdsFiltersPanel()) {
        connect(filtersPanel, &FiltersPanel::closePressed, this, &AdvancedSearchPanel::closeFormPressed,
                Qt::UniqueConnection);
        savedHeaderText = filtersPanel->ui->lbFiltersHeader->text();
        filtersPanel->ui->lbFiltersHeader->setText(filtersPanel->headerTemplateText().arg(tr("Расширенный поиск")));
        filtersPanel->setParent(ui->placeFilter);
        ui->verticalLayout->addWidget(filtersPanel);
        // Shown only once inside the page: a parentless panel would open as a window of its own.
        filtersPanel->show();
    }
    emit notifyState(tr("Выберите параметры поиска"));
    refreshVisibleState();
    refreshGeoState();
}

void AdvancedSearchPanel::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // A minimised window or one sent to the tray hides the page too; it has not been left, so a
    // search still under way goes on to its results.
    if (!isHidden())
        return;
    if (paginator)
        disconnect(paginator, nullptr, this, nullptr);
    if (filtersPanel) {
        disconnect(filtersPanel, &FiltersPanel::closePressed, this, &AdvancedSearchPanel::closeFormPressed);
        if (holdsFiltersPanel())
            filtersPanel->ui->lbFiltersHeader->setText(savedHeaderText);
    }
    emit notifyState(QString());
    clearSearch();
    releaseFiltersPanel();
}
