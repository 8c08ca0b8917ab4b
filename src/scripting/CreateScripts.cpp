#include "scripting/CreateScripts.h"

#include "base/ControlCharacters.h"
#include "base/ProcedureError.h"
#include "catalogue/ListSnapshot.h"
#include "db/OdbcConnection.h"
#include "db/ServerConnection.h"
#include "io/OutputFolderLock.h"
#include "model/ObjectKinds.h"
#include "model/OutputPath.h"
#include "model/ReportingForm.h"
#include "scripting/BoxPrint.h"
#include "scripting/DeferredKeys.h"
#include "scripting/ReportSkip.h"
#include "scripting/ScriptContext.h"
#include "scripting/ScriptObject.h"
#include "scripting/ScriptTable.h"
#include "scripting/SqlIdentifier.h"

#include <QDate>
#include <QFile>
#include <QLocale>
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

size_t indexOf(ObjectKind kind) {
    return size_t(&factsOf(kind) - objectKinds().data());
}

QString headerTemplate(const Settings& settings) {
    const QLocale locale = QLocale::system();
    return QLatin1String("Selected %s scripts from ") + settings.connection.server +
           QLatin1Char('.') + settings.connection.database + QLatin1Char(' ') +
           locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(QTime::currentTime(), QLocale::ShortFormat);
}

// The steps of one run over the list, with what they share.
class ScriptRun {
public:
    explicit ScriptRun(ScriptContext& context)
        : m_context(context)
        , m_files(context.files()) {}

    // The script file the user reads, and the one this run writes instead
    // until it has finished.
    QString fileOf(size_t kind) const { return m_context.outputFile(objectKinds()[kind].fileName); }
    QString stagedFileOf(size_t kind) const {
        return m_context.scriptFile(objectKinds()[kind].kind);
    }

    // What a killed run left goes: its files, or, when it was killed while
    // moving them into place, the rest of them moved too, so that the
    // folder holds the five files of one run.
    void removeLeftovers() const {
        const QString marker = m_context.outputFile(commitMarkerName);
        if (QFile::exists(marker)) {
            for (size_t kind = 0; kind < objectKinds().size(); ++kind)
                if (QFile::exists(stagedFileOf(kind)))
                    m_files.MoveFile(stagedFileOf(kind), fileOf(kind));
            QFile::remove(marker);
        }
        discardStaged();
        QFile::remove(m_context.outputFile(scratchFileName));
    }

    // A script file the run could not replace at its end would leave the
    // folder with files of two runs; better to fail before anything is done.
    void requireReplaceableScripts() const {
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            m_files.requireReplaceable(fileOf(kind));
    }

    void writeHeaders() {
        const QString header = headerTemplate(m_context.settings);
        for (size_t kind = 0; kind < objectKinds().size(); ++kind) {
            const QString note = BoxPrint(
                QString(header).replace(QLatin1String("%s"), objectKinds()[kind].headerWord));
            // Created anew: nothing planted under the hidden name is followed.
            m_files.WriteNewFile(stagedFileOf(kind), note);
            if (kind == 0)
                m_tablesHead = note;
        }
        m_files.AppendFile(stagedFileOf(0), settingsBatch);
    }

    // Keys that no load order satisfies go off before the first delete: in
    // front of the grouped deletes, or else before the first table.
    void deferKeys(OdbcConnection& connection) {
        m_keys = DeferredKeys::read(connection, m_context.toolkit.objectList());
        if (!m_context.settings.group() && !m_keys.keys.isEmpty())
            m_files.AppendFile(stagedFileOf(0), m_keys.turnOff());
    }

    void checkKeysAgain() {
        if (!m_keys.keys.isEmpty())
            m_files.AppendFile(stagedFileOf(0), m_keys.checkAgain());
    }

    void scriptTickedEntries(OdbcConnection& connection) {
        ObjectList& list = m_context.toolkit.objectList();
        const int last = list.count() - 1;
        for (int i = 0; i <= last; ++i) {
            if (!list.isChecked(i))
                continue;
            const ListEntry entry = list.entry(i);
            scriptEntry(entry.object, connection, i);
            // Unticking moved the entry; whatever took its place is examined next.
            if (i < list.count() && !(list.entry(i) == entry))
                --i;
        }
        m_context.toolkit.setStatus(m_summary.text());
    }

    void writeFooters() {
        m_files.AppendFile(stagedFileOf(0), QStringLiteral("set nocount off\r\nGO\r\n\r\n"));
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            m_files.AppendFile(stagedFileOf(kind),
                               BoxPrint(QLatin1String("End ") + objectKinds()[kind].headerWord +
                                        QLatin1String(" scripts")));
    }

    // The deletes, children first, go in front of the file's first
    // "set nocount on", which lies in what this run wrote first.
    void putDeletesInFront() {
        const QString deletes =
            BoxPrint(QStringLiteral("Deleting from tables (reverse order) before inserts...")) +
            m_deletes;
        m_files.ReplaceFileHead(stagedFileOf(0), m_tablesHead,
                                m_tablesHead + m_keys.turnOff() + deletes + QLatin1String("\r\n"));
    }

    // The finished files take the scripts' places, each in one step. The
    // marker tells a later run to finish the moves should this one be
    // killed between them.
    void moveIntoPlace() const {
        const QString marker = m_context.outputFile(commitMarkerName);
        m_files.WriteNewFile(marker, QString());
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            m_files.MoveFile(stagedFileOf(kind), fileOf(kind));
        QFile::remove(marker);
    }

