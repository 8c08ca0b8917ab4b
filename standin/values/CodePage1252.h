#pragma once

#include <QByteArray>
#include <QString>

namespace quarvex::standin {

// varchar, char and text travel in Windows code page 1252, the code page of
// SQL Server's default collation. Characters it lacks become '?', as on the
// real server.
QByteArray toCodePage1252(const QString& text);
QString fromCodePage1252(const QByteArray& bytes);
// The text as a varchar column keeps it: what has no place in 1252 is '?'.
QString narrowedTo1252(const QString& text);

} // namespace quarvex::standin
