#include "sysmarr/SysmarrFactory.h"

#include "sysmarr/LocaleSettings.h"
#include "sysmarr/SystemInfo.h"

namespace sysmarr {

QObject* SysmarrFactory::createInstance(const QString& className) {
    if (className == QLatin1String("SystemInfo"))
        return new SystemInfo;
    if (className == QLatin1String("LocaleSettings"))
        return new LocaleSettings;
    return nullptr;
}

} // namespace sysmarr
