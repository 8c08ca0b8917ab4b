#pragma once

#include <QString>

namespace quarvex {

// True for a regular T-SQL identifier: a letter or "_" first, then letters,
// digits, "_", "@", "#" or "$", and not a reserved keyword (in any case).
bool isRegularIdentifier(const QString& name);

// The name as it goes into SQL text: bare when it is a regular identifier,
// otherwise in brackets with every "]" doubled. Orders, [Customer Name],
// [Key], [x.y], [a]]b].
QString sqlIdentifier(const QString& name);

} // namespace quarvex
