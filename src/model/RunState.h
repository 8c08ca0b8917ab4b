#pragma once

#include <QString>

namespace quarvex {

// The three fields the window (or the command line) keeps besides its
// controls, shared by the list load, the ticking and the script run.
struct RunState {
    // Set by every edit of a connection or filter box; the next page switch
    // reloads the object list.
    bool ConfigChanged = false;
    // True while the program itself changes check marks, so that the
    // item-check handler leaves the list alone.
    bool SuppressItemCheck = false;
    // The most recent error message, as last shown or noted.
    QString LastError;
};

} // namespace quarvex
