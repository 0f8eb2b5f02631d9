#pragma once

#include <QString>
#include <QStringList>

// The order of every list of names that a person reads (exercises, pupils,
// runs): Italian alphabetical order, in which letter case and accents do not
// move a name ("Èra glaciale" comes before "Zebra", beside "Era"). Names that
// differ only in case or accents keep one fixed order among themselves.
bool readsBefore(const QString& a, const QString& b);
// Sorts `names` in that order.
void sortForReading(QStringList& names);
