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

} // namespace quarvex::test
