#include "media/WmaProfile.h"

namespace media {

const QList<WmaProfile>& WmaProfile::all() {
    // Low rates are encoded at 22.05 kHz, where the codec keeps most of the band; 48 kbit/s at
    // 32 kHz; from 64 kbit/s at the full 44.1 kHz.
    static const QList<WmaProfile> profiles = {
        {QUuid("{7EA3126D-E1BA-4716-89AF-F65CEE0C0C67}"), QStringLiteral("28.8 kbit/s mono audio"),
         1, 22050, 28800},
        {QUuid("{7E4CAB5C-35DC-45BB-A7C0-19B28070D0CC}"),
         QStringLiteral("28.8 kbit/s stereo audio"), 2, 22050, 28800},
        {QUuid("{60907F9F-B352-47E5-B210-0EF1F47E9F9D}"), QStringLiteral("32 kbit/s stereo audio"),
         2, 22050, 32000},
        {QUuid("{5EE06BE5-492B-480A-8A8F-12F373ECF9D4}"), QStringLiteral("48 kbit/s stereo audio"),
         2, 32000, 48000},
        {QUuid("{09BB5BC4-3176-457F-8DD6-3CD919123E2D}"), QStringLiteral("64 kbit/s stereo audio"),
         2, 44100, 64000},
        {QUuid("{1FC81930-61F2-436F-9D33-349F2A1C0F10}"), QStringLiteral("96 kbit/s stereo audio"),
         2, 44100, 96000},
        {QUuid("{407B9450-8BDC-4EE5-88B8-6F527BD941F2}"), QStringLiteral("128 kbit/s stereo audio"),
         2, 44100, 128000},
    };
    return profiles;
}

const WmaProfile* WmaProfile::find(const QUuid& id) {
    for (const WmaProfile& profile : all()) {
        if (profile.id == id)
            return &profile;
    }
    return nullptr;
}

const WmaProfile& WmaProfile::standard() {
    return all()[5];
}

} // namespace media
