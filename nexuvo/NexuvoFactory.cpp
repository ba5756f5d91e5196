#include "nexuvo/NexuvoFactory.h"

#include "nexuvo/Assist.h"
#include "nexuvo/VBCol.h"

namespace nexuvo {

QObject* NexuvoFactory::createInstance(const QString& className) {
    if (className == QLatin1String("Assist"))
        return new Assist;
    if (className == QLatin1String("VBCol"))
        return new VBCol;
    return nullptr;
}

} // namespace nexuvo
