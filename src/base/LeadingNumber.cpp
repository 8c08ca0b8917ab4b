#include "base/LeadingNumber.h"

#include <QString>

namespace quarvex {

double leadingNumber(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || text[i] == u'\t'))
        ++i;
    const qsizetype start = i;
    if (i < text.size() && (text[i] == u'-' || text[i] == u'+'))
        ++i;
    bool point = false;
    while (i < text.size()) {
        const QChar c = text[i];
        if (c == u'.' && !point)
            point = true;
        else if (!(c >= u'0' && c <= u'9'))
            break;
        ++i;
    }
    bool ok = false;
    const double value = text.mid(start, i - start).toString().toDouble(&ok);
    return ok ? value : 0.0;
}

} // namespace quarvex
