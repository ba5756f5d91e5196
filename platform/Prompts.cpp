#include "platform/Prompts.h"

#include "platform/EventLog.h"
#include "platform/QtPrompts.h"

#include <QDialog>
#include <atomic>

namespace platform {

namespace {
std::atomic<Prompts*> installed{nullptr};

Prompts& defaultPrompts() {
    static QtPrompts prompts;
    return prompts;
}

LogLevel levelOf(PromptIcon icon) {
    switch (icon) {
    case PromptIcon::Critical:
        return LogLevel::Error;
    case PromptIcon::Exclamation:
        return LogLevel::Warning;
    default:
        return LogLevel::Info;
    }
}

QString answerName(PromptAnswer answer) {
    switch (answer) {
    case PromptAnswer::Ok:
        return QStringLiteral("OK");
    case PromptAnswer::Cancel:
        return QStringLiteral("Cancel");
    case PromptAnswer::Abort:
        return QStringLiteral("Abort");
    case PromptAnswer::Retry:
        return QStringLiteral("Retry");
    case PromptAnswer::Ignore:
        return QStringLiteral("Ignore");
    case PromptAnswer::Yes:
        return QStringLiteral("Yes");
    case PromptAnswer::No:
        return QStringLiteral("No");
    }
    return {};
}

// "Title: text", as the log shows a box.
QString boxLine(const QString& title, const QString& text) {
    return title + QStringLiteral(": ") + text;
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

PromptAnswer Prompts::messageBox(const QString& text, const QString& title, PromptButtons buttons,
                                 PromptIcon icon) {
    const QString shownTitle = effectiveTitle(title);
    if (buttons == PromptButtons::Ok) {
        logLine(levelOf(icon), boxLine(shownTitle, text));
        const QString key = shownTitle + QChar(0) + text;
        if (closingAll_ || openNotices_.contains(key))
            return PromptAnswer::Ok;
        openNotices_.insert(key);
        showNotice(text, title, icon, [this, key] { openNotices_.remove(key); });
        return PromptAnswer::Ok;
    }
    if (closingAll_) {
        logLine(LogLevel::Info,
                boxLine(shownTitle, text) + QStringLiteral(" (not asked: closing)"));
        return cancelAnswerOf(buttons);
    }
    logLine(LogLevel::Info, boxLine(shownTitle, text) + QStringLiteral(" (asked)"));
    const PromptAnswer answer = askQuestion(text, title, buttons, icon);
    logLine(LogLevel::Info, boxLine(shownTitle, text) + QStringLiteral(" → ") + answerName(answer));
    return answer;
}

QString Prompts::inputBox(const QString& prompt, const QString& title, const QString& defaultText) {
    return closingAll_ ? QString() : askText(prompt, title, defaultText);
}

QString Prompts::pickFolder(const QString& prompt, const QString& title,
                            const QString& startFolder) {
    return closingAll_ ? QString() : askFolder(prompt, title, startFolder);
}

std::optional<QColor> Prompts::pickColor(const QString& title, const QColor& initial) {
    return closingAll_ ? std::nullopt : askColor(title, initial);
}

int Prompts::execDialog(QDialog& dialog) {
    return closingAll_ ? int(QDialog::Rejected) : runDialog(dialog);
}

void Prompts::closeAll() {
    closingAll_ = true;
    closeShownPrompts();
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

PromptAnswer Prompts::cancelAnswerOf(PromptButtons buttons) {
    const QList<PromptAnswer> offered = answersOf(buttons);
    if (offered.contains(PromptAnswer::Cancel))
        return PromptAnswer::Cancel;
    if (offered.contains(PromptAnswer::No))
        return PromptAnswer::No;
    return offered.first();
}

QString Prompts::effectiveTitle(const QString& title) {
    return title.isEmpty() ? applicationTitle() : title;
}

} // namespace platform
