#include "standin/engine/EngineContext.h"

#include <QtGlobal>

namespace quarvex::standin {

int EngineOptions::majorVersion() const {
    return version.section(u'.', 0, 0).toInt();
}

bool EngineOptions::knowsCreateOrAlter() const {
    const int major = majorVersion();
    return major > 13 || (major == 13 && version.section(u'.', 2, 2).toInt() >= 4001);
}

QString EngineOptions::versionText() const {
    static const char* const products[] = {"7.00", "2000", "2005", "2008", "2012",
                                           "2014", "2016", "2017", "2019", "2022"};
    const QString product = QLatin1String(products[qBound(7, majorVersion(), 16) - 7]);
    return QStringLiteral("Microsoft SQL Server %1 - %2 (Quarvex stand-in)\n")
        .arg(product, version);
}

} // namespace quarvex::standin
