#pragma once

#include "meter/PropertyBag.h"

class QSettings;

namespace meter {

// A property store kept as one group of a QSettings store, e.g. the group "IndL" of an INI file.
// The settings object stays the caller's and must outlive the bag.
class SettingsPropertyBag : public PropertyBag {
public:
    SettingsPropertyBag(QSettings& settings, const QString& group);

    QVariant readProperty(const QString& key, const QVariant& def) const override;
    void writeProperty(const QString& key, const QVariant& value) override;

private:
    // The key as stored in the group when one matches without regard to case, else empty.
    QString storedKey(const QString& key) const;

    QSettings& settings_;
    QString group_;
};

} // namespace meter
