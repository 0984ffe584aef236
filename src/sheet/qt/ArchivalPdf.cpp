#include "ArchivalPdf.h"

#include <QtGlobal>
#include <cstdlib>
#include <optional>

namespace zeb {
namespace {

// The offset from UTC as both dates write it: "Z", or a sign, hours, `separator`, minutes and `end`.
QByteArray utcOffset(const QDateTime& time, char separator, const char* end) {
    const int offset = time.offsetFromUtc();
    if (offset == 0)
        return "Z";
    const int minutes = std::abs(offset) / 60;
    return QByteArray(offset < 0 ? "-" : "+") + QByteArray::number(minutes / 60).rightJustified(2, '0') +
           separator + QByteArray::number(minutes % 60).rightJustified(2, '0') + end;
}

QByteArray twoDigits(int value) {
    return QByteArray::number(value).rightJustified(2, '0');
}

// "2006-10-09T14:30:00+02:00", the same second as PdfInfoDate.
QByteArray xmpDate(const QDateTime& time) {
    const QDate date = time.date();
    const QTime clock = time.time();
    return QByteArray::number(date.year()) + '-' + twoDigits(date.month()) + '-' + twoDigits(date.day()) +
           'T' + twoDigits(clock.hour()) + ':' + twoDigits(clock.minute()) + ':' + twoDigits(clock.second()) +
           utcOffset(time, ':', "");
}

QByteArray xml(const QString& text) {
    return text.toHtmlEscaped().toUtf8();
}

// Qt's cross-reference table: "xref", "0 N", then N entries of 20 bytes, the offset first.
constexpr qsizetype EntrySize = 20;

struct CrossReferences {
    qsizetype table = 0;   // where "xref" starts
    qsizetype entries = 0; // where entry 0 starts
    int count = 0;
    qsizetype trailer = 0;   // where the trailer's dictionary starts
    qsizetype startxref = 0; // where "startxref" starts

    static std::optional<CrossReferences> Of(const QByteArray& pdf) {
        CrossReferences found;
        found.startxref = pdf.lastIndexOf("\nstartxref\n") + 1;
        if (found.startxref <= 0)
            return std::nullopt;
        const qsizetype number = found.startxref + 10;
        bool read = false;
        found.table = pdf.mid(number, pdf.indexOf('\n', number) - number).trimmed().toLongLong(&read);
        if (!read || found.table <= 0 || found.table >= found.startxref ||
            !pdf.mid(found.table).startsWith("xref\n0 "))
            return std::nullopt;
        const qsizetype countStart = found.table + 7;
        found.entries = pdf.indexOf('\n', countStart) + 1;
        found.count = pdf.mid(countStart, found.entries - 1 - countStart).trimmed().toInt(&read);
        found.trailer = found.entries + found.count * EntrySize;
        if (!read || found.entries <= 0 || found.count < 2 || found.trailer > found.startxref)
            return std::nullopt;
        return found;
    }

    // Where object `object` starts; -1 when the table has no such object in use.
    qsizetype offset(const QByteArray& pdf, int object) const {
        if (object <= 0 || object >= count)
            return -1;
        const QByteArray entry = pdf.mid(entries + object * EntrySize, EntrySize);
        bool read = false;
        const qsizetype at = entry.left(10).toLongLong(&read);
        return read && entry.mid(17, 1) == "n" && at > 0 && at < table ? at : -1;
    }

