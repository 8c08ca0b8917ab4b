#pragma once

namespace quarvex {

// How a column's values are written into an insert statement.
enum class ColumnClass {
    C, // text without the Unicode prefix: 'text'
    U, // Unicode text: N'text'
    N, // a number
    L, // bit: 1 or 0
    D, // date and time: 'yyyy-mm-dd hh:mi:ss.mmm'
    B, // bytes: 0x...
    T, // timestamp: never written
    // The newer data types, read from the server as text or bytes.
    Date,           // 'yyyy-mm-dd'
    Time,           // 'hh:mi:ss' and, for a scale n > 0, "." and n digits
    DateTime2,      // 'yyyy-mm-dd hh:mi:ss' and the fraction as for Time
    DateTimeOffset, // as DateTime2, a blank and +hh:mm or -hh:mm
    HierarchyId,    // convert(hierarchyid,0x...)
    Geometry,       // convert(geometry,0x...)
    Geography,      // convert(geography,0x...)
    Variant,        // convert(sql_variant,convert(BASE TYPE,literal)); see VariantLiteral.h
};

} // namespace quarvex
