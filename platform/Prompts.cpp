#include "platform/Prompts.h"

#include "platform/QtPrompts.h"

#include <atomic>

namespace platform {

namespace {
std::atomic<Prompts*> installed{nullptr};

Prompts& defaultPrompts() {
    static QtPrompts prompts;
    return prompts;
}
} // namespace

QString applicationTitle() {
    return QStringLiteral("Veltrax");
}

Prompts::~Prompts() = default;

Prompts& Prompts::instance() {
    Prompts* p = installed.load();
    return p ? *p : defaultPrompts();
}

void Prompts::install(Prompts* p) {
    installed.store(p);
}

QList<PromptAnswer> Prompts::answersOf(PromptButtons buttons) {
    using A = PromptAnswer;
    switch (buttons) {
    case PromptButtons::Ok:
        return {A::Ok};
    case PromptButtons::OkCancel:
        return {A::Ok, A::Cancel};
    case PromptButtons::AbortRetryIgnore:
        return {A::Abort, A::Retry, A::Ignore};
    case PromptButtons::YesNoCancel:
        return {A::Yes, A::No, A::Cancel};
    case PromptButtons::YesNo:
        return {A::Yes, A::No};
    case PromptButtons::RetryCancel:
        return {A::Retry, A::Cancel};
    }
    return {A::Ok};
}

QString Prompts::effectiveTitle(const QString& title) {
    return title.isEmpty() ? applicationTitle() : title;
}

} // namespace platform
