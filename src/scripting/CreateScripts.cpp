#include "scripting/CreateScripts.h"

#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "catalogue/ListSnapshot.h"
#include "db/OdbcConnection.h"
#include "db/RecordSet.h"
#include "db/ServerConnection.h"
#include "io/OutputFolderLock.h"
#include "io/SharedFolder.h"
#include "model/ObjectKinds.h"
#include "model/OutputPath.h"
#include "model/ReportingForm.h"
#include "scripting/ApplyStep.h"
#include "scripting/BoxPrint.h"
#include "scripting/DeferredKeys.h"
#include "scripting/ReportSkip.h"
#include "scripting/ScriptContext.h"
#include "scripting/ScriptObject.h"
#include "scripting/ScriptTable.h"
#include "scripting/SqlIdentifier.h"
#include "scripting/TableStatements.h"
#include "scripting/ViewerCommand.h"

#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QStringList>
#include <QTime>
#include <optional>

namespace quarvex {

namespace {

const QLatin1StringView unsafeNameMessage(
    "has a line break or control character in its name, which a script cannot carry safely");

// Present only while a finished run moves its files into place.
const QLatin1StringView commitMarkerName(".quarvex-moving");

// Date literals are written year first; a login whose language reads dates
// day first must not turn 2008-12-10 into 12 October.
const QString settingsBatch = QStringLiteral("set nocount on\r\nset dateformat ymd\r\nGO\r\n\r\n");

QString headerTemplate(const Settings& settings) {
    const QLocale locale = QLocale::system();
    return QLatin1String("Selected %s scripts from ") + settings.connection.server +
           QLatin1Char('.') + settings.connection.database + QLatin1Char(' ') +
           locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(QTime::currentTime(), QLocale::ShortFormat);
}

// The steps of one run over the list, with what they share.
// An object's name and owner as the scripts write them. A name that cannot
// stand on one line is shown escaped, wherever it goes; the object itself is
// skipped.
struct ScriptedNames {
    bool unsafe;
    QString name;
    QString owner;
};

ScriptedNames scriptedNames(const ObjectRef& object) {
    const bool unsafe = hasControlCharacter(object.name) || hasControlCharacter(object.owner);
    const auto shown = [unsafe](const QString& text) {
        return unsafe ? cEscaped(sqlIdentifier(text)) : sqlIdentifier(text);
    };
    return {unsafe, shown(object.name), shown(object.owner)};
}

class ScriptRun {
public:
    explicit ScriptRun(ScriptContext& context)
        : m_context(context)
        , m_files(context.files()) {}

    // The script file the user reads, and the one this run writes instead
    // until it has finished.
    QString fileOf(ObjectKind kind) const { return m_context.outputFile(factsOf(kind).fileName); }
    QString stagedFileOf(ObjectKind kind) const { return m_context.scriptFile(kind); }
    QString stagedTablesFile() const { return stagedFileOf(ObjectKind::Table); }

    // What a killed run left goes: its files, or, when it was killed while
    // moving them into place, the rest of them moved too, so that the
    // folder holds the five files of one run.
    // Another user's file among them, in a sticky folder, is named instead.
    void removeLeftovers() const {
        const QString marker = m_context.outputFile(commitMarkerName);
        const QString scratch = m_context.outputFile(scratchFileName);
        requireReplaceableEntry(marker);
        requireReplaceableEntry(scratch);
        for (const ObjectKindFacts& facts : objectKinds())
            requireReplaceableEntry(stagedFileOf(facts.kind));
        if (QFileInfo(marker).exists() || QFileInfo(marker).isSymLink()) {
            // What cannot be moved (a link, say) goes with the rest below.
            failureOf([&] {
                for (const ObjectKindFacts& facts : objectKinds())
                    if (QFile::exists(stagedFileOf(facts.kind)))
                        m_files.MoveFile(stagedFileOf(facts.kind), fileOf(facts.kind));
            });
            m_files.RemoveFile(marker);
        }
        discardStaged();
        m_files.RemoveFile(scratch);
    }

