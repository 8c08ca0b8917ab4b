#pragma once

#include "standin/engine/Outcome.h"
#include "standin/tds/TdsWriter.h"

namespace quarvex::standin {

// Writes the server's tokens for one negotiated TDS version. Versions 7.2
// and later widen some fields (user type, row counts, line numbers) and
// describe the table of a text column with a part count.
class TdsTokens {
public:
    explicit TdsTokens(quint32 tdsVersion)
        : m_version(tdsVersion) {}
    bool isTds72() const { return (m_version >> 24) >= 0x72; }
    // TDS 7.3 brought date, time, datetime2 and datetimeoffset; older clients
    // get them as nvarchar text.
    bool hasDateTypes() const { return m_version >= 0x730A0003u; }

    void loginAck(TdsWriter& w, const QString& version) const;
    void envChange(TdsWriter& w, int type, const QString& newValue, const QString& oldValue) const;
    void collationChange(TdsWriter& w) const;
    void message(TdsWriter& w, const SqlError& message, bool isError, const QString& server,
                 int line) const;
    void done(TdsWriter& w, int status, int command, qint64 count, int token = 0xFD) const;
    void returnStatus(TdsWriter& w, int status) const;
    void returnIntValue(TdsWriter& w, int ordinal, int value) const;
    void columnMetadata(TdsWriter& w, const QList<ResultColumn>& columns) const;
    void row(TdsWriter& w, const QList<ResultColumn>& columns, const QVariantList& values) const;

private:
    void typeInfo(TdsWriter& w, const SqlType& t, int wire) const;
    quint32 m_version;
};

enum DoneStatus {
    DoneFinal = 0x00,
    DoneMore = 0x01,
    DoneError = 0x02,
    DoneCount = 0x10,
    DoneAttention = 0x20
};

// The collation of every character column: SQL_Latin1_General_CP1_CI_AS.
QByteArray defaultCollation();

} // namespace quarvex::standin
