#include "scripting/ReportSkip.h"

#include "model/Toolkit.h"
#include "io/TextFile.h"
#include "scripting/BoxPrint.h"
#include "base/ProcedureError.h"

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
        raise(failure->description, failure->kind);
}

} // namespace quarvex
