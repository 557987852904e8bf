#include "headlessapplication.h"

#include "appsettings.h"
#include "constants.h"
#include "networkrequestcontext.h"

HeadlessApplication::HeadlessApplication(int &argc, char **argv)
    : QCoreApplication(argc, argv)
{
    setOrganizationName(AppSettings::organizationNameUpper());
}

HeadlessApplication::~HeadlessApplication() = default;

bool HeadlessApplication::processVersionStatus(QObject *object)
{
    auto *context = qobject_cast<NetworkRequestContext *>(object);
    if (!context)
        return !m_unsupportedVersion;
    m_versionStatus = context->result.value(KEY_RESULT).toString();
    if (m_versionStatus == E_VERSION_BAD)
        m_unsupportedVersion = true;
    if (m_unsupportedVersion)
        return false;
    if (m_versionStatus == S_VERSION_GOOD)
        context->result.insert(KEY_RESULT, S_OK);
    return true;
}

void HeadlessApplication::resetVersionCheckForTesting()
{
    m_versionStatus.clear();
    m_unsupportedVersion = false;
}