    // The object the trailer names after `key` ("/Root 6 0 R"); 0 when none.
    int named(const QByteArray& pdf, const QByteArray& key) const {
        const qsizetype at = pdf.indexOf(key, trailer);
        if (at < 0 || at > startxref)
            return 0;
        const qsizetype number = at + key.size();
        return pdf.mid(number, pdf.indexOf(' ', number) - number).toInt();
    }
};

// Where the entries of the dictionary `object` starts with go, just after its "<<"; -1 when
// the object is not such a dictionary or already has `key`.
qsizetype dictionaryInside(const QByteArray& pdf, const CrossReferences& references, int object,
                           const QByteArray& key) {
    const qsizetype at = references.offset(pdf, object);
    const QByteArray opening = QByteArray::number(object) + " 0 obj\n<<\n";
    if (at < 0 || pdf.mid(at, opening.size()) != opening)
        return -1;
    const qsizetype inside = at + opening.size();
    const qsizetype end = pdf.indexOf("endobj", inside);
    if (end < 0 || pdf.mid(inside, end - inside).contains(key))
        return -1;
    return inside;
}

} // namespace

QString ArchivalTitle(const QString& title) {
    QString kept = title;
    for (QChar& c : kept)
        if (c.category() == QChar::Other_Control)
            c = QLatin1Char(' ');
    return kept;
}

QByteArray PdfInfoDate(const QDateTime& time) {
    const QDate date = time.date();
    const QTime clock = time.time();
    return "D:" + QByteArray::number(date.year()) + twoDigits(date.month()) + twoDigits(date.day()) +
           twoDigits(clock.hour()) + twoDigits(clock.minute()) + twoDigits(clock.second()) +
           utcOffset(time, '\'', "'");
}

QByteArray ArchivalMetadata(const QString& title, const QString& creator, const QDateTime& created) {
    const QByteArray date = xmpDate(created);
    return "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n"
           "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\">\n"
           " <rdf:RDF xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\">\n"
           "  <rdf:Description rdf:about=\"\" xmlns:dc=\"http://purl.org/dc/elements/1.1/\">\n"
           "   <dc:format>application/pdf</dc:format>\n"
           "   <dc:title><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
           xml(title) +
           "</rdf:li></rdf:Alt></dc:title>\n"
           "   <dc:creator><rdf:Seq><rdf:li>" +
           PdfAuthor +
           "</rdf:li></rdf:Seq></dc:creator>\n"
           "   <dc:language><rdf:Bag><rdf:li>" +
           PdfLanguage +
           "</rdf:li></rdf:Bag></dc:language>\n"
           "  </rdf:Description>\n"
           "  <rdf:Description rdf:about=\"\" xmlns:xmp=\"http://ns.adobe.com/xap/1.0/\">\n"
           "   <xmp:CreatorTool>" +
           xml(creator) + "</xmp:CreatorTool>\n   <xmp:CreateDate>" + date +
           "</xmp:CreateDate>\n   <xmp:ModifyDate>" + date +
           "</xmp:ModifyDate>\n"
           "  </rdf:Description>\n"
           "  <rdf:Description rdf:about=\"\" xmlns:pdf=\"http://ns.adobe.com/pdf/1.3/\">\n"
           // What Qt writes as the producer: its own version, the library's rather than the headers'.
           "   <pdf:Producer>Qt " +
           qVersion() +
           "</pdf:Producer>\n"
           "  </rdf:Description>\n"
           "  <rdf:Description rdf:about=\"\" xmlns:pdfaid=\"http://www.aiim.org/pdfa/ns/id/\">\n"
           "   <pdfaid:part>1</pdfaid:part>\n"
           "   <pdfaid:conformance>B</pdfaid:conformance>\n"
           "  </rdf:Description>\n"
           " </rdf:RDF>\n"
           "</x:xmpmeta>\n"
           "<?xpacket end=\"w\"?>";
}

bool AddAuthorAndLanguage(QByteArray& pdf) {
    const std::optional<CrossReferences> references = CrossReferences::Of(pdf);
    if (!references)
        return false;
    const qsizetype info = dictionaryInside(pdf, *references, references->named(pdf, "/Info "), "/Author");
    const qsizetype catalog = dictionaryInside(pdf, *references, references->named(pdf, "/Root "), "/Lang");
    if (info < 0 || catalog < 0 || catalog < info)
        return false;
    const QByteArray author = QByteArray("/Author (") + PdfAuthor + ")\n";
    const QByteArray language = QByteArray("/Lang (") + PdfLanguage + ")\n";
    const auto moved = [&](qsizetype at) {
        return at + (at > info ? author.size() : 0) + (at > catalog ? language.size() : 0);
    };
    QByteArray edited;
    edited.reserve(pdf.size() + author.size() + language.size() + 8);
    edited += QByteArrayView(pdf).first(info);
    edited += author;
    edited += QByteArrayView(pdf).sliced(info, catalog - info);
    edited += language;
    edited += QByteArrayView(pdf).sliced(catalog, references->startxref + 10 - catalog);
    edited += QByteArray::number(moved(references->table)) + "\n%%EOF\n";
    const qsizetype entries = moved(references->entries);
    for (int object = 1; object < references->count; ++object)
        if (const qsizetype at = references->offset(pdf, object); at >= 0)
            edited.replace(entries + object * EntrySize, 10,
                           QByteArray::number(moved(at)).rightJustified(10, '0'));
    pdf = std::move(edited);
    return true;
}

} // namespace zeb
