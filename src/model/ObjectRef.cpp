#include "model/ObjectRef.h"

namespace quarvex {

QString kindWord(ObjectKind kind) {
    switch (kind) {
    case ObjectKind::Table:
        return QStringLiteral("Table");
    case ObjectKind::Proc:
        return QStringLiteral("Proc");
    case ObjectKind::Trigger:
        return QStringLiteral("Trigger");
    case ObjectKind::View:
        return QStringLiteral("View");
    case ObjectKind::Function:
        return QStringLiteral("Function");
    }
    return {};
}

} // namespace quarvex
