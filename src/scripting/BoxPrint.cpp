#include "scripting/BoxPrint.h"

#include "base/ProcedureError.h"

namespace quarvex {

QString BoxPrint(const QString& text) {
    return reraisingAs(QStringLiteral("BoxPrint"), [&] {
        QString quoted = QLatin1Char('\'') + QString(text).replace(u'\'', QLatin1String("''")) +
                         QLatin1Char('\'');
        quoted.replace(QLatin1String("\r\n"), QLatin1String(" "));
        quoted.replace(u'\n', u' ');
        quoted.replace(u'\r', u' ');

        // The frame is as long as the print line's text, counted in UTF-16 units.
        const QString frame =
            QLatin1String("------") + QString(quoted.size(), u'*') + QLatin1String("\r\n");
        return frame + QLatin1String("print ") + quoted + QLatin1String("\r\n") + frame +
               QLatin1String("GO\r\n\r\n");
    });
}

} // namespace quarvex
