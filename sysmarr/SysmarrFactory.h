#pragma once

#include "platform/ComponentFactory.h"

#include <QObject>

namespace sysmarr {

// The library's class factory: "SystemInfo" and "LocaleSettings".
class SysmarrFactory : public QObject, public platform::ComponentFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VeltraxComponentFactory_iid FILE "sysmarr.json")
    Q_INTERFACES(platform::ComponentFactory)

public:
    QObject* createInstance(const QString& className) override;
};

} // namespace sysmarr
