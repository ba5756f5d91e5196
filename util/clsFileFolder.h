#pragma once

#include <QString>

namespace util {

// Creates folder paths for the audio tree. Stateless: every call does its work and returns.
class clsFileFolder {
public:
    // Creates every missing folder of NewPath, one level after the other from the left, so
    // "/srv/audio/Monday 01 July" creates "audio" and then the day folder when only "/srv" exists.
    // One trailing "/" makes no difference. True when every level exists as a folder afterwards;
    // false at the first level that cannot be created (a file in the way, no permission, an
    // invalid name), leaving the folders created before it in place. An empty path names no
    // folder and gives false.
    bool CreatePath(const QString& NewPath) const;
};

} // namespace util
