#pragma once

// The system-information object as its clients see it. A client creates it through the
// component loader by its class identifier {EF162785-6526-11D3-8017-00A0C93E2B7E} (or the ProgID
// "Sysmarr.SystemInfo") and reaches this interface with
// qobject_cast<sysmarr::ISystemInfo*>(object).
//
// Sizes are megabytes of 1,048,576 bytes. A drive is any path on the volume in question; it is
// written back normalised to the mount point of that volume, with a trailing "/".
//
// Members never throw. A member that asks the system something and fails returns 0 (or an empty
// text), except the two disk sizes, which return kSizeUnavailable so that a failed query can
// never be read as a full disk. The members that say so record the errno of a failed query in
// SystemErrorCode, after resetting it to 0 on entry.
//
// Every member is also reachable by name: the parameterless ones that the class calls properties
// (HasSoundCard, ComputerName, CurrentUser, OSVersion, MaxScreenColors, ScreenPixelWidth,
// ScreenPixelHeight, ScreenResolution, SystemErrorCode) as read-only properties, the others as
// invokable methods. Methods with a drive accept it as QString& (written back), as QString (not
// written back) or, except DriveType, not at all (the current folder's volume). DriveType answers
// a late-bound call with a sysmarr::DRIVE_TYPE; the OSVersion property holds its value as an int.
// Booleans are −1 for true and 0 for false.

#include <QObject>
#include <QString>
#include <QVariant>

namespace sysmarr {

// What kind of volume holds a path.
enum DRIVE_TYPE {
    DRIVE_DOESNT_EXIST = 1, // the path does not exist
    DRIVE_REMOVABLE = 2,    // on a device the kernel marks as removable (USB sticks, card readers)
    DRIVE_FIXED = 3,        // a local disk
    DRIVE_REMOTE = 4,       // a network file system (nfs, cifs, sshfs …)
    DRIVE_CDROM = 5,        // an optical disc's file system (iso9660, udf)
    DRIVE_RAMDISK = 6       // memory only: tmpfs, ramfs and the kernel's virtual file systems
};

// The Windows release a version number stands for. This system runs on Linux, which is none of
// them: OSVersion always reports OS_WINDOWS_UNKNOWN here.
enum OS_VERSION {
    OS_WINDOWS_UNKNOWN = 0,
    OS_WINDOWS_3X = 1,
    OS_WINDOWS_95 = 2,
    OS_WINDOWS_98 = 3,
    OS_WINDOWS_NT3X = 4,
    OS_WINDOWS_NT40 = 5,
    OS_WINDOWS_2000 = 6
};

// What FreeMegaBytesOnDisk and TotalMegaBytesOnDisk return when the volume cannot be queried (the
// path does not exist, cannot be searched …). No real size is negative.
constexpr double kSizeUnavailable = -1.0;

class ISystemInfo {
public:
    virtual ~ISystemInfo() = default;

    // Megabytes on the volume holding Drive that this program may still write (the space the
    // file system keeps back for the administrator is not counted), rounded to two decimals. An
    // empty Drive means the volume of the current folder. Drive is written back as that volume's
    // mount point; when the volume cannot be queried, Drive is left as it was, the result is
    // kSizeUnavailable and SystemErrorCode holds the errno (ENOENT for a missing path).
    virtual double FreeMegaBytesOnDisk(QString& Drive) = 0;
    // Size of that volume in megabytes, rounded to two decimals; otherwise as above.
    virtual double TotalMegaBytesOnDisk(QString& Drive) = 0;

    // −1 when the system offers at least one audio output device, else 0. Records errors.
    virtual int HasSoundCard() = 0;
    // The machine's host name.
    virtual QString ComputerName() = 0;
    // The name of the user this program runs as.
    virtual QString CurrentUser() = 0;
    // The label of the volume holding Drive (a QString, empty when it has none or the path does
    // not exist); Drive is written back as for the disk sizes.
    virtual QVariant VolumeName(QString& Drive) = 0;
    // See OS_VERSION. Records the error only when the version could not be read.
    virtual OS_VERSION OSVersion() = 0;
    // The kind of volume holding Drive; DRIVE_DOESNT_EXIST for a path that does not exist (Drive
    // is then left as it was). Drive is written back as for the disk sizes. Records errors.
    virtual DRIVE_TYPE DriveType(QString& Drive) = 0;

    // Memory, read afresh from the kernel on every call, in megabytes rounded to two decimals;
    // swap stands for the page file. All of them record errors.
    // Memory available to programs without swapping (MemAvailable).
    virtual double AvailablePhysicalMemory() = 0;
    virtual double TotalPhysicalMemory() = 0;
    // AvailableMemory ÷ TotalMemory × 100, a whole number; 0 when there is no memory to count.
    virtual double PercentMemoryFree() = 0;
    // Free swap.
    virtual double AvailablePageFile() = 0;
    // All swap.
    virtual double PageFileSize() = 0;
    // AvailablePhysicalMemory + AvailablePageFile.
    virtual double AvailableMemory() = 0;
    // TotalPhysicalMemory + PageFileSize.
    virtual double TotalMemory() = 0;

    // 2 to the power of the primary screen's bits per pixel; 0 without a screen (SystemErrorCode
    // is then ENODEV). Records errors.
    virtual double MaxScreenColors() = 0;
    // The primary screen's size in device pixels; 0 without a screen.
    virtual short ScreenPixelWidth() = 0;
    virtual short ScreenPixelHeight() = 0;
    // Width, " X ", height, e.g. "1920 X 1080"; empty without a screen.
    virtual QString ScreenResolution() = 0;

    // The errno recorded by the last member that records errors; 0 when it succeeded.
    virtual int SystemErrorCode() = 0;

    // The root of the file system, "/": where the system lives.
    virtual QString WindowsDir() = 0;
    // Where the system's shared libraries live, "/usr/lib/".
    virtual QString SystemDir() = 0;
};

} // namespace sysmarr

#define SysmarrISystemInfo_iid "org.veltrax.Sysmarr.ISystemInfo/1.0"
Q_DECLARE_INTERFACE(sysmarr::ISystemInfo, SysmarrISystemInfo_iid)
