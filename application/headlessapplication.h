#ifndef HEADLESSAPPLICATION_H
#define HEADLESSAPPLICATION_H

#include "corehost.h"

#include <QCoreApplication>

// The application object of programs without windows (the core's tests, benchmarks and tools): the core
// objects are published here, the loading indicator and the tray are nothing, and the version status is
// only recorded: an unsupported version stops every later request, as in the windowed program.
class HeadlessApplication : public QCoreApplication, public CoreHost
{
    Q_OBJECT

public:
    HeadlessApplication(int &argc, char **argv);
    ~HeadlessApplication() override;

    void showLoadingIndicator() override { }
    void stopLoadingIndicator() override { }
    bool processVersionStatus(QObject *context) override;
    bool isVersionUnsupported() const override { return m_unsupportedVersion; }
    void setTrayVisible(bool) override { }

    // The status of the last reply that carried one.
    QString versionStatus() const { return m_versionStatus; }
    void resetVersionCheckForTesting();

private:
    QString m_versionStatus;
    bool m_unsupportedVersion = false;
};

#endif // HEADLESSAPPLICATION_H
