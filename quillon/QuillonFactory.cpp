#include "quillon/QuillonFactory.h"

#include "quillon/Quillon.h"
#include "quillon/QuillonPropPage.h"

namespace quillon {

QObject* QuillonFactory::createInstance(const QString& className) {
    if (className == QLatin1String("Quillon"))
        return new Quillon;
    if (className == QLatin1String("QuillonPropPage"))
        return new QuillonPropPage;
    return nullptr;
}

} // namespace quillon
