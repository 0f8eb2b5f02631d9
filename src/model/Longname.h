#pragma once

#include <QString>
#include <QStringList>

// The name table "LONGNAME.LST" of the exercises folder: one line per
// exercise, file name "=" long name (windows-1252, CR LF), read whole before
// each operation and replaced atomically after each change. Folders may end
// with "/" or not.
//
// File names of exercises: a base of the first eight ASCII letters or digits
// of the long name (letters in upper case, every other character skipped),
// ".S" and a two-digit counter, the smallest from 1 up whose name is free.
// From 100 up the last two digits form the counter and the leading digits
// follow the base: appended when the base has room for them, otherwise in
// place of its last characters (123 on "ILGATTOE" gives "ILGATTO1.S23", on
// "GATTO" "GATTO1.S23"). A name is free when no file of that exact name
// exists in the folder and no line of the table names it, so two long names
// never share a file even before the first one is saved.
//
// Every change of the table holds its lock (model/SafeFile.h) from the reading
// to the writing, so two copies of the program on one folder never lose each
// other's entries; when the user gives up waiting for it, "Il file
// LONGNAME.LST è in uso altrove: non è stato modificato." is shown and nothing
// is added, as for a table that cannot be read.
//
// A table that is there but cannot be read (not a file, a read error) is
// never written: "Errore di lettura del file LONGNAME.LST" is shown, no entry
// is added, fileNameFor gives an empty name and removeEntry false, and files
// are listed under their base names.

inline constexpr const char* nameTableFileName = "LONGNAME.LST";

// The base of a long name (see above), and the file name for a base and counter.
QString exerciseBase(const QString& longName);
QString exerciseFileName(const QString& base, int counter);

// File names are case-sensitive on disk but the table holds them in upper
// case, as every copy of the program writes it. An exercise copied in by hand
// as "volpe.s01" is therefore listed as "VOLPE.S01", fileNameFor gives back
// the name the file has on disk, and a new name is free only when no file of
// the folder has it in any case.
//
// The file name of `longName` (at most 255 characters compared), adding an
// entry when it is new; for an existing file, the name it has on disk.
// Empty for an empty long name and when no entry can be added: a long name
// with a line end or a character outside windows-1252, or a table that
// cannot be written (a message says so).
QString fileNameFor(const QString& folder, const QString& longName);

// The file name that the table already gives `longName` (the name it has on
// disk), without adding an entry: empty when the table has none.
QString existingFileNameFor(const QString& folder, const QString& longName);

// The long name of `fileName` (made upper case), adding an entry with the
// name before its first "." when it has none. Empty for an empty file name.
QString longNameFor(const QString& folder, const QString& fileName);

// Deletes the first entry of `fileName` (made upper case), when the table exists.
// False when the table could not be written.
bool removeEntry(const QString& folder, const QString& fileName);

// The long names of the files of the folder matching `mask` (such as
// "*.s??", compared without regard to case), in file-name order; files
// without an entry get one, as longNameFor gives. Files whose names differ
// only by case are listed once.
void listLongNames(QStringList& out, const QString& folder, const QString& mask);

// Deletes the exercise file `fileName` of the folder and its entry, holding
// the table's lock and the file's. False, with a message, when the file could
// not be deleted (its entry then stays) or the table could not be written.
bool deleteExercise(const QString& folder, const QString& fileName);
