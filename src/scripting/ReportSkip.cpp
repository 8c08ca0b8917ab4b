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
    failureOf([&] { files.AppendFile(fileName, BoxPrint(message)); });
}

} // namespace quarvex
