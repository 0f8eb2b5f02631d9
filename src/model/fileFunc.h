#pragma once

#include <QString>

// Folder helpers: used at start-up to seed the data folders.

// Attribute mask of copyTreeContents and copyTree. Plain files and folders
// are always copied; a hidden entry (a name beginning with ".") is copied
// only when the mask holds faHidden. faReadOnly, faSysFile and faArchive are
// accepted for compatibility and change nothing. Symbolic links, devices,
// pipes and sockets are never copied (they are skipped, which counts as
// success), so a copy never follows a link out of the tree nor blocks on a pipe.
enum FileAttribute : int {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};

// True when `path` is an existing folder.
bool directoryExists(const QString& path);

// Copies one file. Codes, tested in this order: -1 the source does not exist
// (or is not a file); 0 source and target are the same file (nothing copied);
// 2 the target exists and `overwrite` is false; -2 the source cannot be
// opened; -3 the target cannot be written (also a read-only target); 1
// copied. The target is replaced atomically: a failed copy leaves no partial
// file and an overwritten target stays whole until the copy is complete.
int copyFile(const QString& source, const QString& target, bool overwrite);

// Copies the contents of the folder `source` into the existing folder
// `target`, folders included. -1 no source folder; -2 no target folder; -3
// the first entry that could not be copied ended the copy (also a target
// inside the source); 1 done. Existing files that are not overwritten count as
// copied.
int copyTreeContents(const QString& source, const QString& target, int attributes,
                     bool overwrite);

// Copies the folder `source` into `targetParent` (as targetParent/name of
// source), created when missing. -1 no source folder; -2 no target parent;
// otherwise the code of copyTreeContents.
int copyTree(const QString& source, const QString& targetParent, int attributes, bool overwrite);
