#!/usr/bin/env bash
# ArchivalAndWebFiles.sh ZEB_FICHES EXAMPLES_DIR
#
# Every kind of PDF zeb-fiches writes (the class's sheets, both subjects or one, double-sided;
# the synthesis; the item pages; the families' files, of a present and of an absent pupil) passes
# the PDF/A-1b validator of Apache PDFBox and carries its title, author and language. The
# preview's "Fichier PDF" writes the same documents one subject at a time through the same
# writer, as --subject does here. The families' web pages are read back with html.parser: French,
# private, tables with headers of rows and columns holding the results of the scores CSV, no
# script nor anything fetched, printable by subject, every name escaped.
set -euo pipefail
zeb_fiches=$1
examples=$2

jars=/usr/share/java
classpath=
for jar in preflight pdfbox2 fontbox2 xmpbox javax.activation jaxb-api commons-logging; do
  if [ ! -f "$jars/$jar.jar" ]; then
    echo "$jars/$jar.jar est introuvable : ./dev.sh test installe le validateur PDF/A (libpdfbox2-java et ce qu'il demande)." >&2
    exit 1
  fi
  classpath+=${classpath:+:}$jars/$jar.jar
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/a" "$work/b"

# A class whose name and first pupil hold every character that markup gives a meaning to.
LC_ALL=C sed -e 's|<NOM_CLASSE>CE2 A</NOM_CLASSE>|<NOM_CLASSE>CE2 \&lt;A\&gt; \&amp; \&quot;B\&quot;</NOM_CLASSE>|' \
  -e "s|CHAPUIS--Manon|CHA<b>\\&\"X'--Ma<i>|g" "$examples/classe-ce2-exemple.xml" >"$work/marques.xml"

"$zeb_fiches" --pdf "$work/a/fiches.pdf" --synthese "$work/a/synthese.pdf" --items "$work/a/items.pdf" \
  --csv "$work/a/scores.csv" --par-eleve "$work/a/familles" --html "$examples/classe-ce2-exemple.jad"
"$zeb_fiches" --pdf "$work/b/fiches-recto-verso.pdf" --recto-verso --subject maths --treatment percent \
  --synthese "$work/b/synthese-maths.pdf" --csv "$work/b/scores.csv" --par-eleve "$work/b/familles" --html \
  "$work/marques.xml"

pdfs=("$work"/a/*.pdf "$work"/b/*.pdf "$work"/a/familles/0[17]-*.pdf "$work"/b/familles/01-*.pdf)
printf '%s\n' "${pdfs[@]}" >"$work/liste"
java -cp "$classpath" org.apache.pdfbox.preflight.Validator_A1b group "$work/liste" >"$work/verdicts" 2>&1 || true
failed=0
for pdf in "${pdfs[@]}"; do
  if ! grep -Fqx "The file $(basename "$pdf") is a valid PDF/A-1b file" "$work/verdicts"; then
    echo "${pdf#"$work"/} n'est pas un PDF/A-1b valide." >&2
    failed=1
  fi
done
[ "$failed" = 0 ] || { cat "$work/verdicts" >&2; exit 1; }

expect_info() { # PDF FIELD VALUE
  local found
  found=$(pdfinfo "$1" | sed -n "s/^$2: *//p")
  [ "$found" = "$3" ] || { echo "${1#"$work"/} : $2 « $found » au lieu de « $3 »." >&2; exit 1; }
}
expect_info "$work/a/fiches.pdf" Title "Fiches de résultats – CE2 A"
expect_info "$work/a/items.pdf" Title "Analyse des items – CE2 A"
expect_info "$work/b/synthese-maths.pdf" Title 'Synthèse de la classe – CE2 <A> & "B"'
expect_info "$work/b/familles/01-"*.pdf Title "Résultats de CHA<b>&\"X' Ma<i> - EVALUATION CE2"
for pdf in "${pdfs[@]}"; do
  expect_info "$pdf" Author ZEB
  pdfinfo -meta "$pdf" | grep -q '<dc:language><rdf:Bag><rdf:li>fr</rdf:li>' ||
    { echo "${pdf#"$work"/} : pas de langue dans les métadonnées." >&2; exit 1; }
  grep -aq '^/Lang (fr)$' "$pdf" || { echo "${pdf#"$work"/} : pas de langue dans le catalogue." >&2; exit 1; }
done

python3 - "$work" <<'EOF'
import csv, glob, html.parser, os, stat, sys

work = sys.argv[1]
Subjects = {"francais": ("Français", 16, 4), "mathematiques": ("Mathématiques", 19, 5)}
Marks = {"A": 0, "ECA": 1, "NA": 2}

