#pragma once

#include "io/TextFile.h"
#include "model/ObjectKinds.h"
#include "model/RunState.h"
#include "model/Settings.h"
#include "model/Toolkit.h"
#include "scripting/MergeScript.h"
#include "scripting/ProgressMeter.h"

#include <QDir>

namespace quarvex {

// What the scripters read from the window during one script run.
struct ScriptContext {
    Toolkit& toolkit;
    RunState& runState;
    const Settings& settings;
    // With a merge, the tables staged so far, for the apply step at the end.
    QList<MergeTable> merges = {};
    // Counts the run's rows and objects for the toolkit's progress.
    ProgressMeter progress = {};

    TextFiles files() const {
        return TextFiles(settings.unicode() ? ScriptEncoding::Unicode : ScriptEncoding::Ansi);
    }

    // A file in the output folder, joined with the platform's separator
    // unless the folder ends in one (the root folder).
    QString outputFile(const QString& fileName) const {
        if (settings.outputPath.endsWith(QDir::separator()))
            return settings.outputPath + fileName;
        return settings.outputPath + QDir::separator() + fileName;
    }

    // The file a scripter writes the kind's script into during a run: a
    // hidden one, which takes the script file's place when the run ends.
    QString scriptFile(ObjectKind kind) const {
        return outputFile(stagedFileName(factsOf(kind).fileName));
    }
};

} // namespace quarvex
