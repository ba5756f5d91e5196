#pragma once

// One audio renderer device from the graph assistant's renderer list (IAssist::get_NewEnum).
// Reachable by name too: the property "name" and the invokable method CreateInGraph.

#include "platform/ResultCodes.h"

#include <QObject>
#include <QString>

namespace nexuvo {

class IVBCol {
public:
    virtual ~IVBCol() = default;

    // [1] The device's name.
    virtual HRESULT get_name(QString* name) = 0;
    // [2] Makes the device's renderer and adds it to the graph (a media::FilterGraph, else
    // DISP_E_TYPEMISMATCH) under FilterName; returns the result of adding it. An object that was
    // not handed out by a renderer list has no device: E_FAIL, and nothing is added.
    virtual HRESULT CreateInGraph(QObject* pGraph, const QString& FilterName) = 0;
};

} // namespace nexuvo

#define NexuvoIVBCol_iid "org.veltrax.Nexuvo.IVBCol/1.0"
Q_DECLARE_INTERFACE(nexuvo::IVBCol, NexuvoIVBCol_iid)
