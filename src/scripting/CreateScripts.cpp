#include "scripting/CreateScripts.h"

#include "base/ProcedureError.h"
#include "db/OdbcConnection.h"
#include "db/ServerConnection.h"
#include "io/OutputFolderLock.h"
#include "model/ObjectKinds.h"
#include "model/OutputPath.h"
#include "scripting/BoxPrint.h"
#include "scripting/ScriptContext.h"
#include "scripting/ScriptObject.h"
#include "scripting/ScriptTable.h"
#include "scripting/SqlIdentifier.h"
#include "scripting/TableScript.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>
#include <optional>

namespace quarvex {

namespace {

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

    QString fileOf(size_t kind) const { return m_context.outputFile(objectKinds()[kind].fileName); }

    void writeHeaders() {
        const QString header = headerTemplate(m_context.settings);
        for (size_t kind = 0; kind < objectKinds().size(); ++kind) {
            const QString note = BoxPrint(
                QString(header).replace(QLatin1String("%s"), objectKinds()[kind].headerWord));
            m_files.WriteFile(fileOf(kind), note);
            if (kind == 0)
                m_tablesHead = note;
        }
        m_files.AppendFile(fileOf(0), settingsBatch);
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

    // The staged tables change the target in one transaction, after every
    // table is staged.
    void applyMerges(bool sql2005Plus) {
        if (m_context.merges.isEmpty())
            return;
        m_files.AppendFile(fileOf(0), BoxPrint(QStringLiteral("Applying the staged rows: updates "
                                                              "and inserts, then deletes in "
                                                              "reverse order...")) +
                                          applyStep(m_context.merges, sql2005Plus));
    }

    void writeFooters() {
        m_files.AppendFile(fileOf(0), QStringLiteral("set nocount off\r\nGO\r\n\r\n"));
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            m_files.AppendFile(fileOf(kind),
                               BoxPrint(QLatin1String("End ") + objectKinds()[kind].headerWord +
                                        QLatin1String(" scripts")));
    }

    // The deletes, children first, go in front of the file's first
    // "set nocount on", which lies in what this run wrote first.
    void putDeletesInFront() {
        const QString deletes =
            BoxPrint(QStringLiteral("Deleting from tables (reverse order) before inserts...")) +
            m_deletes;
        m_files.ReplaceFileHead(fileOf(0), m_tablesHead,
                                m_tablesHead + deletes + QLatin1String("\r\n"));
    }

    void startViewers(const ViewerLauncher& launchViewer) const {
        for (size_t kind = 0; kind < objectKinds().size(); ++kind)
            if (m_summary.used[kind])
                failureOf([&] { launchViewer(m_context.settings.viewer, fileOf(kind)); });
    }

    const RunSummary& summary() const { return m_summary; }

private:
    void scriptEntry(const ObjectRef& object, OdbcConnection& connection, int position) {
        const QString name = sqlIdentifier(object.name);
        const QString owner = sqlIdentifier(object.owner);
        ++m_entries;
        m_context.toolkit.setStatus(QString::number(m_entries) + QLatin1String(" - ") + name);

        const bool isTable = object.kind == ObjectKind::Table;
        const bool scripted =
            isTable ? ScriptTable(m_context, object, name, owner, connection)
                    : ScriptObject(m_context, object.id, name, connection, object.kind);
        const size_t kind = indexOf(object.kind);
        m_summary.used[kind] = true;
        if (scripted) {
            m_context.toolkit.objectList().setChecked(position, false);
            ++m_summary.scripted[kind];
        } else {
            ++m_summary.skipped;
        }
        if (isTable)
            m_deletes = QLatin1String(scripted ? "" : "--") +
                        groupedDelete(owner + QLatin1Char('.') + name, object.rowFilter) +
                        m_deletes;
    }

    ScriptContext& m_context;
    const TextFiles m_files;
    RunSummary m_summary;
    qint32 m_entries = 0;
    QString m_tablesHead;
    QString m_deletes;
};

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

RunSummary CreateScripts(ScriptContext& context, const ViewerLauncher& launchViewer) {
    ScriptRun run(context);
    std::optional<OdbcConnection> connection;
    // Held until the scratch file is gone, so that no other run writes here.
    std::optional<OutputFolderLock> folderLock;

    const auto failure = failureOf([&] {
        requireOutputFolder(context.settings.outputPath);
        folderLock.emplace(context.settings.outputPath);
        connection.emplace();
        context.toolkit.setBusy(true);
        run.writeHeaders();
        OpenConnection(*connection, context.settings.connection);
        context.merges.clear();
        run.scriptTickedEntries(*connection);
        if (context.settings.merge())
            run.applyMerges(IsSQL2005Plus(*connection));
        connection->close();
        run.writeFooters();
        // A merge deletes what the source lacks itself.
        if (context.settings.group() && !context.settings.merge())
            run.putDeletesInFront();
    });
    connection.reset();
    context.toolkit.setBusy(false);
    // Only a run that holds the folder may remove the scratch file; a partial
    // one serves nothing, and on a full disk it is in the way.
    if (folderLock)
        QFile::remove(context.outputFile(scratchFileName));
    if (failure)
        raise(prefixed(*failure, QStringLiteral("CreateScripts")));

    run.startViewers(launchViewer);
    return run.summary();
}

} // namespace quarvex
