#ifndef VERSIONFORM_H
#define VERSIONFORM_H

#include <QDialog>

namespace Ui {
class VersionForm;
}

// The dialog that tells the user that this version is outdated or no longer supported and offers the
// link to a newer one. The application object fills and runs it.
class VersionForm : public QDialog
{
    Q_OBJECT

public:
    explicit VersionForm(QWidget *parent = nullptr);
    ~VersionForm() override;

    // Sets the window title and both label texts back to their templates ("%1" version, "%2" link).
    void retranslateUi();

    Ui::VersionForm *ui;
};

#endif // VERSIONFORM_H
