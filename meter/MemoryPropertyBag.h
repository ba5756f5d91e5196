#pragma once

#include "meter/PropertyBag.h"

#include <QList>
#include <QPair>
#include <QStringList>

#include <initializer_list>

namespace meter {

// A property store held in memory, in the order the keys were first written. Hosts use it for
// values built into the program; tests use it to look at what a control saved.
class MemoryPropertyBag : public PropertyBag {
public:
    MemoryPropertyBag() = default;
    MemoryPropertyBag(std::initializer_list<QPair<QString, QVariant>> entries);

    QVariant readProperty(const QString& key, const QVariant& def) const override;
    void writeProperty(const QString& key, const QVariant& value) override;

    bool contains(const QString& key) const;
    // The keys as written, in the order they were first written.
    QStringList keys() const;

private:
    qsizetype indexOf(const QString& key) const;

    QList<QPair<QString, QVariant>> entries_;
};

} // namespace meter
