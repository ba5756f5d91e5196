#pragma once

// What a host needs to create the Quillon control and drive it by name; nothing else of the
// control is shared.
namespace quillon {

inline constexpr const char* kQuillonProgId = "QUILLON.QuillonCtrl.1";
inline constexpr const char* kQuillonClsid = "{FBF8159B-30AA-407E-8504-52E1BB41C67B}";
inline constexpr const char* kPropPageProgId = "QUILLON.QuillonPropPage.1";
inline constexpr const char* kPropPageClsid = "{EC4862EB-2B51-45BA-B412-1D93C06926FD}";

// The WMA profiles a host may give to ProfileType. Any other value records as Stereo32.
enum eProfile {
    MonoAudio288 = 1, // 28.8 kbit/s mono
    Stereo288 = 2,    // 28.8 kbit/s stereo
    Stereo32 = 3,     // 32 kbit/s stereo
    Stereo48 = 4,     // 48 kbit/s stereo
    Stereo64 = 5,     // 64 kbit/s stereo
    Stereo96 = 6,     // 96 kbit/s stereo
    Stereo128 = 7,    // 128 kbit/s stereo
};

// Results of AddNetworkSink and RemoveNetworkSink.
inline constexpr int kSucceeded = -1;
inline constexpr int kFailed = 0;
// RemoveNetworkSink: the filter held is not a writer that can carry network sinks.
inline constexpr int kNoAdvancedWriter = -1000;

} // namespace quillon
