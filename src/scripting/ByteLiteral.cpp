#include "scripting/ByteLiteral.h"

#include "base/ProcedureError.h"

namespace quarvex {

namespace {

void appendHex(QString& out, const QByteArray& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    const qsizetype start = out.size();
    out.resize(start + 2 + 2 * bytes.size());
    QChar* p = out.data() + start;
    *p++ = u'0';
    *p++ = u'x';
    for (const char byte : bytes) {
        *p++ = QLatin1Char(digits[(uchar(byte) >> 4) & 0xF]);
        *p++ = QLatin1Char(digits[uchar(byte) & 0xF]);
    }
}

QLatin1StringView typeNameOf(ColumnClass columnClass) {
    switch (columnClass) {
    case ColumnClass::HierarchyId:
        return QLatin1StringView("hierarchyid");
    case ColumnClass::Geometry:
        return QLatin1StringView("geometry");
    case ColumnClass::Geography:
        return QLatin1StringView("geography");
    default:
        break;
    }
    raiseUnexpectedCase();
}

} // namespace

void GetHex(QString& out, const QByteArray& bytes) {
    reraisingAs(QStringLiteral("GetHex"), [&] { appendHex(out, bytes); });
}

void appendClrTypeLiteral(QString& out, ColumnClass columnClass, const QByteArray& bytes) {
    const QLatin1StringView typeName = typeNameOf(columnClass);
    out += QLatin1StringView("convert(");
    out += typeName;
    out += u',';
    GetHex(out, bytes);
    out += u')';
}

} // namespace quarvex
