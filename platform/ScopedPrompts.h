#pragma once

#include "platform/RecordingPrompts.h"

namespace platform {

// Installs a RecordingPrompts for the lifetime of the object and puts back whatever was installed
// before. Typical use: one as a member of a test fixture.
class ScopedPrompts {
public:
    ScopedPrompts();
    ~ScopedPrompts();
    ScopedPrompts(const ScopedPrompts&) = delete;
    ScopedPrompts& operator=(const ScopedPrompts&) = delete;

    RecordingPrompts& prompts() { return recording_; }
    RecordingPrompts* operator->() { return &recording_; }

private:
    RecordingPrompts recording_;
    Prompts* previous_;
};

} // namespace platform
