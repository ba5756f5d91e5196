#pragma once

#include <QString>

namespace media {

// Finalises a recording whose writer could not end it: the process was killed, the drive filled
// up or a write failed. The file's own headers are brought in line with the complete audio it
// holds, by writes in place and at most a shortening of the file, so that it works on a full
// drive too.
//
// ASF (WMA): the File Properties Object (file size, data packet count, play and send duration,
// the broadcast flag cleared) and the Data Object (size, packet count) are written from the
// complete data packets present; a partial last packet is cut off.
// MP3: a partial last frame is cut off; a Xing/Info frame that is still a placeholder gets the
// frame count, byte count and seek table of the frames present.
//
// True when the file is finalised (a file that already was is left byte for byte as it was);
// false for a file that is neither ASF nor MP3 as written here, or that cannot be read or
// written. Files that are not understood are never changed.
bool finaliseRecording(const QString& path);

} // namespace media
