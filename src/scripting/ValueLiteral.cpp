#include "scripting/ValueLiteral.h"

#include "base/ProcedureError.h"
#include "scripting/ByteLiteral.h"
#include "scripting/DateLiteral.h"
#include "scripting/NumberLiteral.h"
#include "scripting/TextLiteral.h"
#include "scripting/Utf8Script.h"

namespace quarvex {

namespace {

using Kind = FieldValue::Kind;

// The value's kind must be the one its class is read as; any other would be
// written as something it is not.
const FieldValue& expect(const FieldValue& value, Kind kind) {
    if (value.kind != kind)
        raiseUnexpectedCase();
    return value;
}

qint32 millisecondsOf(const FieldValue* milliseconds) {
    if (!milliseconds || milliseconds->isNull())
        return 0;
    return qint32(expect(*milliseconds, Kind::Integer).integer);
}

// The classes whose literals are written the same way whatever the script
// is held in; false for the others.
template <typename Out>
bool appendDirectLiteral(Out& out, ColumnClass columnClass, const FieldValue& value,
                         const FieldValue* milliseconds, bool maxTypesAvailable) {
    switch (columnClass) {
    case ColumnClass::C:
    case ColumnClass::U:
        appendTextLiteral(out, expect(value, Kind::Text).characters(), columnClass,
                          maxTypesAvailable);
        return true;
    case ColumnClass::N:
        appendNumberLiteral(out, value);
        return true;
    case ColumnClass::L:
        out += expect(value, Kind::Bool).boolean ? u'1' : u'0';
        return true;
    case ColumnClass::D:
        GetDate(out, expect(value, Kind::Timestamp).stamp, millisecondsOf(milliseconds));
        return true;
    default:
        return false;
    }
}

// Bytes and the newer types: a few 7-bit characters, written into a QString.
void appendOtherLiteral(QString& out, ColumnClass columnClass, const FieldValue& value, int scale) {
    switch (columnClass) {
    case ColumnClass::B:
        return GetHex(out, expect(value, Kind::Bytes).bytes);
    case ColumnClass::Date:
    case ColumnClass::Time:
    case ColumnClass::DateTime2:
    case ColumnClass::DateTimeOffset:
        return appendTemporalLiteral(out, columnClass, expect(value, Kind::Text).characters(),
                                     scale);
    case ColumnClass::HierarchyId:
    case ColumnClass::Geometry:
    case ColumnClass::Geography:
        return appendClrTypeLiteral(out, columnClass, expect(value, Kind::Bytes).bytes);
    default: // T is never written; a Variant comes from several fields
        raiseUnexpectedCase();
    }
}

} // namespace

void appendValueLiteral(QString& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale) {
    if (value.isNull()) {
        out += QLatin1StringView("null");
        return;
    }
    if (!appendDirectLiteral(out, columnClass, value, milliseconds, maxTypesAvailable))
        appendOtherLiteral(out, columnClass, value, scale);
}

void appendValueLiteral(Utf8Script& out, ColumnClass columnClass, const FieldValue& value,
                        const FieldValue* milliseconds, bool maxTypesAvailable, int scale) {
    if (value.isNull()) {
        out += QLatin1StringView("null");
        return;
    }
    if (appendDirectLiteral(out, columnClass, value, milliseconds, maxTypesAvailable))
        return;
    // One string serves every such value of the run.
    static thread_local QString literal;
    literal.resize(0);
    appendOtherLiteral(literal, columnClass, value, scale);
    out += QStringView(literal);
}

} // namespace quarvex
