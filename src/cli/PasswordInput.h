#pragma once

#include <QString>

namespace quarvex::cli {

// The first line of standard input. At a terminal the user is asked for it
// on standard error and the typing is not shown; piped input is read as it
// comes, without a prompt.
QString readPasswordLine();

// Whether standard input is a terminal, where a user can be asked.
bool standardInputIsTerminal();

} // namespace quarvex::cli
