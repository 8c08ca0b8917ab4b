#include "scripting/ReportSkip.h"

#include "base/ProcedureError.h"
#include "db/ServerConnection.h"
#include "io/TextFile.h"
#include "model/Toolkit.h"
#include "scripting/BoxPrint.h"
#include "scripting/ScriptContext.h"

namespace quarvex {

void ReportSkip(Toolkit& toolkit, const TextFiles& files, const QString& message,
                const QString& fileName) {
    failureOf([&] { toolkit.showMessage(message, MessageIcon::Exclamation); });
    if (fileName.isEmpty())
        return;
    const auto failure = failureOf([&] { files.AppendFile(fileName, BoxPrint(message)); });
    // A script file that can no longer be written fails every object after
    // this one as well: the run ends instead.
    if (failure && failure->endsRun())
        raise(*failure);
}

void skipOrEndRun(ScriptContext& context, const QString& procedure, const QString& skipMessage,
                  const Failure& failure, const QString& fileName) {
    if (failure.endsRun()) {
        Failure ended = prefixed(failure, procedure);
        ended.description = AppendErrorContext(ended.description, failure.statement);
        raise(ended);
    }
    context.runState.LastError =
        AppendErrorContext(skipMessage + failure.description, failure.statement);
    ReportSkip(context.toolkit, context.files(), context.runState.LastError, fileName);
}

} // namespace quarvex
