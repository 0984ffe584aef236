#pragma once

// The windows, each a class of its own in a unit of its own (title as the teacher sees it):
//
//   Fenêtre principale ("EVALUATION CE2") -- TForm1 -- Zebproj.{h,cpp}
//       what the program does and the precautions for J'ADE data; loads an export (open
//       dialog, drop, command line), opens the objectives and the help, quits.
//   Traitement des résultats -- TForm2 -- Zeb2.{h,cpp}
//       the subject, the treatment and the pupil; "Apercu", "Tout imprimer" (the print run),
//       "Synthèse".
//   Aperçu avant impression -- TForm3 -- Zeb3.{h,cpp}
//       one pupil's sheet or the class synthesis on a page that zooms and scrolls (the window
//       widens for the synthesis's landscape table); "Imprimer", "Fichier PDF". Its pieces: PageBox,
//       NotifyingScrollBar, NameBox; printing and PDF files for any document: Printout.{h,cpp}.
//   Aide ("A propos") -- TAboutBox -- Zeb4.{h,cpp}
//       the banner and how to take a class from J'ADE through ZEB.
//   Objectifs et items retenus -- TForm4 -- Maj.{h,cpp}
//       the reference tables of French and Mathematics, for reading.
//
// Around them: ProgramWindows (creates the five, in this order), ErrorBox (the error box of
// every handler), WindowKit (fonts, hourglass, close as "Retour"), BuiltOnDemand, Artwork (the
// pictures, drawn in code), QuitSignals (the end of the session), Accessibility (what screen
// readers are kept from: the controls hidden by design, the pupil grid's code columns). The
// message box and the file dialog every window asks through are in qtkit/.

#include <cstdint>
#include <string>

class QString;
class QWidget;

namespace zeb {

// What the treatment selection window needs of the preview and printing window.
class PreviewWindow {
public:
    virtual ~PreviewWindow() = default;
    virtual void SetPupilName(const QString& name) = 0; // its name field, Edit1
    virtual void ShowPreview() = 0;                     // shown (FormShow first), not modal
    virtual void ShowSynthesis() = 0; // the same, with the class synthesis of the chosen subject
    virtual void ImprimeClick() = 0;  // one print job: the selected pupil's sheet
    // With no printer to print on: asks the teacher whether to save the sheets of these
    // pupils, in the chosen subject, in a PDF file instead, and does so.
    virtual void OfferPdfInstead(const std::string& reason, std::int32_t firstPupil,
                                 std::int32_t lastPupil) = 0;
};

class TForm2;
struct ProgramState;

// The program's five windows, created once at start in this order and only ever shown and
// hidden; each window reaches the others, and the program-wide state, through this. Windows
// that others only show or hide are plain widgets, so that no window needs another's header
// (and what that header brings) just to show it.
struct AppWindows {
    ProgramState* State = nullptr;
    QWidget* Form1 = nullptr;       // main window (Zebproj)
    TForm2* Form2 = nullptr;        // treatment selection (Zeb2)
    PreviewWindow* Form3 = nullptr; // preview and printing (Zeb3)
    QWidget* AboutBox = nullptr;    // help box (Zeb4)
    QWidget* Form4 = nullptr;       // objectives and retained items (Maj)
};

} // namespace zeb
