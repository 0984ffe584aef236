#!/usr/bin/python3
"""ZEB as a screen reader meets it: the real program on the desktop's accessibility bus (AT-SPI).

    walk.py PROGRAM ZEB-FICHES SAMPLE

Run by ReadsOnTheAccessibilityBus.sh, inside a virtual display, a private D-Bus session and its
accessibility bus, with a private home. Starts PROGRAM on SAMPLE, finds it on the bus by its
name and its process, then drives and reads it through the accessibility interfaces only
(actions, states, texts), as a screen reader does:
  - in each window it reaches (selection, preview of a sheet and of the synthesis, main, about,
    objectives), the shown controls a user reaches (focusable, or buttons) without a name, the
    controls the window hides by design that still take the focus, and whatever reads out the
    pupils' answer codes;
  - presses "Apercu" and reads the first pupil's French results from the preview's page, each
    objective's code checked against what zeb-fiches computes; "Élève suivant", the second
    pupil's; then in percentages; the page announces each change;
  - "Synthèse": the class table, then "Page suivante": the class synthesis;
  - presses "Items retenus" and sees the objectives window come;
  - presses "Quitter" and sees the program end and remove its work files.
Prints the counts per window and every fault; exits with 1 if there is one.
"""

import csv
import os
import re
import signal
import subprocess
import sys
import time
import unicodedata

import pyatspi
from gi.repository import Atspi, GLib

APPLICATION_NAME = "zeb"
CALL_TIMEOUT_MS = 5000  # one call to the program over the bus
START_TIMEOUT_S = 20  # the program on the bus, its class loaded
WINDOW_TIMEOUT_S = 10  # a window coming or going after a press
PAGE_TIMEOUT_S = 5  # the page's text after a change
MAX_OBJECTS = 5000  # a walk that finds more is going round in circles

MAIN_TITLE = "EVALUATION CE2"
SELECTION_TITLE = "Traitement des résultats"
PREVIEW_TITLE = "Aperçu avant impression"
OBJECTIVES_TITLE = "Objectifs et items retenus"
ABOUT_TITLE = "A propos"

CELL_ROLES = {"table cell", "table row header", "table column header"}
BUTTON_ROLES = {"push button", "toggle button", "radio button", "check box", "menu item", "combo box"}
# Every answer of a pupil, as the grid's code columns hold them.
ANSWER_CODES = re.compile(r"\s*[0-9A-Z]{40,}\s*")


class Stop(Exception):
    """A step that the next ones depend on failed."""


faults = []


def fault(text):
    faults.append(text)
    print("ÉCHEC : " + text, flush=True)


def plain(text):
    """Compared without accents, case, accelerator marks or extra spaces."""
    text = unicodedata.normalize("NFKD", (text or "").replace("&", ""))
    text = "".join(c for c in text if not unicodedata.combining(c))
    return " ".join(text.lower().split())


