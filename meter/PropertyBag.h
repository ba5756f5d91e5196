#pragma once

#include <QString>
#include <QVariant>

namespace meter {

// The host's store for the persistent properties of one control instance (the host keeps one per
// instance name). Keys are compared without regard to case.
class PropertyBag {
public:
    virtual ~PropertyBag() = default;

    // The value stored under key, or def when there is none.
    virtual QVariant readProperty(const QString& key, const QVariant& def) const = 0;
    // Stores value under key, replacing a value stored under the same key in any letter case.
    virtual void writeProperty(const QString& key, const QVariant& value) = 0;
};

} // namespace meter
