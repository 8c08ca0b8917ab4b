#include "SampleDatabase.h"

#include <QFile>

// The script is a resource of a static library, which must be registered by name.
static void initSampleResource() {
    Q_INIT_RESOURCE(sample);
}

namespace quarvex::standin {

QString sampleDatabaseScript() {
    initSampleResource();
    QFile file(QStringLiteral(":/standin/sample.sql"));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the sample database script is missing from the build");
    return QString::fromUtf8(file.readAll());
}

} // namespace quarvex::standin