def pump():
    """Lets the accessibility library deliver the events received meanwhile."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(what, condition, timeout=WINDOW_TIMEOUT_S):
    deadline = time.monotonic() + timeout
    while True:
        pump()
        try:
            found = condition()
        except GLib.Error:
            found = None  # an object that went away meanwhile, or a late answer: asked again
        if found:
            return found
        if time.monotonic() > deadline:
            raise Stop(f"{what} : rien après {timeout} s")
        time.sleep(0.1)


def children(accessible):
    for index in range(accessible.childCount):
        child = accessible.getChildAtIndex(index)
        if child is not None:
            yield index, child


def shown_descendants(accessible):
    stack = [accessible]
    while stack:
        for _, child in children(stack.pop()):
            if has(child, pyatspi.STATE_SHOWING):
                yield child
                stack.append(child)


def has(accessible, state):
    return accessible.getState().contains(state)


def actions(accessible):
    try:
        action = accessible.queryAction()
    except NotImplementedError:
        return []
    return [action.getName(index) for index in range(action.nActions)]


def text_of(accessible):
    try:
        return accessible.queryText().getText(0, -1) or ""
    except NotImplementedError:
        return ""


def where(accessible):
    try:
        x, y, width, height = accessible.queryComponent().getExtents(pyatspi.WINDOW_COORDS)
        return f"à {x},{y} {width}×{height}"
    except (NotImplementedError, GLib.Error):
        return "position inconnue"


# --- The walk of a window ---------------------------------------------------------------------


class WindowCount:
    def __init__(self, title):
        self.title = title
        self.controls = 0
        self.unnamed = []
        self.hidden = []
        self.answer_readers = []


def reach(accessible, role):
    """How a user reaches the control: by the keyboard's focus, or as a button that the keyboard
    skips and the screen reader still reads and presses; None for no control."""
    if has(accessible, pyatspi.STATE_FOCUSABLE):
        return "focusable"
    if role in BUTTON_ROLES:
        return "bouton hors du clavier"
    return None


def focusable_inside(accessible):
    found = 0
    stack = [accessible]
    while stack:
        current = stack.pop()
        if has(current, pyatspi.STATE_FOCUSABLE):
            found += 1
        stack.extend(child for _, child in children(current))
    return found


def walk(window, hides_by_design=True):
    """The window's controls without a name and what it exposes although hidden. A window whose
    controls are shown by turns (the preview: the pupil's or the pages') hides nothing by
    design: what it hides is the other turn's."""
    count = WindowCount(window.name.strip())
    seen = 0

    def visit(accessible, path, parent):
        nonlocal seen
        seen += 1
        if seen > MAX_OBJECTS:
            raise Stop(f"« {count.title} » : plus de {MAX_OBJECTS} objets dans l'arbre")
        role = accessible.getRoleName()
        name = accessible.name or ""
        place = f"{'/'.join(path)} dans « {parent} », {where(accessible)}"
        if ANSWER_CODES.fullmatch(name):
            count.answer_readers.append(f"{role} ({place})")
            return
        if role not in CELL_ROLES and not has(accessible, pyatspi.STATE_VISIBLE):
            # Qt keeps what a window hides in its tree, marked invisible: harmless as long as
            # nothing there takes the focus. (The grids' cells out of view are the grid's to
            # scroll to.)
            focusable = focusable_inside(accessible) if hides_by_design else 0
            if focusable:
                count.hidden.append(f"{role} « {name.strip()} », {focusable} focusable(s) ({place})")
            return
        if role not in CELL_ROLES and has(accessible, pyatspi.STATE_SHOWING):
            how = reach(accessible, role)
            if how:
                count.controls += 1
                if not name.strip():
                    description = (accessible.description or "").strip()
                    hint = f", description « {description} »" if description else ""
                    count.unnamed.append(f"{role}, {how} ({place}{hint})")
        for index, child in children(accessible):
            visit(child, path + [str(index)], name.strip() or role)

    for index, child in children(window):
        visit(child, [str(index)], count.title)
    return count


def report(count):
    print(f"« {count.title} » : {count.controls} contrôles atteignables, {len(count.unnamed)} sans nom, "
          f"{len(count.hidden)} caché(s) qui prennent le focus, {len(count.answer_readers)} objet(s) qui lisent "
          "les réponses des élèves", flush=True)
    for unnamed in count.unnamed:
        print(f"    sans nom : {unnamed}")
    for hidden in count.hidden:
        print(f"    caché : {hidden}")
    for reader in count.answer_readers[:3]:
        print(f"    lit les réponses d'un élève : {reader}")
    if len(count.answer_readers) > 3:
        print(f"    ... et {len(count.answer_readers) - 3} autres")
    if count.unnamed:
        fault(f"« {count.title} » : {len(count.unnamed)} contrôle(s) sans nom")
    if count.hidden:
        fault(f"« {count.title} » : {len(count.hidden)} contrôle(s) caché(s) où le focus peut aller")
    if count.answer_readers:
        fault(f"« {count.title} » : {len(count.answer_readers)} objet(s) lisent les réponses des élèves")


