#include "standin/engine/SampleDatabase.h"

#include <QFile>

// The script is a resource of a static library, which must be registered by name.
static void initSampleResource() {
    Q_INIT_RESOURCE(sample);
}

namespace quarvex::standin {

namespace {

QString resourceText(const QString& path) {
    initSampleResource();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("the sample database script is missing from the build");
    return QString::fromUtf8(file.readAll());
}

} // namespace

QString sampleDatabaseScript(int majorVersion) {
    QString script = resourceText(QStringLiteral(":/standin/sample.sql"));
    if (majorVersion >= 10)
        script += resourceText(QStringLiteral(":/standin/sample2008.sql"));
    return script;
}

} // namespace quarvex::standin
