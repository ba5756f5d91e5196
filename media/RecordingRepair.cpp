#include "media/RecordingRepair.h"

#include <QFile>
#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

namespace media {

namespace {

// --- Reading and writing little pieces --------------------------------------------------------

quint64 readLe(const uchar* at, int bytes) {
    quint64 value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | at[i];
    return value;
}

quint32 readBe32(const uchar* at) {
    return (quint32(at[0]) << 24) | (quint32(at[1]) << 16) | (quint32(at[2]) << 8) | at[3];
}

QByteArray le(quint64 value, int bytes) {
    QByteArray out(bytes, '\0');
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return out;
}

QByteArray be32(quint32 value) {
    QByteArray out(4, '\0');
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((value >> (8 * (3 - i))) & 0xFF);
    return out;
}

// The changes a repair makes: the length the file is cut to, then writes in place.
struct Patch {
    qint64 cutTo = -1;
    std::vector<std::pair<qint64, QByteArray>> writes;

    bool empty() const { return cutTo < 0 && writes.empty(); }
};

// A read-only view of the whole file.
class FileView {
public:
    explicit FileView(QFile& file) : m_file(file), m_size(file.size()) {
        if (m_size > 0)
            m_data = m_file.map(0, m_size);
    }
    ~FileView() {
        if (m_data)
            m_file.unmap(m_data);
    }
    FileView(const FileView&) = delete;
    FileView& operator=(const FileView&) = delete;

