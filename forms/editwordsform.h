#ifndef EDITWORDSFORM_H
#define EDITWORDSFORM_H

#include <QDialog>

namespace Ui {
class EditWordsForm;
}

// The dialog in which the excluded words of a filter are edited, one entry per line. The owner puts
// the text into ui->textEdit, runs exec() and reads the text back after an accept.
// Its buttons act as soon as they are pressed down.
class EditWordsForm : public QDialog
{
    Q_OBJECT

public:
    explicit EditWordsForm(QWidget *parent = nullptr);
    ~EditWordsForm() override;

    Ui::EditWordsForm *ui;
};

#endif // EDITWORDSFORM_H
