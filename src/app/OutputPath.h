#pragma once

#include <QString>

namespace quarvex {

// The output folder as typed, without blanks around it and without one
// trailing separator ("dir//" keeps one). A lone separator, the file
// system's root, is left as it is.
QString trimmedOutputPath(const QString& typed);

} // namespace quarvex
