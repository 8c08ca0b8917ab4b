#include "support/RecordingToolkit.h"

namespace quarvex::test {

void RecordingToolkit::showMessage(const QString& text, MessageIcon icon, const QString& title) {
    messages.append({text, icon, title});
}

std::optional<QString> RecordingToolkit::startViewer(const QString& program,
                                                     const QStringList& arguments) {
    viewers.append({program, arguments});
    if (unstartable.contains(program))
        return QStringLiteral("No such file or directory");
    return std::nullopt;
}

QStringList RecordingToolkit::messageTexts() const {
    QStringList texts;
    for (const Message& message : messages)
        texts.append(message.text);
    return texts;
}

QStringList listed(const ObjectList& list) {
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names.append(QLatin1String(list.isChecked(i) ? "+" : "") + list.entry(i).object.name);
    return names;
}

} // namespace quarvex::test