    bool valid() const { return m_data != nullptr; }
    qint64 size() const { return m_size; }
    const uchar* at(qint64 offset) const { return m_data + offset; }
    bool has(qint64 offset, qint64 bytes) const {
        return offset >= 0 && bytes >= 0 && offset <= m_size && bytes <= m_size - offset;
    }

private:
    QFile& m_file;
    qint64 m_size;
    uchar* m_data = nullptr;
};

// --- ASF ------------------------------------------------------------------------------------

// Object identifiers as they lie in the file.
constexpr uchar kHeaderObject[16] = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                     0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
constexpr uchar kFilePropertiesObject[16] = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                             0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
constexpr uchar kDataObject[16] = {0x36, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                                   0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};

constexpr qint64 kObjectHeaderBytes = 24; // identifier and size
constexpr qint64 kFilePropertiesBytes = 104;
constexpr qint64 kDataObjectHeaderBytes = 50; // identifier, size, file id, packets, reserved
constexpr quint32 kBroadcastFlag = 0x1;
constexpr quint32 kSeekableFlag = 0x2;
constexpr qint64 kUnitsPerMs = 10000; // 100 ns units

// Offsets in the File Properties Object.
constexpr qint64 kFpFileSize = 40;
constexpr qint64 kFpPackets = 56;
constexpr qint64 kFpPlayDuration = 64;
constexpr qint64 kFpSendDuration = 72;
constexpr qint64 kFpPreroll = 80;
constexpr qint64 kFpFlags = 88;
constexpr qint64 kFpMinPacket = 92;
constexpr qint64 kFpMaxPacket = 96;
// Offsets in the Data Object.
constexpr qint64 kDoSize = 16;
constexpr qint64 kDoPackets = 40;

bool isObject(const FileView& view, qint64 offset, const uchar (&id)[16]) {
    return view.has(offset, kObjectHeaderBytes) && std::memcmp(view.at(offset), id, 16) == 0;
}

// A field of 0, 1, 2 or 4 bytes, its size given by a two-bit length type.
bool readVariable(const uchar* packet, int size, int& at, int lengthType, quint32& value) {
    static constexpr int bytes[4] = {0, 1, 2, 4};
    const int n = bytes[lengthType & 3];
    if (at + n > size)
        return false;
    value = static_cast<quint32>(readLe(packet + at, n));
    at += n;
    return true;
}

// The presentation times (ms, preroll included) of the payloads of one data packet; nothing
// when the packet does not read as one.
std::optional<std::vector<quint32>> packetTimes(const uchar* packet, int size) {
    int at = 0;
    if (packet[0] & 0x80) { // error correction data
        if (packet[0] & 0x70)
            return std::nullopt;
        at = 1 + (packet[0] & 0x0F);
    }
    if (at + 2 > size)
        return std::nullopt;
    const uchar lengthFlags = packet[at];
    const uchar propertyFlags = packet[at + 1];
    at += 2;
    quint32 packetLength = 0, sequence = 0, padding = 0;
    if (!readVariable(packet, size, at, lengthFlags >> 5, packetLength) ||
        !readVariable(packet, size, at, lengthFlags >> 1, sequence) ||
        !readVariable(packet, size, at, lengthFlags >> 3, padding))
        return std::nullopt;
    if ((packetLength != 0 && packetLength != quint32(size)) || padding >= quint32(size))
        return std::nullopt;
    const int end = size - static_cast<int>(padding);
    at += 6; // send time, duration
    if (at > end)
        return std::nullopt;
    int payloads = 1;
    int payloadLengthType = -1;
    if (lengthFlags & 0x01) {
        if (at + 1 > end)
            return std::nullopt;
        payloads = packet[at] & 0x3F;
        payloadLengthType = packet[at] >> 6;
        ++at;
        if (payloads == 0 || payloadLengthType == 0)
            return std::nullopt;
    }
    std::vector<quint32> times;
    for (int i = 0; i < payloads; ++i) {
        if (at + 1 > end || (packet[at] & 0x7F) == 0)
            return std::nullopt;
        ++at; // stream number
        quint32 object = 0, offset = 0, replicated = 0, length = 0;
        if (!readVariable(packet, end, at, propertyFlags >> 4, object) ||
            !readVariable(packet, end, at, propertyFlags >> 2, offset) ||
            !readVariable(packet, end, at, propertyFlags, replicated) ||
            at + static_cast<qint64>(replicated) > end)
            return std::nullopt;
        if (replicated >= 8)
            times.push_back(static_cast<quint32>(readLe(packet + at + 4, 4)));
        else if (replicated == 1) // compressed payloads carry the time in the offset field
            times.push_back(offset);
        at += static_cast<int>(replicated);
        if (payloadLengthType >= 0) {
            if (!readVariable(packet, end, at, payloadLengthType, length))
                return std::nullopt;
        } else {
            length = static_cast<quint32>(end - at);
        }
        if (at + static_cast<qint64>(length) > end)
            return std::nullopt;
        at += static_cast<int>(length);
    }
    return times;
}

struct AsfLayout {
    qint64 fileProperties = -1;
    qint64 data = -1;
    int packetSize = 0;
};

std::optional<AsfLayout> readAsfLayout(const FileView& view) {
    if (!isObject(view, 0, kHeaderObject))
        return std::nullopt;
    const qint64 headerSize = static_cast<qint64>(readLe(view.at(16), 8));
    if (headerSize < 30 || !view.has(headerSize, kDataObjectHeaderBytes) ||
        !isObject(view, headerSize, kDataObject))
        return std::nullopt;
    AsfLayout layout;
    layout.data = headerSize;
    for (qint64 at = 30; at + kObjectHeaderBytes <= headerSize;) {
        const qint64 size = static_cast<qint64>(readLe(view.at(at + 16), 8));
        if (size < kObjectHeaderBytes || size > headerSize - at)
            return std::nullopt;
        if (isObject(view, at, kFilePropertiesObject) && size >= kFilePropertiesBytes)
            layout.fileProperties = at;
        at += size;
    }
    if (layout.fileProperties < 0)
        return std::nullopt;
    const qint64 fp = layout.fileProperties;
    const quint64 minPacket = readLe(view.at(fp + kFpMinPacket), 4);
    const quint64 maxPacket = readLe(view.at(fp + kFpMaxPacket), 4);
    // Only fixed-size packets can be counted from the file's length.
    if (minPacket != maxPacket || minPacket < 32 || minPacket > 65536)
        return std::nullopt;
    layout.packetSize = static_cast<int>(minPacket);
    return layout;
}

std::optional<Patch> repairAsf(const FileView& view) {
    const std::optional<AsfLayout> found = readAsfLayout(view);
    if (!found)
        return std::nullopt;
    const AsfLayout& layout = *found;
    const qint64 fp = layout.fileProperties;
    const qint64 packetsStart = layout.data + kDataObjectHeaderBytes;
    const int packetSize = layout.packetSize;
    auto packetAt = [&](qint64 index) {
        return view.at(packetsStart + index * packetSize);
    };

    // A data object whose size is filled in and fits the file was ended by its writer; anything
    // after it (an index) stays. Otherwise the packets run to the end of the file.
    const qint64 claimed = static_cast<qint64>(readLe(view.at(layout.data + kDoSize), 8));
    const bool dataEnded = claimed > kDataObjectHeaderBytes &&
                           (claimed - kDataObjectHeaderBytes) % packetSize == 0 &&
                           claimed <= view.size() - layout.data;
    qint64 packets = dataEnded ? (claimed - kDataObjectHeaderBytes) / packetSize
                               : (view.size() - packetsStart) / packetSize;
    // Packets at the end that do not read (written in part) are dropped.
    while (!dataEnded && packets > 0 && !packetTimes(packetAt(packets - 1), packetSize))
        --packets;

    const quint64 preroll = readLe(view.at(fp + kFpPreroll), 8);
    const quint32 flags = static_cast<quint32>(readLe(view.at(fp + kFpFlags), 4));
    const bool consistent = dataEnded &&
                            readLe(view.at(fp + kFpFileSize), 8) == quint64(view.size()) &&
                            readLe(view.at(fp + kFpPackets), 8) == quint64(packets) &&
                            readLe(view.at(layout.data + kDoPackets), 8) == quint64(packets) &&
                            readLe(view.at(fp + kFpPlayDuration), 8) > preroll * kUnitsPerMs &&
                            !(flags & kBroadcastFlag);
    if (consistent)
        return Patch{};

    Patch patch;
    qint64 fileSize = view.size();
    if (!dataEnded) {
        fileSize = packetsStart + packets * packetSize;
        if (fileSize != view.size())
            patch.cutTo = fileSize;
    }
    // The end of the audio: the last payload's time and one payload's length, taken as the
    // spacing of the last payloads.
    std::vector<quint32> times;
    for (qint64 i = std::max<qint64>(0, packets - 2); i < packets; ++i) {
        if (const auto found = packetTimes(packetAt(i), packetSize))
            times.insert(times.end(), found->begin(), found->end());
    }
    std::sort(times.begin(), times.end());
    times.erase(std::unique(times.begin(), times.end()), times.end());
    quint64 endMs = preroll;
    if (!times.empty()) {
        const quint64 step =
            times.size() > 1 ? (times.back() - times.front()) / (times.size() - 1) : 0;
        endMs = std::max<quint64>(preroll, times.back() + step);
    }
    const quint64 sendDuration = (endMs - preroll) * kUnitsPerMs;

    patch.writes.push_back({fp + kFpFileSize, le(fileSize, 8)});
    patch.writes.push_back({fp + kFpPackets, le(packets, 8)});
    patch.writes.push_back({fp + kFpPlayDuration, le(sendDuration + preroll * kUnitsPerMs, 8)});
    patch.writes.push_back({fp + kFpSendDuration, le(sendDuration, 8)});
    patch.writes.push_back({fp + kFpFlags, le((flags & ~kBroadcastFlag) | kSeekableFlag, 4)});
    if (!dataEnded)
        patch.writes.push_back(
            {layout.data + kDoSize, le(kDataObjectHeaderBytes + packets * packetSize, 8)});
    patch.writes.push_back({layout.data + kDoPackets, le(packets, 8)});
    return patch;
}

// --- MP3 ------------------------------------------------------------------------------------

struct Mp3Frame {
    int version = 0; // 3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5
    int sampleRate = 0;
    int channelsCode = 0; // 3: mono
    bool crc = false;
    int length = 0;
};

std::optional<Mp3Frame> readMp3Frame(const uchar* at) {
    const quint32 header = readBe32(at);
    if ((header >> 21) != 0x7FF)
        return std::nullopt;
    Mp3Frame frame;
    frame.version = (header >> 19) & 3;
    const int layer = (header >> 17) & 3;
    const int bitRateIndex = (header >> 12) & 15;
    const int rateIndex = (header >> 10) & 3;
    if (frame.version == 1 || layer != 1 || bitRateIndex == 0 || bitRateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;
    static constexpr int mpeg1Rates[15] = {0,   32,  40,  48,  56,  64,  80, 96,
                                           112, 128, 160, 192, 224, 256, 320};
    static constexpr int mpeg2Rates[15] = {0,  8,  16, 24,  32,  40,  48, 56,
                                           64, 80, 96, 112, 128, 144, 160};
    static constexpr int sampleRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = frame.version == 3;
    const int kbps = (mpeg1 ? mpeg1Rates : mpeg2Rates)[bitRateIndex];
    frame.sampleRate = sampleRates[rateIndex] >> (mpeg1 ? 0 : frame.version == 2 ? 1 : 2);
    frame.crc = !((header >> 16) & 1);
    frame.channelsCode = (header >> 6) & 3;
    const int padding = (header >> 9) & 1;
    frame.length = (mpeg1 ? 144 : 72) * kbps * 1000 / frame.sampleRate + padding;
    return frame;
}

bool sameStream(const Mp3Frame& a, const Mp3Frame& b) {
    return a.version == b.version && a.sampleRate == b.sampleRate;
}

// Where a Xing/Info tag sits in the first frame.
int xingOffset(const Mp3Frame& frame) {
    const bool mono = frame.channelsCode == 3;
    const int sideInfo = frame.version == 3 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return 4 + (frame.crc ? 2 : 0) + sideInfo;
}

std::optional<Patch> repairMp3(const FileView& view) {
    qint64 start = 0;
    // An ID3v2 tag ahead of the audio.
    if (view.has(0, 10) && std::memcmp(view.at(0), "ID3", 3) == 0) {
        const uchar* size = view.at(6);
        start = 10 + ((qint64(size[0] & 0x7F) << 21) | (qint64(size[1] & 0x7F) << 14) |
                      (qint64(size[2] & 0x7F) << 7) | qint64(size[3] & 0x7F));
        if (view.at(5)[0] & 0x10)
            start += 10; // footer
    }
    if (!view.has(start, 4))
        return std::nullopt;
    const std::optional<Mp3Frame> first = readMp3Frame(view.at(start));
    if (!first)
        return std::nullopt;

    std::vector<qint64> offsets; // of every complete frame
    qint64 at = start;
    bool partial = false;
    while (view.has(at, 4)) {
        const std::optional<Mp3Frame> frame = readMp3Frame(view.at(at));
        if (!frame || !sameStream(*frame, *first))
            break;
        if (!view.has(at, frame->length)) {
            partial = true;
            break;
        }
        offsets.push_back(at);
        at += frame->length;
    }
    const qint64 rest = view.size() - at;
    const bool tagAtEnd = rest == 128 && std::memcmp(view.at(at), "TAG", 3) == 0;
    if (offsets.size() < 2 && !(offsets.size() == 1 && rest == 0))
        return std::nullopt; // too little to be sure it is MP3
    if (rest != 0 && !tagAtEnd && !partial && rest >= 4)
        return std::nullopt; // something other than frames follows them
    Patch patch;
    const qint64 end = at;
    if (rest != 0 && !tagAtEnd)
        patch.cutTo = end;

    // A Xing/Info frame whose counts are not those of the frames present.
    const int tag = xingOffset(*first);
    const qint64 tagAt = start + tag;
    if (first->length < tag + 8 || (std::memcmp(view.at(tagAt), "Xing", 4) != 0 &&
                                    std::memcmp(view.at(tagAt), "Info", 4) != 0))
        return patch;
    const quint32 flags = readBe32(view.at(tagAt + 4));
    const quint32 audioFrames = static_cast<quint32>(offsets.size() - 1); // the tag's frame aside
    const quint32 bytes = static_cast<quint32>(end - start);
    constexpr quint32 kFrames = 0x1, kBytes = 0x2, kToc = 0x4, kAll = kFrames | kBytes | kToc;
    constexpr int kFieldsBytes = 4 + 4 + 100;
    quint32 newFlags = flags;
    if ((flags & kAll) != kAll) {
        // A placeholder tag (zeros where the fields go) gets all of them; a tag already filled in
        // in another layout is left as it is.
        if (first->length < tag + 8 + kFieldsBytes)
            return patch;
        const uchar* fields = view.at(tagAt + 8);
        if (std::any_of(fields, fields + kFieldsBytes, [](uchar c) { return c != 0; }))
            return patch;
        newFlags = flags | kAll;
    }
    const bool countsRight = newFlags == flags &&
                             (readBe32(view.at(tagAt + 8)) == audioFrames ||
                              readBe32(view.at(tagAt + 8)) == audioFrames + 1) &&
                             (readBe32(view.at(tagAt + 12)) == bytes ||
                              readBe32(view.at(tagAt + 12)) == quint32(view.size() - start));
    if (countsRight && patch.cutTo < 0)
        return patch;

    QByteArray fields = be32(newFlags) + be32(audioFrames) + be32(bytes);
    for (int i = 0; i < 100; ++i) {
        const qint64 frame = 1 + static_cast<qint64>(i) * audioFrames / 100;
        const qint64 offset = offsets[std::min<qint64>(frame, offsets.size() - 1)] - start;
        fields.append(static_cast<char>(std::min<qint64>(255, offset * 256 / bytes)));
    }
    patch.writes.push_back({tagAt + 4, fields});
    return patch;
}

bool apply(QFile& file, const Patch& patch) {
    if (patch.cutTo >= 0 && !file.resize(patch.cutTo))
        return false;
    for (const auto& [offset, bytes] : patch.writes) {
        if (!file.seek(offset) || file.write(bytes) != bytes.size())
            return false;
    }
    return file.flush();
}

} // namespace

bool finaliseRecording(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    std::optional<Patch> patch;
    {
        FileView view(file);
        if (!view.valid())
            return false;
        patch = repairAsf(view);
        if (!patch)
            patch = repairMp3(view);
    }
    if (!patch)
        return false;
    return patch->empty() || apply(file, *patch);
}

} // namespace media
