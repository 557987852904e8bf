#ifndef FORMATTEDTEXTPATTERNS_H
#define FORMATTEDTEXTPATTERNS_H

class QLabel;
class QWidget;
class Ui_FormattedTextPatterns;

// The rich-text templates shared by the order views: the texts of the labels of one hidden form, built
// on first use. Read a template with instance()->formatPagerItem->text() (include
// "ui_formattedtextpatterns.h") and fill a copy; never change the labels.
class FormattedTextPatterns
{
public:
    // Never null; builds the form on the first call (and again after release()).
    static Ui_FormattedTextPatterns *instance();
    // Destroys the hidden form. The application object calls it before the GUI goes away.
    static void release();

private:
    static QWidget *form;
    static Ui_FormattedTextPatterns *ui;
};

// Swap the style of a navigation link (selected: white; unselected: black) in the label's text.
void setLinkSelected(QLabel *label);
void setLinkUnselected(QLabel *label);
// Swap the style of a page link and its background: the current page on light orange, others plain.
void setPagerItemCurrent(QLabel *label);
void setPagerItemNormal(QLabel *label);

#endif // FORMATTEDTEXTPATTERNS_H
