#include "base/Secrets.h"

#include <cstdlib>
#include <cstring>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif
#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace quarvex {

namespace {

// Writes through a volatile pointer, which the compiler may not leave out
// although the memory is not read again.
template <typename Unit> void overwrite(Unit* data, qsizetype size) {
    volatile Unit* unit = data;
    for (qsizetype i = 0; i < size; ++i)
        unit[i] = Unit();
}

} // namespace

void keepMemoryOutOfCoreDumps() {
#ifdef Q_OS_UNIX
    const rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
#endif
#ifdef Q_OS_LINUX
    prctl(PR_SET_DUMPABLE, 0, 0, 0, 0);
#endif
}

void wipe(QString& text) {
    if (!text.isDetached()) {
        text.clear();
        return;
    }
    overwrite(reinterpret_cast<char16_t*>(text.data()), text.size());
    text.clear();
}

void wipe(QByteArray& bytes) {
    if (!bytes.isDetached()) {
        bytes.clear();
        return;
    }
    overwrite(bytes.data(), bytes.size());
    bytes.clear();
}

QString takeEnvironmentVariable(const char* name) {
    char* value = std::getenv(name);
    if (!value)
        return {};
    const QString text = QString::fromLocal8Bit(value);
    overwrite(value, qsizetype(std::strlen(value)));
    qunsetenv(name);
    return text;
}

} // namespace quarvex
