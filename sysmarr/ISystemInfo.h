#pragma once

// The system-information object as its clients see it. A client creates it through the
// component loader by its class identifier {EF162785-6526-11D3-8017-00A0C93E2B7E} and reaches
// this interface with qobject_cast<sysmarr::ISystemInfo*>(object).
//
// Sizes are megabytes of 1,048,576 bytes. A drive is any path on the volume in question; it is
// written back normalised to the mount point of that volume, with a trailing "/".

#include <QObject>
#include <QString>

namespace sysmarr {

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    // Free megabytes on the volume holding Drive (an empty Drive: the volume of the current
    // folder).
    virtual double FreeMegaBytesOnDisk(QString& Drive) = 0;
    // Size of that volume in megabytes.
    virtual double TotalMegaBytesOnDisk(QString& Drive) = 0;
};

} // namespace sysmarr

#define SysmarrISystemInfo_iid "org.veltrax.Sysmarr.ISystemInfo/1.0"
Q_DECLARE_INTERFACE(sysmarr::ISystemInfo, SysmarrISystemInfo_iid)