    // The files of a run that failed; kept while moving them into place had
    // begun, so that the next run can finish it.
    void discardStaged() const {
        if (QFile::exists(m_context.outputFile(commitMarkerName)))
            return;
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            QFile::remove(stagedFileOf(kind));
    }

    // The scripts are written by now, so a viewer that will not start is
    // told once, without failing the run; the other files would fail alike.
    void startViewers(const ViewerLauncher& launchViewer) const {
        for (size_t kind = 0; kind < objectKinds().size(); ++kind) {
            if (!m_summary.used[kind])
                continue;
            const auto failure =
                failureOf([&] { launchViewer(m_context.settings.viewer, fileOf(kind)); });
            if (failure) {
                reportFailure(m_context.toolkit, m_context.fields,
                              prefixed(*failure, QStringLiteral("CreateScripts")).description);
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
    void scriptEntry(const ObjectRef& object, OdbcConnection& connection, int position) {
        // A name that cannot stand on one line is shown escaped, wherever it
        // goes; the object itself is skipped.
        const bool unsafe = hasControlCharacter(object.name) || hasControlCharacter(object.owner);
        const QString name =
            unsafe ? cEscaped(sqlIdentifier(object.name)) : sqlIdentifier(object.name);
        const QString owner =
            unsafe ? cEscaped(sqlIdentifier(object.owner)) : sqlIdentifier(object.owner);
        ++m_entries;
        m_context.toolkit.setStatus(QString::number(m_entries) + QLatin1String(" - ") + name);

        const bool isTable = object.kind == ObjectKind::Table;
        const bool scripted = unsafe    ? skipUnsafeName(object.kind, name)
                              : isTable ? ScriptTable(m_context, object.id, name, owner, connection,
                                                      m_keys.deletedTables.contains(object.id))
                                        : ScriptObject(m_context, object, name, connection);
        const size_t kind = indexOf(object.kind);
        m_summary.used[kind] = true;
        if (scripted) {
            m_context.toolkit.objectList().setChecked(position, false);
            ++m_summary.scripted[kind];
        } else {
            ++m_summary.skipped;
        }
        if (isTable)
            m_deletes = QLatin1String(scripted ? "" : "--") + QLatin1String("delete from ") +
                        owner + QLatin1Char('.') + name + QLatin1String("\r\nGO\r\n") + m_deletes;
    }

    // A line break in a name would end the line of any statement that names
    // the object, and a batch runner takes a following line reading GO as a
    // batch end, brackets or not: whatever comes next would run.
    bool skipUnsafeName(ObjectKind kind, const QString& escapedName) {
        m_context.fields.LastError = factsOf(kind).kindWord + QLatin1Char(' ') + escapedName +
                                     QLatin1String(" skipped: ") + unsafeNameMessage;
        ReportSkip(m_context.toolkit, m_files, m_context.fields.LastError,
                   m_context.scriptFile(kind));
        return false;
    }

    ScriptContext& m_context;
    const TextFiles m_files;
    RunSummary m_summary;
    qint32 m_entries = 0;
    QString m_tablesHead;
    QString m_deletes;
    DeferredKeys m_keys;
};

bool anyTicked(const ObjectList& list) {
    for (int i = 0; i < list.count(); ++i)
        if (list.isChecked(i))
            return true;
    return false;
}

} // namespace

QString RunSummary::text() const {
    QString text = QString::number(scripted[0]) + QLatin1String(" tables/") +
                   QString::number(scripted[1]) + QLatin1String(" procs/") +
                   QString::number(scripted[2]) + QLatin1String(" triggers/") +
                   QString::number(scripted[3]) + QLatin1String(" views/") +
                   QString::number(scripted[4]) + QLatin1String(" functions scripted");
    if (skipped > 0)
        text += QLatin1String(" - ") + QString::number(skipped) + QLatin1String(" skipped");
    return text;
}

const QString& nothingTickedText() {
    static const QString text = QStringLiteral("Nothing ticked: no script written");
    return text;
}

RunSummary CreateScripts(ScriptContext& context, const ViewerLauncher& launchViewer) {
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
        context.toolkit.setBusy(true);
        run.writeHeaders();
        OpenConnection(*connection, context.settings.connection);
        // A server without CREATE OR ALTER refuses the run before any
        // script; tables alone need no check.
        if (context.settings.createOrAlter() && run.objectsTicked())
            RequireCreateOrAlter(*connection);
        run.deferKeys(*connection);
        run.scriptTickedEntries(*connection);
        connection->close();
        run.checkKeysAgain();
        run.writeFooters();
        if (context.settings.group())
            run.putDeletesInFront();
        run.moveIntoPlace();
    });
    connection.reset();
    context.toolkit.setBusy(false);
    // Only a run that holds the folder may remove files there; what a failed
    // run wrote serves nothing, and on a full disk it is in the way.
    if (folderLock) {
        QFile::remove(context.outputFile(scratchFileName));
        if (failure)
            run.discardStaged();
    }
    if (failure) {
        // The scripts are as they were, so the whole run is to be done again.
        ticks.restore(context.toolkit.objectList(), context.fields);
        raise(prefixed(*failure, QStringLiteral("CreateScripts")));
    }

    run.startViewers(launchViewer);
    return run.summary();
}

} // namespace quarvex
