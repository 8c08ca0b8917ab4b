#pragma once

#include "scripting/ColumnClass.h"

#include <QByteArray>
#include <QString>

namespace quarvex {

// "0x" followed by two upper-case hex digits per byte, appended to out; a
// failure (memory) is raised as "GetHex: " + its description.
void GetHex(QString& out, const QByteArray& bytes);

// convert(TYPE,0x...) for a value of class HierarchyId, Geometry or
// Geography from its bytes, appended to out.
void appendClrTypeLiteral(QString& out, ColumnClass columnClass, const QByteArray& bytes);

} // namespace quarvex
