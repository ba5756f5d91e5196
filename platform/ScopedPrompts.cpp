#include "platform/ScopedPrompts.h"

namespace platform {

ScopedPrompts::ScopedPrompts() : previous_(&Prompts::instance()) {
    Prompts::install(&recording_);
}

ScopedPrompts::~ScopedPrompts() {
    Prompts::install(previous_);
}

} // namespace platform
