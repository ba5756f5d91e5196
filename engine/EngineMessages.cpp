#include "engine/EngineMessages.h"

using namespace ResultCode;

const QString EngineMessages::kRecorderWillNotRun =
    QStringLiteral("The Recorder will not run.\r\n"
                   "Some drivers, especially in Win98 / Win2000 will not\r\n"
                   "allow the input to be shared.\r\n"
                   "If, for example, something is already using the line-in \r\n"
                   "Then this may be the problem.");

void EngineMessages::show(const QString& text, const QString& title, platform::PromptIcon icon) {
    platform::Prompts::instance().messageBox(text, title, platform::PromptButtons::Ok, icon);
}

void EngineMessages::showError(const QString& text, HRESULT number, const QString& description,
                               platform::PromptIcon icon) {
    show(text, QStringLiteral("%1 %2").arg(number).arg(description), icon);
}

QString EngineMessages::describe(HRESULT hr) {
    switch (hr) {
    case E_FAIL:
        return QStringLiteral("Unspecified error");
    case E_POINTER:
        return QStringLiteral("Invalid pointer");
    case E_INVALIDARG:
        return QStringLiteral("The parameter is incorrect.");
    case E_NOTIMPL:
        return QStringLiteral("Not implemented");
    case E_UNEXPECTED:
        return QStringLiteral("Catastrophic failure");
    case DISP_E_TYPEMISMATCH:
        return QStringLiteral("Type mismatch.");
    case VFW_E_NOT_CONNECTED:
        return QStringLiteral("The operation cannot be performed because the pins are not "
                              "connected.");
    case VFW_E_ALREADY_CONNECTED:
        return QStringLiteral("The operation cannot be performed because the pins are already "
                              "connected.");
    case VFW_E_NO_ACCEPTABLE_TYPES:
        return QStringLiteral("There is no common media type between these pins.");
    case VFW_E_CANNOT_CONNECT:
        return QStringLiteral("No combination of intermediate filters could be found to make "
                              "the connection.");
    case VFW_E_WRONG_STATE:
        return QStringLiteral("The operation could not be performed because the filter is in "
                              "the wrong state.");
    default:
        return QStringLiteral("Automation error");
    }
}
