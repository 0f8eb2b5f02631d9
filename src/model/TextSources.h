#pragma once

#include "model/PlainText.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// The files a text may come from: plain texts (see model/PlainText.h),
// OpenDocument texts (.odt), Word documents (.docx), web pages (.html, .htm)
// and PDF documents (.pdf). A document gives its paragraphs, each as one line
// of the text; its markup, styles, scripts, page headers and footers,
// comments and notes are left out. What a file is, is told by its content
// (an .odt renamed .txt is still read as a document), and web pages by their
// name or their first tag.
//
// Reading runs on any thread: it uses no widgets and touches nothing but the
// file it reads and the progress it reports.

enum class SourceKind { Text, OpenDocument, Word, WebPage, Pdf };

// The largest file read; a larger one is refused with a message.
constexpr qint64 maxSourceBytes = 100LL * 1024 * 1024;
// The longest text taken from a file (characters); a longer one is refused.
constexpr qsizetype maxSourceCharacters = 3 * 1000 * 1000;

// Progress of one reading, shared between the reading thread and the window
// that shows it: `done` of `total` steps (pages of a PDF, per mille of the
// others); `cancelled` asks the reading to stop at its next step.
struct ReadProgress {
    std::atomic<int> done{0};
    std::atomic<int> total{0};
    std::atomic<bool> cancelled{false};
    // Called after every step on the reading thread; the tests use it to
    // hold a reading at a known point.
    std::function<void(int done)> afterStep;
};

struct SourceText {
    enum Status { Read, Failed, Cancelled };
    Status status = Failed;
    QString error;              // why it failed, in Italian, naming the file
    SourceKind kind = SourceKind::Text;
    // The text: a plain text with the form it was read in; a document's
    // paragraphs as a new text (UTF-8, LF).
    PlainText plain;

    bool ok() const { return status == Read; }
    bool isDocument() const { return kind != SourceKind::Text; }
    // The lines of the text.
    QStringList lines() const;
};

// Reads the text of the file at `path`.
SourceText readSource(const QString& path, ReadProgress* progress = nullptr);

// The filter of the file dialogs that open texts: every kind first.
QString sourceFileFilter();
