#pragma once

#include "platform/ComponentFactory.h"

#include <QObject>

namespace nexuvo {

// The library's class factory: "Assist" and "VBCol".
class NexuvoFactory : public QObject, public platform::ComponentFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VeltraxComponentFactory_iid FILE "nexuvo.json")
    Q_INTERFACES(platform::ComponentFactory)

public:
    QObject* createInstance(const QString& className) override;
};

} // namespace nexuvo
