#pragma once

#include "io/CreatedFiles.h"
#include "io/TextFile.h"
#include "model/ObjectKinds.h"
#include "model/RunState.h"
#include "model/Settings.h"
#include "model/Toolkit.h"
#include "scripting/ConsistentReadSession.h"
#include "scripting/ProgressMeter.h"
#include "scripting/StagedTable.h"

#include <QDir>

namespace quarvex {

// What the scripters read from the window during one script run.
struct ScriptContext {
    Toolkit& toolkit;
    RunState& runState;
    const Settings& settings;
    // The tables staged so far, for the apply step at the end.
    QList<StagedTable> staged = {};
    // How the run reads the ticked tables' rows, once it has connected.
    ConsistentReadSession reading = {};
    // The files the run created in the output folder, written only through
    // the descriptors they were created with.
    std::shared_ptr<CreatedFiles> createdFiles = std::make_shared<CreatedFiles>();
    // Counts the run's rows and objects for the toolkit's progress.
    ProgressMeter progress = {};

    // A merge wins over the grouped deletes, which win over truncation.
    LoadMode loadMode() const {
        if (settings.merge())
            return LoadMode::Merge;
        return settings.group() ? LoadMode::GroupedDeletes : LoadMode::Truncate;
    }

    TextFiles files() const {
        return TextFiles(settings.unicode() ? ScriptEncoding::Unicode : ScriptEncoding::Ansi,
                         createdFiles);
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
