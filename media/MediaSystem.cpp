#include "media/MediaSystem.h"

#include <gst/gst.h>
#include <mutex>

namespace media {

void MediaSystem::ensureInitialised() {
    static std::once_flag once;
    std::call_once(once, [] { gst_init(nullptr, nullptr); });
}

} // namespace media
