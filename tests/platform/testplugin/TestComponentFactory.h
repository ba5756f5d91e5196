#pragma once

#include "platform/ComponentFactory.h"

#include <QObject>

class TestComponentFactory : public QObject, public platform::ComponentFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VeltraxComponentFactory_iid FILE "testcomponent.json")
    Q_INTERFACES(platform::ComponentFactory)

public:
    // Makes "Echo"; declines everything else, "Unbuilt" included.
    QObject* createInstance(const QString& className) override;
};
