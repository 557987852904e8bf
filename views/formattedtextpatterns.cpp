#include "formattedtextpatterns.h"

#include "constants.h"
#include "ui_formattedtextpatterns.h"

#include <QLabel>
#include <QPalette>

QWidget *FormattedTextPatterns::form = nullptr;
Ui_FormattedTextPatterns *FormattedTextPatterns::ui = nullptr;

Ui_FormattedTextPatterns *FormattedTextPatterns::instance()
{
    if (!ui)
        ui = new Ui_FormattedTextPatterns;
    if (!form) {
        form = new QWidget;
        ui->setupUi(form);
    }
    return ui;
}

void FormattedTextPatterns::release()
{
    delete form;
    form = nullptr;
    delete ui;
    ui = nullptr;
}

namespace {

void replaceStyle(QLabel *label, const QString &from, const QString &to)
{
    label->setText(label->text().replace(from, to, Qt::CaseSensitive));
}

void setWindowBrush(QLabel *label, const QColor &color)
{
    QPalette palette = label->palette();
    palette.setBrush(QPalette::All, QPalette::Window, QBrush(color, Qt::SolidPattern));
    label->setPalette(palette);
}

} // namespace

void setLinkSelected(QLabel *label)
{
    replaceStyle(label, LINK_STYLE_UNSELECTED, LINK_STYLE_SELECTED);
}

void setLinkUnselected(QLabel *label)
{
    replaceStyle(label, LINK_STYLE_SELECTED, LINK_STYLE_UNSELECTED);
}

void setPagerItemCurrent(QLabel *label)
{
    const QString text = label->text().replace(PAGE_LINK_STYLE_NORMAL, PAGE_LINK_STYLE_CURRENT, Qt::CaseSensitive);
    label->setAutoFillBackground(true);
    setWindowBrush(label, QColor(255, 227, 199, 255));
    label->setText(text);
}

void setPagerItemNormal(QLabel *label)
{
    const QString text = label->text().replace(PAGE_LINK_STYLE_CURRENT, PAGE_LINK_STYLE_NORMAL, Qt::CaseSensitive);
    setWindowBrush(label, QColor(255, 255, 255, 0));
    label->setText(text);
    label->setAutoFillBackground(false);
}
