#pragma once

#include <QString>

namespace quarvex {

class TextFiles;
class Toolkit;
struct Failure;
struct ScriptContext;

// Tells the user that one object was skipped and leaves the message as a
// boxed note in that object's script file (none when fileName is empty).
// Fails outward only when the note could not be written to the file (a
// failure that ends the run); the file then holds no part of the note.
void ReportSkip(Toolkit& toolkit, const TextFiles& files, const QString& message,
                const QString& fileName);

// The skip-and-continue form of a scripter. A failure that ends the run is
// raised again as procedure's, with the SQL it ran when the server spoke;
// any other becomes LastError as skipMessage + its description (and that
// SQL), is shown and noted in fileName, and the run goes on.
void skipOrEndRun(ScriptContext& context, const QString& procedure, const QString& skipMessage,
                  const Failure& failure, const QString& fileName);

} // namespace quarvex
