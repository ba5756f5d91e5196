#pragma once

#include "platform/ResultCodes.h"

namespace nexuvo {

// An object lacks the capability asked for.
constexpr HRESULT E_NOINTERFACE = static_cast<HRESULT>(0x80004002u);

} // namespace nexuvo
