#pragma once

#include <QString>

namespace quarvex {

class TextFiles;
class Toolkit;

// Tells the user that one object was skipped and leaves the message as a
// boxed note in that object's script file (none when fileName is empty).
// Never fails outward: a note that cannot be written is simply missing.
void ReportSkip(Toolkit& toolkit, const TextFiles& files, const QString& message,
                const QString& fileName);

} // namespace quarvex
