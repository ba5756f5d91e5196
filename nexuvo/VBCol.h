#pragma once

#include "media/FilterItem.h"
#include "nexuvo/IVBCol.h"

#include <QObject>
#include <optional>

namespace nexuvo {

// One audio renderer device: its name and the means to make its renderer in a graph.
class VBCol : public QObject, public IVBCol {
    Q_OBJECT
    Q_INTERFACES(nexuvo::IVBCol)
    Q_PROPERTY(QString name READ name)

public:
    // A VBCol made by a client directly: no name and no device.
    explicit VBCol(QObject* parent = nullptr);
    VBCol(const media::FilterItem& device, QObject* parent = nullptr);

    QString name() const;
    VBCol* copy(QObject* parent) const;

    HRESULT get_name(QString* name) override;
    Q_INVOKABLE int CreateInGraph(QObject* pGraph, const QString& FilterName) override;

private:
    std::optional<media::FilterItem> m_device;
};

} // namespace nexuvo
