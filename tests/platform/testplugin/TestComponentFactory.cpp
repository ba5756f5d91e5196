#include "TestComponentFactory.h"

#include "Echo.h"

QObject* TestComponentFactory::createInstance(const QString& className) {
    if (className == QLatin1String("Echo"))
        return new Echo;
    return nullptr;
}
