#include "scripting/CreateScripts.h"

#include "model/OutputPath.h"
#include "db/OdbcConnection.h"
#include "db/ServerConnection.h"
#include "io/OutputFolderLock.h"
#include "scripting/BoxPrint.h"
#include "base/ProcedureError.h"
#include "scripting/ScriptContext.h"
#include "scripting/ScriptObject.h"
#include "scripting/ScriptTable.h"
#include "scripting/SqlIdentifier.h"

#include <QDate>
#include <QFile>
#include <QLocale>
#include <QTime>
#include <array>
#include <optional>

namespace quarvex {

namespace {

struct KindFile {
    ObjectKind kind;
    const char* fileName;
    const char* headerWord;
};

// In the order the files are written and the viewers started.
const std::array<KindFile, 5> kindFiles = {{
    {ObjectKind::Table, "Tables.sql", "TABLE"},
    {ObjectKind::Proc, "Procs.sql", "PROCEDURE"},
    {ObjectKind::Trigger, "Trigs.sql", "TRIGGER"},
    {ObjectKind::View, "Views.sql", "VIEW"},
    {ObjectKind::Function, "Funcs.sql", "FUNCTION"},
}};

int indexOf(ObjectKind kind) {
    for (size_t i = 0; i < kindFiles.size(); ++i)
        if (kindFiles[i].kind == kind)
            return int(i);
    raiseUnexpectedCase();
}

QString headerTemplate(const Settings& settings) {
    const QLocale locale = QLocale::system();
    return QLatin1String("Selected %s scripts from ") + settings.connection.server +
           QLatin1Char('.') + settings.connection.database + QLatin1Char(' ') +
           locale.toString(QDate::currentDate(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(QTime::currentTime(), QLocale::ShortFormat);
}

struct RunCounts {
    std::array<qint32, 5> scripted{};
    std::array<bool, 5> used{};
    qint32 skipped = 0;
    qint32 entries = 0;

    QString summary() const {
        QString text = QString::number(scripted[0]) + QLatin1String(" tables/") +
                       QString::number(scripted[1]) + QLatin1String(" procs/") +
                       QString::number(scripted[2]) + QLatin1String(" triggers/") +
                       QString::number(scripted[3]) + QLatin1String(" views/") +
                       QString::number(scripted[4]) + QLatin1String(" functions scripted");
        if (skipped > 0)
            text += QLatin1String(" - ") + QString::number(skipped) + QLatin1String(" skipped");
        return text;
    }
};

} // namespace

void CreateScripts(ScriptContext& context, const ViewerLauncher& launchViewer) {
    const TextFiles files = context.files();
    const auto fileOf = [&](size_t kind) {
        return context.outputFile(QLatin1String(kindFiles[kind].fileName));
    };
    RunCounts counts;
    QString deletes;
    QString tablesHead;
    std::optional<OdbcConnection> connection;
    // Held until the scratch file is gone, so that no other run writes here.
    std::optional<OutputFolderLock> folderLock;

    const auto failure = failureOf([&] {
        requireOutputFolder(context.settings.outputPath);
        folderLock.emplace(context.settings.outputPath);
        connection.emplace();
        context.toolkit.setBusy(true);

        const QString header = headerTemplate(context.settings);
        const auto headerNote = [&](size_t kind) {
            return BoxPrint(QString(header).replace(QLatin1String("%s"),
                                                    QLatin1String(kindFiles[kind].headerWord)));
        };
        for (size_t kind = 0; kind < kindFiles.size(); ++kind)
            files.WriteFile(fileOf(kind), headerNote(kind));
        // Date literals are written year first; a login whose language reads
        // dates day first must not turn 2008-12-10 into 12 October.
        const QString settingsBatch =
            QStringLiteral("set nocount on\r\nset dateformat ymd\r\nGO\r\n\r\n");
        files.AppendFile(fileOf(0), settingsBatch);
        tablesHead = headerNote(0) + settingsBatch;

        OpenConnection(*connection, context.settings.connection);

        ObjectList& list = context.toolkit.objectList();
        const int last = list.count() - 1;
        for (int i = 0; i <= last; ++i) {
            if (!list.isChecked(i))
                continue;
            const ListEntry entry = list.entry(i);
            const ObjectRef& object = entry.object;
            const QString name = sqlIdentifier(object.name);
            const QString owner = sqlIdentifier(object.owner);

            ++counts.entries;
            context.toolkit.setStatus(QString::number(counts.entries) + QLatin1String(" - ") +
                                      name);

            const int kind = indexOf(object.kind);
            const bool scripted =
                object.kind == ObjectKind::Table
                    ? ScriptTable(context, object.id, name, owner, *connection)
                    : ScriptObject(context, object.id, name, *connection, object.kind);
            counts.used[kind] = true;
            if (scripted) {
                list.setChecked(i, false);
                ++counts.scripted[kind];
            } else {
                ++counts.skipped;
            }
            if (object.kind == ObjectKind::Table) {
                deletes = QLatin1String("delete from ") + owner + QLatin1Char('.') + name +
                          QLatin1String("\r\nGO\r\n") + deletes;
                if (!scripted)
                    deletes.prepend(QLatin1String("--"));
            }
            // Unticking moved the entry; whatever took its place is examined next.
            if (i < list.count() && !(list.entry(i) == entry))
                --i;
        }

        context.toolkit.setStatus(counts.summary());
        connection->close();
        files.AppendFile(fileOf(0), QStringLiteral("set nocount off\r\nGO\r\n\r\n"));
        for (size_t kind = 0; kind < kindFiles.size(); ++kind)
            files.AppendFile(fileOf(kind), BoxPrint(QLatin1String("End ") +
                                                    QLatin1String(kindFiles[kind].headerWord) +
                                                    QLatin1String(" scripts")));

        if (context.settings.group()) {
            deletes =
                BoxPrint(QStringLiteral("Deleting from tables (reverse order) before inserts...")) +
                deletes;
            // The first "set nocount on" of the file lies in what this run
            // wrote first; the deletes go in front of it.
            const QString head =
                tablesHead.left(tablesHead.indexOf(QLatin1String("set nocount on")));
            files.ReplaceFileHead(fileOf(0), head, head + deletes + QLatin1String("\r\n"));
        }
        connection.reset();
        context.toolkit.setBusy(false);
    });
    if (failure) {
        connection.reset();
        context.toolkit.setBusy(false);
        raise(QLatin1String("CreateScripts: ") + failure->description, failure->kind);
    }

    QFile::remove(context.outputFile(QStringLiteral("Temp.sql")));
    for (size_t kind = 0; kind < kindFiles.size(); ++kind)
        if (counts.used[kind])
            failureOf([&] { launchViewer(context.settings.viewer, fileOf(kind)); });
}

} // namespace quarvex
