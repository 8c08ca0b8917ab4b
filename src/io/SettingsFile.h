#pragma once

#include "model/Settings.h"

#include <QString>

namespace quarvex {

// The settings file: one "name=value" line (CR LF) per saved control, under
// the control's name, in the window's design order. Everything but the
// password is saved.
QString settingsFileText(const Settings& settings);

// Puts the values of a settings file's text into settings, control by
// control in design order. Lines end in CR LF or LF alone; a byte-order mark
// in front is passed over. A name counts only at the start of a line and
// directly followed by "="; text values are trimmed of blanks; the first
// line of a name wins. A check box value outside 0 to 2 stops the reading
// with an error; the controls before it keep what was read.
void applySettingsFileText(const QString& text, Settings& settings);

// Writes and reads the file (always ANSI). Reading a missing file changes
// nothing. Raise "WriteCfg: " / "ReadCfg: " + description.
void WriteCfg(const QString& fileName, const Settings& settings);
void ReadCfg(const QString& fileName, Settings& settings);

// The names both programs give Qt, so that QStandardPaths finds one
// configuration folder for the window and the command line alike, and the
// project's version. Call once the application object exists.
void setProgramIdentity();

// Where the program named programName keeps its settings: beside the
// executable when a writable file is already there (a copy carried on a
// stick, say), otherwise in the user's configuration folder, which is
// created when missing.
QString settingsFilePath(const QString& programFolder, const QString& programName);

// The settings file both programs use: quarvex.cfg, found as above for the
// running program's folder.
QString programSettingsFile();

} // namespace quarvex