    // A script file the run could not replace at its end would leave the
    // folder with files of two runs; better to fail before anything is done.
    void requireReplaceableScripts() const {
        for (const ObjectKindFacts& facts : objectKinds())
            m_files.requireReplaceable(fileOf(facts.kind));
    }

    void writeHeaders() {
        const QString header = headerTemplate(m_context.settings);
        for (const ObjectKindFacts& facts : objectKinds()) {
            const QString note =
                BoxPrint(QString(header).replace(QLatin1String("%s"), facts.headerWord));
            // Created anew: nothing planted under the hidden name is followed.
            m_files.WriteNewFile(stagedFileOf(facts.kind), note);
        }
    }

    // How the rows were read, right after the header of the table script.
    void noteReading(const QString& note) { m_files.AppendFile(stagedTablesFile(), note); }

    // Keys that no load order satisfies go off inside the apply step, and on
    // again with a check of every row before it commits.
    void deferKeys(OdbcConnection& connection) {
        m_keys = DeferredKeys::read(connection, m_context.toolkit.objectList());
        m_files.AppendFile(stagedTablesFile(), settingsBatch);
    }

    // The work ahead for the progress: the rows of every ticked table, as
    // the server counts them now, and one unit for each other entry.
    void countWork(OdbcConnection& connection) {
        const ObjectList& list = m_context.toolkit.objectList();
        int entries = 0;
        qint64 units = 0;
        for (int i = 0; i < list.count(); ++i) {
            if (!list.isChecked(i))
                continue;
            ++entries;
            const ObjectRef& object = list.entry(i).object;
            const qint64 rows = object.kind == ObjectKind::Table ? rowsOf(object, connection) : 0;
            m_units.insert(list.text(i), qMax<qint64>(rows, 1));
            units += qMax<qint64>(rows, 1);
        }
        m_context.progress.start(m_context.toolkit, entries, units);
    }

    void scriptTickedEntries(OdbcConnection& connection) {
        ObjectList& list = m_context.toolkit.objectList();
        const int last = list.count() - 1;
        for (int i = 0; i <= last; ++i) {
            if (!list.isChecked(i))
                continue;
            m_context.toolkit.cancellation().raiseIfCancelled();
            const ListEntry entry = list.entry(i);
            m_context.progress.beginEntry(scriptedNames(entry.object).name,
                                          m_units.value(entry.text, 1));
            scriptEntry(entry.object, connection, i);
            m_context.progress.endEntry();
            // Unticking moved the entry; whatever took its place is examined next.
            if (i < list.count() && !(list.entry(i) == entry))
                --i;
        }
        m_context.toolkit.setStatus(m_summary.text());
    }

    // The staged tables change the target in one transaction, after every
    // table is staged and every live reference to them is checked.
    void applyStaged(OdbcConnection& connection) {
        if (m_context.staged.isEmpty())
            return;
        const bool sql2005Plus = IsSQL2005Plus(connection);
        ApplyPlan plan{m_context.loadMode(),
                       m_context.settings.preview(),
                       sql2005Plus,
                       m_context.staged,
                       readReferencingKeys(connection, sql2005Plus),
                       m_keys.turnOffStatements(),
                       m_keys.checkAgainSteps()};
        m_files.AppendFile(stagedTablesFile(), applyBatches(plan));
    }

    void writeFooters() {
        m_files.AppendFile(stagedTablesFile(), QStringLiteral("set nocount off\r\nGO\r\n\r\n"));
        for (const ObjectKindFacts& facts : objectKinds())
            m_files.AppendFile(
                stagedFileOf(facts.kind),
                BoxPrint(QLatin1String("End ") + facts.headerWord + QLatin1String(" scripts")));
    }

