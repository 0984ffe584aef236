#pragma once

// The program's own pictures, drawn in code: nothing here comes from another program.

#include <QIcon>
#include <QPixmap>

namespace zeb::artwork {

QPixmap Banner(int width, int height); // the white band's title picture ("ZEB v2", evaluation CE2)
QPixmap Logo(int width, int height);   // the program's mark, drawn over the banner's left end
QIcon AppIcon();                       // window and desktop icon, at every size
QIcon OpenGlyph();                     // browse button: a folder
QIcon ListGlyph();                     // "Items retenus": a list
QIcon QuitGlyph();                     // "Quitter": a door
QIcon HelpGlyph();                     // help button: a question mark
QIcon OkGlyph();                       // OK: a check mark
QIcon BackGlyph();                     // "Retour": an arrow to the left
QIcon ZoomInGlyph();                   // "Zoom Avant": a magnifying glass with a plus
QIcon ZoomOutGlyph();                  // "Zoom Arrière": a magnifying glass with a minus
QIcon PrintGlyph();                    // "Imprimer": a printer with its sheet
QIcon PdfGlyph();                      // PDF file: a page with a folded corner

} // namespace zeb::artwork
