#pragma once

#include "base/ProcedureError.h"
#include "model/RunState.h"
#include "model/Toolkit.h"

#include <utility>

namespace quarvex {

// The reporting form's last step: the message becomes LastError and is shown
// with the exclamation icon.
inline void reportFailure(Toolkit& toolkit, RunState& runState, const QString& message) {
    runState.LastError = message;
    toolkit.showMessage(runState.LastError, MessageIcon::Exclamation);
}

// The reporting form of an event handler: runs body, and when it fails shows
// procedure + ": " + the description. True when body completed.
template <typename Body>
bool reportingAs(Toolkit& toolkit, RunState& runState, const QString& procedure, Body&& body) {
    const auto failure = failureOf(std::forward<Body>(body));
    if (failure)
        reportFailure(toolkit, runState, procedure + QStringLiteral(": ") + failure->description);
    return !failure;
}

} // namespace quarvex