class Page(html.parser.HTMLParser):
    def __init__(self):
        super().__init__()
        self.tags, self.rows, self.headings, self.open = [], [], [], []
        self.h1 = self.style = self.evaluation = ""
        self.cell = None

    def handle_starttag(self, tag, attrs):
        attrs = dict(attrs)
        self.tags.append((tag, attrs))
        if tag != "meta":
            self.open.append(tag)
        if tag == "tr":
            self.rows.append([])
        elif tag in ("th", "td"):
            self.cell = [tag, attrs, ""]
            self.rows[-1].append(self.cell)
        elif tag == "h2":
            self.headings.append("")

    def handle_endtag(self, tag):
        if self.open and self.open[-1] == tag:
            self.open.pop()
        if tag in ("th", "td"):
            self.cell = None

    def handle_data(self, data):
        if self.cell is not None:
            self.cell[2] += data
        inside = self.open[-1] if self.open else None
        if inside == "h1":
            self.h1 += data
        elif inside == "h2":
            self.headings[-1] += data
        elif inside == "style":
            self.style += data
        elif inside == "p" and "classe" in data:
            self.evaluation = data

def fail(message):
    sys.exit("Page web d'une famille : " + message)

def check(folder, subjects, percent, marked):
    scores = {}
    with open(os.path.join(folder, "scores.csv"), encoding="utf-8-sig") as f:
        for row in csv.DictReader(f, delimiter=";"):
            scores.setdefault((int(row["numero"]), row["matiere"]), []).append(row)
    pages = sorted(glob.glob(os.path.join(folder, "familles", "*.html")))
    pdfs = sorted(glob.glob(os.path.join(folder, "familles", "*.pdf")))
    if [p[:-5] for p in pages] != [p[:-4] for p in pdfs] or not pages:
        fail("une page par PDF, du même nom, est attendue")
    for path in pages:
        name = os.path.basename(path)
        if stat.S_IMODE(os.stat(path).st_mode) != 0o600:
            fail(name + " doit être lisible par son seul propriétaire")
        page = Page()
        with open(path, encoding="utf-8") as f:
            page.feed(f.read())
        tags = [tag for tag, _ in page.tags]
        if page.tags[0] != ("html", {"lang": "fr"}):
            fail(name + " : <html lang=\"fr\"> attendu")
        if ("meta", {"charset": "utf-8"}) not in page.tags or not any(
                a.get("name") == "viewport" for t, a in page.tags if t == "meta"):
            fail(name + " : jeu de caractères ou fenêtre d'affichage absent")
        if {"script", "link", "img", "iframe", "object"} & set(tags) or "url(" in page.style or any(
                "src" in a or "href" in a or any(k.startswith("on") for k in a) for _, a in page.tags):
            fail(name + " : script ou ressource extérieure")
        if "@media print" not in page.style or "break-before: page" not in page.style:
            fail(name + " : pas de mise en page pour l'impression")
        if page.headings != [Subjects[s][0] for s in subjects]:
            fail(name + " : titres des matières " + repr(page.headings))
        number = int(name[:2])
        tables = [[]]
        for row in page.rows:
            if row[0][0] == "th" and row[0][1].get("scope") == "col":
                headers = [cell[2] for cell in row]
                if not all(cell[1].get("scope") == "col" for cell in row) or headers != ["Objectif"] + (
                        ["SR", "SE", "SNR"] if percent else ["A", "ECA", "NA"]):
                    fail(name + " : en-têtes de colonnes " + repr(headers))
                tables.append([])
            elif row[0][1].get("scope") == "row":
                tables[-1].append(row)
        for subject, rows in zip(subjects, tables[1:]):
            expected = scores[(number, subject)]
            if len(rows) != Subjects[subject][1] or len(rows) != len(expected):
                fail(name + " : " + str(len(rows)) + " objectifs en " + subject)
            for row, score in zip(rows, expected):
                cells = [cell[2] for cell in row[1:]]
                if percent:
                    shown = [c.replace(" %", "") for c in cells]
                    wanted = [score["SR"], score["SE"], score["SNR"]]
                elif score["codage"] == "Abs":
                    shown, wanted = cells, ["Élève absent(e)"]
                else:
                    shown = [i for i, c in enumerate(cells) if c.startswith("X")]
                    wanted = [Marks[score["codage"]]]
                if shown != wanted:
                    fail(f"{name} : objectif {score['objectif']} en {subject} : {cells} pour {wanted}")
        if sum(1 for t, a in page.tags if t == "th" and a.get("scope") == "rowgroup") != sum(
                Subjects[s][2] for s in subjects):
            fail(name + " : domaines")
        if number == 1 and marked:
            if page.h1 != "Résultats de CHA<b>&\"X' Ma<i>" or "b" in tags or "i" in tags:
                fail(name + " : nom mal échappé : " + repr(page.h1))
            if 'classe CE2 <A> & "B"' not in page.evaluation:
                fail(name + " : nom de classe mal échappé")

check(os.path.join(work, "a"), ["francais", "mathematiques"], False, False)
check(os.path.join(work, "b"), ["mathematiques"], True, True)
EOF
