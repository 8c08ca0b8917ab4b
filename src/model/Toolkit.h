#pragma once

#include "model/Cancellation.h"
#include "model/ObjectRef.h"
#include "model/RunProgress.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace quarvex {

// The object list: one checkable entry per database object. Indexes count
// from 0. Writing a check mark raises the list's item-check notification at
// once, inside the writing call, exactly as a user's click does; writing
// the mark an entry already has raises nothing.
class ObjectList {
public:
    virtual ~ObjectList() = default;

    virtual int count() const = 0;
    virtual ListEntry entry(int index) const = 0;
    virtual bool isChecked(int index) const = 0;
    virtual void setChecked(int index, bool checked) = 0;

    // Inserts before index; index == count() appends.
    virtual void insert(int index, const ListEntry& entry) = 0;
    virtual void remove(int index) = 0;
    virtual void clear() = 0;

    // The current entry, or -1 when there is none.
    virtual int currentIndex() const = 0;
    virtual void setCurrentIndex(int index) = 0;

    // The first entry shown at the top of the visible part of the list.
    virtual int topIndex() const = 0;
    virtual void setTopIndex(int index) = 0;

    // The entry's text alone; lists that can hand it out more cheaply than
    // the whole entry say so.
    virtual QString text(int index) const { return entry(index).text; }
    void append(const ListEntry& entry) { insert(count(), entry); }
};

enum class MessageIcon { Exclamation, Information };

// Everything the core needs from the window. The window implements it with
// widgets; the command-line program and the tests with plain objects.
class Toolkit {
public:
    virtual ~Toolkit() = default;

    // A modal message with an OK button only; an empty title leaves the
    // platform's own caption.
    virtual void showMessage(const QString& text, MessageIcon icon, const QString& title = {}) = 0;

    // The application-wide busy pointer, until set back.
    virtual void setBusy(bool busy) = 0;

    // The status line, shown at once without processing other events.
    virtual QString status() const = 0;
    virtual void setStatus(const QString& text) = 0;

    virtual ObjectList& objectList() = 0;

    // Starts the viewer program with its arguments (the script file last)
    // without waiting for it and without the database password in its
    // environment. nullopt when it started; otherwise the system's reason.
    virtual std::optional<QString> startViewer(const QString& program,
                                               const QStringList& arguments) = 0;

    // Where a script run stands; called at most ten times a second, from
    // the thread the run works on. Shown nowhere unless overridden.
    virtual void setProgress(const RunProgress&) {}

    // Set by the user's Cancel (or a signal) while a run or a listing
    // works; they check it and stop.
    Cancellation& cancellation() { return m_cancellation; }

private:
    Cancellation m_cancellation;
};

} // namespace quarvex
