#pragma once

#include <QString>

namespace quarvex {

// The output folder as typed, without blanks around it and without one
// trailing separator ("dir//" keeps one). Script files are joined to it with
// a separator, so the root folder becomes empty and still means the root.
QString trimmedOutputPath(const QString& typed);

} // namespace quarvex
