#pragma once

// What makes Qt's PDF an archival one (PDF/A-1b) that says what it is: its metadata stream, and
// the entries Qt 6.4 has no setter for.

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace zeb {

// Who made the files, as their author, and the language of their texts.
inline constexpr char PdfAuthor[] = "ZEB";
inline constexpr char PdfLanguage[] = "fr";

// A title as a PDF holds it: control characters, which its XML metadata may not carry, become
// spaces.
QString ArchivalTitle(const QString& title);

// The date Qt writes in the document information (local time), as "D:20061009143000+02'00'".
QByteArray PdfInfoDate(const QDateTime& time);

// The XMP metadata of a PDF/A-1b file, matching the document information Qt writes for
// `title` and `creator` at `created`: title, author (PdfAuthor), language (PdfLanguage),
// creating program, dates, producer (Qt) and the PDF/A-1b identification.
QByteArray ArchivalMetadata(const QString& title, const QString& creator, const QDateTime& created);

// Adds the author to the document information and the language to the catalog of a PDF laid
// out as Qt writes one (both dictionaries before the pages, one cross-reference table at the
// end), the offsets of what follows them moved to match. False, `pdf` unchanged, for a file
// laid out otherwise or that has them already.
bool AddAuthorAndLanguage(QByteArray& pdf);

} // namespace zeb