    // The finished files take the scripts' places, each in one step. The
    // marker tells a later run to finish the moves should this one be
    // killed between them.
    void moveIntoPlace() const {
        const QString marker = m_context.outputFile(commitMarkerName);
        m_files.WriteNewFile(marker, QString());
        // A move that fails leaves nothing for a later run to finish: the
        // files not yet moved go with the marker.
        const auto failure = failureOf([&] {
            for (const ObjectKindFacts& facts : objectKinds())
                m_files.MoveFile(stagedFileOf(facts.kind), fileOf(facts.kind));
        });
        m_files.RemoveFile(marker);
        if (failure)
            raise(*failure);
    }

    // The files of a run that failed; kept while moving them into place had
    // begun, so that the next run can finish it.
    void discardStaged() const {
        if (QFile::exists(m_context.outputFile(commitMarkerName)))
            return;
        for (const ObjectKindFacts& facts : objectKinds())
            m_files.RemoveFile(stagedFileOf(facts.kind));
    }

    // The scripts are written by now, so a viewer that will not start is
    // told once, without failing the run; the other files would fail alike.
    void startViewers() const {
        for (const ObjectKindFacts& facts : objectKinds()) {
            if (!m_summary.used.contains(facts.kind))
                continue;
            const auto failure = failureOf([&] {
                openInViewer(m_context.toolkit, m_context.settings.viewer, fileOf(facts.kind));
            });
            if (failure) {
                // Without a viewer the user must find the files alone.
                const QString where = QStringLiteral(". The script files are in ") +
                                      QDir::toNativeSeparators(m_context.settings.outputPath);
                reportFailure(
                    m_context.toolkit, m_context.runState,
                    prefixed(*failure, QStringLiteral("CreateScripts"), where).description);
                return;
            }
        }
    }

    const RunSummary& summary() const { return m_summary; }

    // Whether a procedure, trigger, view or function is ticked.
    bool objectsTicked() const {
        const ObjectList& list = m_context.toolkit.objectList();
        for (int i = 0; i < list.count(); ++i)
            if (list.isChecked(i) && list.entry(i).object.kind != ObjectKind::Table)
                return true;
        return false;
    }

private:
    // What the table's row query will read; 0 when the count fails, which
    // the table's own script then reports.
    qint64 rowsOf(const ObjectRef& table, OdbcConnection& connection) const {
        const ScriptedNames names = scriptedNames(table);
        if (names.unsafe)
            return 0;
        qint64 rows = 0;
        const auto failure = failureOf([&] {
            // Through the consistent read: under its lock, from its snapshot.
            const QString source =
                m_context.reading.source(names.owner + QLatin1Char('.') + names.name);
            RecordSet records(connection, rowCountQuery(source, table.rowFilter));
            if (!records.atEnd())
                rows = records.value(0).toLongLong();
        });
        if (failure && failure->endsRun())
            raise(*failure);
        return rows;
    }

    void scriptEntry(const ObjectRef& object, OdbcConnection& connection, int position) {
        const auto [unsafe, name, owner] = scriptedNames(object);
        ++m_entries;
        m_context.toolkit.setStatus(QString::number(m_entries) + QLatin1String(" - ") + name);

        const bool isTable = object.kind == ObjectKind::Table;
        const bool scripted = unsafe    ? skipUnsafeName(object.kind, name)
                              : isTable ? ScriptTable(m_context, object, name, owner, connection,
                                                      m_keys.referencedTables.contains(object.id))
                                        : ScriptObject(m_context, object, name, connection);
        m_summary.used.insert(object.kind);
        if (scripted) {
            m_context.toolkit.objectList().setChecked(position, false);
            ++m_summary.scripted[object.kind];
        } else {
            ++m_summary.skipped;
        }
    }

    // A line break in a name would end the line of any statement that names
    // the object, and a batch runner takes a following line reading GO as a
    // batch end, brackets or not: whatever comes next would run.
    bool skipUnsafeName(ObjectKind kind, const QString& escapedName) {
        m_context.runState.LastError = factsOf(kind).kindWord + QLatin1Char(' ') + escapedName +
                                       QLatin1String(" skipped: ") + unsafeNameMessage;
        ReportSkip(m_context.toolkit, m_files, m_context.runState.LastError,
                   m_context.scriptFile(kind));
        return false;
    }

