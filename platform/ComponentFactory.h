#pragma once

#include <QObject>
#include <QString>

namespace platform {

// What a component library exports: a Qt plugin whose metadata lists its classes (see
// ComponentLoader) and whose root object implements this interface.
class ComponentFactory {
public:
    virtual ~ComponentFactory() = default;
    // A new instance of the class of that name (the "name" from the metadata, e.g. "Assist"), with
    // no parent, or nullptr when the library cannot make one. The caller owns the object.
    virtual QObject* createInstance(const QString& className) = 0;
};

} // namespace platform

#define VeltraxComponentFactory_iid "org.veltrax.ComponentFactory/1.0"
Q_DECLARE_INTERFACE(platform::ComponentFactory, VeltraxComponentFactory_iid)
