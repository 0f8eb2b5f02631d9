#include "model/ReadingOrder.h"

#include <QCollator>
#include <QLocale>
#include <algorithm>

namespace {

const QCollator& italianCollator()
{
    static const QCollator collator = [] {
        QCollator italian{QLocale(QLocale::Italian, QLocale::Italy)};
        italian.setCaseSensitivity(Qt::CaseInsensitive);
        return italian;
    }();
    return collator;
}

} // namespace

bool readsBefore(const QString& a, const QString& b)
{
    const int order = italianCollator().compare(a, b);
    if (order != 0)
        return order < 0;
    // Equal for a reader: a fixed order all the same.
    return QString::compare(a, b, Qt::CaseSensitive) < 0;
}

void sortForReading(QStringList& names)
{
    std::sort(names.begin(), names.end(), readsBefore);
}
