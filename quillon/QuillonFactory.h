#pragma once

#include "platform/ComponentFactory.h"

#include <QObject>

namespace quillon {

// The Quillon library: the control "Quillon" (QUILLON.QuillonCtrl.1) and its property page
// "QuillonPropPage" (QUILLON.QuillonPropPage.1).
class QuillonFactory : public QObject, public platform::ComponentFactory {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VeltraxComponentFactory_iid FILE "quillon.json")
    Q_INTERFACES(platform::ComponentFactory)

public:
    QObject* createInstance(const QString& className) override;
};

} // namespace quillon
