#include "support/RecordingToolkit.h"

namespace quarvex::test {

void RecordingToolkit::showMessage(const QString& text, MessageIcon icon, const QString& title) {
    messages.append({text, icon, title});
}

QStringList RecordingToolkit::messageTexts() const {
    QStringList texts;
    for (const Message& message : messages)
        texts.append(message.text);
    return texts;
}

} // namespace quarvex::test