    ScriptContext& m_context;
    const TextFiles m_files;
    RunSummary m_summary;
    qint32 m_entries = 0;
    DeferredKeys m_keys;
    QHash<QString, qint64> m_units; // by entry text: what each ticked entry is worth
};

bool anyTicked(const ObjectList& list) {
    for (int i = 0; i < list.count(); ++i)
        if (list.isChecked(i))
            return true;
    return false;
}

} // namespace

QString RunSummary::text() const {
    QStringList counts;
    for (const ObjectKindFacts& facts : objectKinds()) {
        const auto found = scripted.find(facts.kind);
        const qint32 count = found == scripted.end() ? 0 : found->second;
        counts.append(QString::number(count) + QLatin1Char(' ') + facts.countWord);
    }
    QString text = counts.join(u'/') + QLatin1String(" scripted");
    if (skipped > 0)
        text += QLatin1String(" - ") + QString::number(skipped) + QLatin1String(" skipped");
    return text;
}

const QString& nothingTickedText() {
    static const QString text = QStringLiteral("Nothing ticked: no script written");
    return text;
}

RunSummary CreateScripts(ScriptContext& context) {
    // Five files of headers only would replace the last good scripts.
    if (!anyTicked(context.toolkit.objectList())) {
        context.toolkit.setStatus(nothingTickedText());
        RunSummary nothing;
        nothing.nothingTicked = true;
        return nothing;
    }
    ScriptRun run(context);
    const ListSnapshot ticks(context.toolkit.objectList());
    std::optional<OdbcConnection> connection;
    // Held until the scratch file is gone, so that no other run writes here.
    std::optional<OutputFolderLock> folderLock;

    const auto failure = failureOf([&] {
        requireOutputFolder(context.settings.outputPath);
        createDefaultOutputFolder(context.settings.outputPath);
        folderLock.emplace(context.settings.outputPath);
        run.removeLeftovers();
        run.requireReplaceableScripts();
        connection.emplace();
        connection->stopWith(context.toolkit.cancellation());
        context.toolkit.setBusy(true);
        run.writeHeaders();
        OpenConnection(*connection, context.settings.connection);
        // A server without CREATE OR ALTER refuses the run before any
        // script; tables alone need no check.
        if (context.settings.createOrAlter() && run.objectsTicked())
            RequireCreateOrAlter(*connection);
        context.staged.clear();
        context.reading =
            ConsistentReadSession::begin(*connection, context.settings.consistentRead);
        run.noteReading(context.reading.note());
        run.deferKeys(*connection);
        run.countWork(*connection);
        run.scriptTickedEntries(*connection);
        run.applyStaged(*connection);
        context.reading.end(*connection);
        connection->close();
        run.writeFooters();
        // The last moment a cancel keeps the scripts as they were.
        context.toolkit.cancellation().raiseIfCancelled();
        run.moveIntoPlace();
    });
    connection.reset();
    context.toolkit.setBusy(false);
    // Only a run that holds the folder may remove files there; what a failed
    // run wrote serves nothing, and on a full disk it is in the way.
    if (folderLock) {
        context.files().RemoveFile(context.outputFile(scratchFileName));
        if (failure)
            run.discardStaged();
    }
    if (failure) {
        // The scripts are as they were, so the whole run is to be done again.
        ticks.restore(context.toolkit.objectList(), context.runState);
        // Whatever failed once a cancel was asked for, failed by it.
        if (context.toolkit.cancellation().isCancelled()) {
            context.toolkit.setStatus(cancelledRunText());
            raise(Failure{cancelledRunText(), FailureKind::Cancelled});
        }
        raise(prefixed(*failure, QStringLiteral("CreateScripts")));
    }

    run.startViewers();
    return run.summary();
}

} // namespace quarvex