def expect_names(window, names):
    """The controls a user is told of by these names are there, shown."""
    found = {plain(accessible.name) for accessible in shown_descendants(window)}
    absent = [name for name in names if plain(name) not in found]
    if absent:
        fault(f"« {window.name.strip()} » : rien ne s'y nomme " + ", ".join(f"« {name} »" for name in absent))


# --- The program ------------------------------------------------------------------------------


class Program:
    def __init__(self, program, sample, log_path):
        environment = dict(os.environ)
        environment.update(QT_QPA_PLATFORM="xcb", QT_ACCESSIBILITY="1", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.log_path = log_path
        self.log = open(log_path, "wb")
        self.process = subprocess.Popen([program, sample], env=environment, stdout=self.log,
                                        stderr=subprocess.STDOUT, stdin=subprocess.DEVNULL)
        self.application = None

    def find_on_bus(self):
        desktop = pyatspi.Registry.getDesktop(0)

        def ours():
            if self.process.poll() is not None:
                raise Stop(f"le programme s'est arrêté (code {self.process.returncode}) avant d'être sur le bus")
            for _, application in children(desktop):
                if application.name == APPLICATION_NAME and application.get_process_id() == self.process.pid:
                    return application
            return None

        self.application = wait_for(f"l'application « {APPLICATION_NAME} » sur le bus d'accessibilité", ours,
                                    START_TIMEOUT_S)
        # What is asked is the program's answer of the moment, not a copy kept by the library.
        self.application.set_cache_mask(Atspi.Cache.NONE)

    def window(self, title, exact=False):
        """The window of that title, if it is shown."""
        for _, window in children(self.application):
            name = plain(window.name)
            if (name == plain(title) if exact else plain(title) in name) and has(window, pyatspi.STATE_SHOWING):
                return window
        return None

    def wait_window(self, title, exact=False, timeout=WINDOW_TIMEOUT_S):
        return wait_for(f"la fenêtre « {title} »", lambda: self.window(title, exact), timeout)

    def wait_gone(self, title, exact=False):
        wait_for(f"la fermeture de « {title} »", lambda: self.window(title, exact) is None)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.log.close()

    def output(self):
        with open(self.log_path, "rb") as log:
            return log.read().decode("utf-8", "replace")


def press(window, name):
    """Presses the shown control of that name through its action, as a screen reader does."""
    control = next((accessible for accessible in shown_descendants(window)
                    if plain(accessible.name) == plain(name) and actions(accessible)), None)
    if control is None:
        raise Stop(f"pas de contrôle « {name} » dans « {window.name.strip()} »")
    names = actions(control)
    for wanted in ("Press", "Toggle"):
        if wanted in names:
            control.queryAction().doAction(names.index(wanted))
            return
    raise Stop(f"« {name} » n'a pas d'action pour l'appuyer ({names})")


# --- The preview's page -----------------------------------------------------------------------


def find_page(preview):
    """The preview's page: the shown object that reads as a sheet or a synthesis page."""
    return next((accessible for accessible in shown_descendants(preview)
                 if plain(accessible.name).startswith(("fiche de", "synthese de"))
                 or "Objectif" in text_of(accessible)), None)


def page_text(page):
    """What a screen reader reads of the page: its text, else its name and description. French
    typography's narrow spaces read as spaces."""
    text = text_of(page) or "\n".join(filter(None, [page.name, page.description]))
    return text.replace("\u00a0", " ").replace("\u202f", " ")


def read_page(preview, what, holds):
    """The page once its text holds what is awaited."""
    def ready():
        page = find_page(preview)
        return page if page is not None and holds(page_text(page)) else None
    return wait_for(f"{what} dans l'aperçu", ready, PAGE_TIMEOUT_S)


def scores(fiches, sample, folder):
    """Each pupil's French results by objective, as zeb-fiches computes them."""
    path = os.path.join(folder, "scores.csv")
    subprocess.run([fiches, "--csv", path, sample], check=True, timeout=30, stdout=subprocess.DEVNULL)
    pupils = {}
    with open(path, encoding="utf-8-sig", newline="") as table:
        for row in csv.DictReader(table, delimiter=";"):
            if row["matiere"] == "francais":
                pupil = pupils.setdefault(int(row["numero"]), {"name": (row["nom"], row["prenom"]), "results": {}})
                pupil["results"][int(row["objectif"])] = row
    return pupils


def check_sheet(preview, pupil, number, percentages=False):
    """The page reads the pupil's name and each objective's result in the treatment shown."""
    surname, first_name = pupil["name"]

    def result(row):
        return f"SR {row['SR']} %, SE {row['SE']} %, SNR {row['SNR']} %" if percentages else row["codage"]

    page = read_page(preview, f"la fiche de {first_name} {surname}" + (" en pourcentages" if percentages else ""),
                     lambda text: surname in text and (not percentages or "SNR" in text))
    text = page_text(page)
    missing = [] if first_name in text else [f"le prénom {first_name}"]
    for objective, row in sorted(pupil["results"].items()):
        if not re.search(rf"^Objectif {objective}\b.*:\s*{re.escape(result(row))}\s*$", text, re.MULTILINE):
            missing.append(f"« Objectif {objective}, … : {result(row)} »")
    if missing:
        fault(f"la fiche de l'élève {number} ({first_name} {surname}) lue dans l'aperçu n'a pas "
              + ", ".join(missing) + "\n--- texte lu :\n" + text)
    else:
        print(f"aperçu : « {page.name} » ({page.description}) se lit, les {len(pupil['results'])} objectifs "
              + ("en pourcentages" if percentages else "et leur codage"))
    return page


class Announcements:
    """What the program tells assistive technology of its own accord."""

    EVENTS = ("object:text-changed", "object:property-change:accessible-name",
              "object:property-change:accessible-description", "object:visible-data-changed")

    def __init__(self):
        self.events = []
        self.listener = Atspi.EventListener.new(lambda event: self.events.append(event))
        for kind in self.EVENTS:
            self.listener.register(kind)

    def expect(self, what, source, act):
        """Runs act; the source must announce a change."""
        pump()
        self.events.clear()
        act()

        def heard():
            return [event.type for event in self.events if event.source == source]

        try:
            kinds = wait_for(f"une annonce de l'aperçu après {what}", heard, PAGE_TIMEOUT_S)
            print(f"{what} : annoncé ({', '.join(sorted(set(kinds)))})")
        except Stop as stop:
            fault(str(stop))


# --- The scenario -----------------------------------------------------------------------------


def sheets(program, announcements, pupils):
    """The first pupil's sheet, the second's, then in percentages; back on the selection."""
    selection = program.wait_window(SELECTION_TITLE)
    press(selection, "Apercu")
    preview = program.wait_window(PREVIEW_TITLE)
    report(walk(preview, hides_by_design=False))
    expect_names(preview, ["Élève précédent", "Élève suivant", "Zoom avant", "Zoom arrière", "Imprimer",
                           "Fichier PDF", "Retour"])
    try:
        page = check_sheet(preview, pupils[1], 1)
        announcements.expect("« Élève suivant »", page, lambda: press(preview, "Élève suivant"))
        check_sheet(preview, pupils[2], 2)
        announcements.expect("« Zoom avant »", page, lambda: press(preview, "Zoom avant"))
        press(preview, "Retour")
        # The selection keeps the last pupil shown.
        selection = program.wait_window(SELECTION_TITLE)
        press(selection, "Pourcentage")
        press(selection, "Apercu")
        preview = program.wait_window(PREVIEW_TITLE)
        check_sheet(preview, pupils[2], 2, percentages=True)
    except Stop as stop:
        fault(str(stop))  # the other windows are walked all the same
    if program.window(PREVIEW_TITLE):
        press(preview, "Retour")


def synthesis(program, announcements):
    """The class's synthesis, page after page; back on the selection."""
    selection = program.wait_window(SELECTION_TITLE)
    press(selection, "Synthèse")
    preview = program.wait_window(PREVIEW_TITLE)
    report(walk(preview, hides_by_design=False))
    expect_names(preview, ["Page précédente", "Page suivante"])
    try:
        page = read_page(preview, "le tableau de la classe", lambda text: "tableau de la classe" in plain(text))
        announcements.expect("« Page suivante »", page, lambda: press(preview, "Page suivante"))
        page = read_page(preview, "la synthèse de la classe", lambda text: "synthese de la classe" in plain(text))
        print(f"aperçu de la synthèse : « {page.name} » se lit")
    except Stop as stop:
        fault(str(stop))
    press(preview, "Retour")


def quit_leaving_nothing(program, main):
    press(main, "Quitter")
    try:
        status = program.process.wait(WINDOW_TIMEOUT_S)
    except subprocess.TimeoutExpired:
        raise Stop(f"« Quitter » pressé, le programme ne s'est pas arrêté après {WINDOW_TIMEOUT_S} s")
    if status != 0:
        fault(f"« Quitter » pressé, le programme s'est arrêté avec le code {status}")
    data = os.path.join(os.environ.get("XDG_DATA_HOME", os.path.expanduser("~/.local/share")), "zeb")
    left = [os.path.relpath(os.path.join(root, name), data)
            for root, folders, files in os.walk(data) for name in files + folders
            if name in ("Fichier1.c01", "Fichier2.c01", "temp.txt", "extraction")]
    if left:
        fault("le programme a laissé des fichiers de travail : " + ", ".join(left))


def scenario(program, fiches, sample, folder):
    pupils = scores(fiches, sample, folder)
    announcements = Announcements()
    program.find_on_bus()

    # The sample given on the command line is loaded: the selection window comes, the first
    # pupil chosen.
    selection = program.wait_window(SELECTION_TITLE, timeout=START_TIMEOUT_S)
    report(walk(selection))
    expect_names(selection, ["Liste des élèves", "Français", "Mathématiques", "Codage", "Pourcentage", "Apercu",
                             "Tout imprimer", "Retour", "Synthèse"])
    sheets(program, announcements, pupils)
    synthesis(program, announcements)

    selection = program.wait_window(SELECTION_TITLE)
    press(selection, "Retour")
    main = program.wait_window(MAIN_TITLE, exact=True)
    report(walk(main))
    expect_names(main, ["Parcourir", "Items retenus", "Quitter", "Aide"])

    press(main, "Aide")
    about = program.wait_window(ABOUT_TITLE)
    report(walk(about))
    press(about, "OK")
    program.wait_gone(ABOUT_TITLE)

    press(main, "Items retenus")
    objectives = program.wait_window(OBJECTIVES_TITLE)
    print(f"« Items retenus » pressé par son action : la fenêtre « {objectives.name.strip()} » est venue")
    report(walk(objectives))
    expect_names(objectives, ["Objectifs de français", "Objectifs de mathématiques", "Retour"])
    press(objectives, "Retour")
    main = program.wait_window(MAIN_TITLE, exact=True)
    quit_leaving_nothing(program, main)


def main():
    if len(sys.argv) != 4:
        print("usage : walk.py PROGRAMME ZEB-FICHES EXPORT", file=sys.stderr)
        return 2
    program_path, fiches, sample = sys.argv[1:]
    pyatspi.setTimeout(CALL_TIMEOUT_MS, CALL_TIMEOUT_MS)
    # Stopped from outside (the run's time-out), the program is still stopped first.
    signal.signal(signal.SIGTERM, lambda number, frame: sys.exit(128 + number))
    folder = os.environ["HOME"]
    started = time.monotonic()
    program = Program(program_path, sample, os.path.join(folder, "zeb06ce2.log"))
    try:
        scenario(program, fiches, sample, folder)
    except Stop as stop:
        fault(str(stop))
    except GLib.Error as error:
        fault(f"le bus d'accessibilité : {error.message}")
    finally:
        program.stop()
    print(f"parcours en {time.monotonic() - started:.1f} s")
    if faults:
        output = program.output().strip()
        if output:
            print("--- sortie du programme :\n" + output)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
