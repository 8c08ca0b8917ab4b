#pragma once

#include <QString>

namespace quarvex {

class TextFiles;
class Toolkit;

// Tells the user that one object was skipped and leaves the message as a
// boxed note in that object's script file (none when fileName is empty).
// Fails outward only when the note could not be written to the file (a
// failure that ends the run); the file then holds no part of the note.
void ReportSkip(Toolkit& toolkit, const TextFiles& files, const QString& message,
                const QString& fileName);

} // namespace quarvex
