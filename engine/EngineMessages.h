#pragma once

#include "platform/Prompts.h"
#include "platform/ResultCodes.h"

#include <QString>

// The engine's fixed message texts, and the way its error boxes are captioned.
class EngineMessages {
public:
    // Error numbers of failures that carry no result code of their own.
    static constexpr int kCannotCreateObjectError = 429;
    static constexpr int kDuplicateKeyError = 457;

    static inline const QString kLameFilterName =
        QStringLiteral("Lame MPEG Layer III Audio Encoder2");
    static const QString kRecorderWillNotRun;

    // A message box with an OK button; an empty title shows the application's title.
    static void show(const QString& text, const QString& title = {},
                     platform::PromptIcon icon = platform::PromptIcon::None);
    // A box captioned with the error number in decimal, a blank and the error's description.
    static void showError(const QString& text, HRESULT number, const QString& description,
                          platform::PromptIcon icon = platform::PromptIcon::Critical);
    // A short description of a result code.
    static QString describe(HRESULT hr);
};
