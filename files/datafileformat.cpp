#include "datafileformat.h"

char DataFileFormat::separatorFor(const QString& path) {
    return path.right(3).compare(u"csv", Qt::CaseInsensitive) == 0 ? Comma : Tab;
}

bool DataFileFormat::needsQuotes(QByteArrayView text, char separator) {
    return text.startsWith('"') || text.contains(separator) || text.contains('\n');
}

void DataFileFormat::appendField(QByteArray& line, QByteArrayView text, char separator) {
    if (!needsQuotes(text, separator)) {
        line.append(text);
    } else {
        line.append('"');
        for (const char c : text) {
            if (c == '"')
                line.append('"');
            line.append(c);
        }
        line.append('"');
    }
    line.append(separator);
}
