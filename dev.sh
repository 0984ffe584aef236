#!/usr/bin/env bash
# ZEB: set-up, build, run and test, from a fresh Debian 12 machine on.
#
#   ./dev.sh run              install what the programs need, build them, load the sample class, open the program
#   ./dev.sh test [--sanitize|--release]  install what the tests need too, build everything, run every test
#   ./dev.sh package          build for release, make the Debian package and check it with lintian
#   ./dev.sh bench            install what is missing, build, run the benchmarks
#   ./dev.sh fuzz [SECONDS]   fuzz the archive reader, then the unzip library (each 60 s by default) under ASan and UBSan
#   ./dev.sh pictures         remake the README's sheet pictures and printed page from the sample class
#   ./dev.sh screenshots      remake the README's window pictures, under a virtual display
#   ./dev.sh setup            install the system packages of every command above, and nothing else
#
# Each command installs with apt-get (as root or through sudo) the packages it needs that are
# missing; when everything is already there nothing is asked of apt.
set -euo pipefail
cd "$(dirname "$0")"

# Each command installs only what it needs: run the programs' build, test the tests' tools too.
RUN_PACKAGES=(
  g++ cmake ninja-build pkg-config   # toolchain
  qt6-base-dev                       # Qt 6: painting, PDF, windows
  qt6-translations-l10n              # Qt's own dialogs and menus in French
  fonts-liberation                   # metric twins of Times New Roman and Arial
  libzip-dev                         # inflating archive members in the unzip library
  libcups2-dev                       # the answer of CUPS to a print job, which Qt does not pass on
)
TEST_PACKAGES=(
  libgtest-dev libgmock-dev          # unit tests
  libbenchmark-dev time              # benchmarks (built with the tests), peak memory
  poppler-utils                      # pdftotext, pdfinfo, pdftoppm: reading back the PDFs
  ghostscript                        # ps2pdf: reading back what a PostScript printer gets
  unzip zip                          # reference extractor for benchmarks, archives in tests
  cups cups-client cups-bsd          # a private print server for the printing tests
  shared-mime-info desktop-file-utils  # the .jad type and menu entry of an installed copy
  passwd                             # useradd: the CI's run of the tests as an ordinary user
)
SANITIZE_PACKAGES=(llvm)             # llvm-symbolizer: stack traces of the sanitizers and fuzzer
FUZZ_PACKAGES=(clang libclang-rt-14-dev llvm)  # libFuzzer for the archive reader
PACKAGE_PACKAGES=(file dpkg-dev lintian)       # cpack's Debian package, its dependencies, its check
SCREENSHOT_PACKAGES=(xvfb xauth)               # a virtual display for the screenshots

# The programs and what they load at run time: the unzip library, the PDF and printing modules.
PROGRAM_TARGETS=(zeb-fiches zeb06ce2 unzdll zebpdf zebprint)

# setup PACKAGE...: installs those not installed yet. apt's and dpkg's lines about every package
# go to a log, shown only when the installation fails.
setup() {
  local missing=() package
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  ((${#missing[@]} == 0)) && return 0
  local sudo=()
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || { echo "sudo est introuvable : relancez en tant que root." >&2; exit 1; }
    sudo=(sudo)
  fi
  local log
  log=$(mktemp "${TMPDIR:-/tmp}/zeb-apt.XXXXXX")
  echo "Installation des paquets manquants, en quelques minutes (journal : $log) : ${missing[*]}"
  if ! { "${sudo[@]}" apt-get update -qq &&
         "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
           -o Dpkg::Use-Pty=0 "${missing[@]}"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "L'installation des paquets a échoué : le journal complet est dans $log" >&2
    exit 1
  fi
  rm -f "$log"
}

# configure DIR [cmake options...]: a developer's build, where any warning stops the build (a
# packager's build, without these options, only shows them).
configure() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEB_WERROR=ON "$@" >/dev/null
}

# build DIR [cmake options...]: everything, tests and benchmarks included.
build() {
  local dir=$1; shift
  configure "$dir" -DZEB_BUILD_TESTS=ON -DZEB_BUILD_BENCHMARKS=ON "$@"
  cmake --build "$dir" -j "$(nproc)"
}

# build_only DIR TARGET...: those targets alone. A folder made here leaves the tests and
# benchmarks out, so that their packages are not needed; one made by build keeps them, and
# build turns them on in one made here.
build_only() {
  local dir=$1; shift
  if [ -f "$dir/CMakeCache.txt" ]; then
    configure "$dir"
  else
    configure "$dir" -DZEB_BUILD_TESTS=OFF -DZEB_BUILD_BENCHMARKS=OFF
  fi
  cmake --build "$dir" -j "$(nproc)" --target "$@"
}

command=${1:-}
case "$command" in
  setup)
    setup "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SANITIZE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" \
      "${PACKAGE_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    ;;
  run)
    setup "${RUN_PACKAGES[@]}"
    build_only build "${PROGRAM_TARGETS[@]}"
    sample=examples/classe-ce2-exemple.jad
    build/bin/zeb-fiches "$sample"
    build/bin/zeb-fiches --csv build/classe-ce2-exemple.csv --pdf build/classe-ce2-exemple.pdf "$sample"
    echo "Scores de la classe exemple écrits dans build/classe-ce2-exemple.csv"
    echo "Fiches de la classe exemple (codage) écrites dans build/classe-ce2-exemple.pdf"
    if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
      echo "Ouverture de ZEB v2 sur la classe exemple."
      build/bin/zeb06ce2 "$sample"
    else
      echo "Pas d'écran ici : le programme (build/bin/zeb06ce2) s'ouvre sur une machine avec un affichage."
    fi
    ;;
  test)
    packages=("${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}")
    case "${2:-}" in
      --sanitize) dir=build-asan; options=(-DZEB_SANITIZE=ON -DZEB_BUILD_BENCHMARKS=OFF)
        packages+=("${SANITIZE_PACKAGES[@]}") ;;
      --release) dir=build-release; options=(-DCMAKE_BUILD_TYPE=Release) ;;
      *) dir=build; options=() ;;
    esac
    setup "${packages[@]}"
    build "$dir" "${options[@]}"
    ctest --test-dir "$dir" --output-on-failure -j "$(nproc)"
    ;;
  package)
    setup "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${PACKAGE_PACKAGES[@]}"
    build build-release -DCMAKE_BUILD_TYPE=Release
    (cd build-release && cpack)
    deb=$(ls build-release/zeb_*.deb)
    # French words are not in lintian's English word list: those are the only remarks allowed.
    lintian --fail-on none --tag-display-limit 0 "$deb" | tee build-release/lintian.txt
    if grep -v -e '^[EW]: zeb: spelling-error-' -e '^N: ' build-release/lintian.txt | grep -q '^[EW]:'; then
      echo "lintian refuse le paquet $deb" >&2
      exit 1
    fi
    dpkg-deb --field "$deb" Depends Installed-Size
    ;;
  fuzz)
    setup "${RUN_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}"
    seconds=${2:-60}
    cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
      -DZEB_FUZZ=ON -DZEB_BUILD_TESTS=OFF -DZEB_BUILD_BENCHMARKS=OFF >/dev/null
    cmake --build build-fuzz --target zeb_zipdir_fuzzer zeb_unzdll_fuzzer
    # Seeds: the sample and the archives of the tests; what each fuzzer finds stays in its
    # own folder of build-fuzz. Absolute paths: the library's fuzzer works from a folder of
    # its own.
    fuzz_dir=$PWD/build-fuzz
    for target in zipdir unzdll; do
      mkdir -p "$fuzz_dir/corpus-$target" "$fuzz_dir/crashes-$target"
      cp examples/*.jad "$fuzz_dir/corpus-$target/"
      find tests/archive/corpus -name '*.jad' -exec cp {} "$fuzz_dir/corpus-$target/" \; 2>/dev/null || true
      "$fuzz_dir/bin/zeb_${target}_fuzzer" -max_total_time="$seconds" -rss_limit_mb=2048 -print_final_stats=1 \
        -artifact_prefix="$fuzz_dir/crashes-$target/" "$fuzz_dir/corpus-$target"
    done
    ;;
  pictures)
    setup "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    # The printed page comes from a tool of the printing tests.
    build build
    scratch=$(mktemp -d)
    trap 'rm -rf "$scratch"' EXIT
    mkdir -p docs/images
    for treatment in coding percent; do
      build/bin/zeb-fiches --pdf "$scratch/$treatment.pdf" --treatment "$treatment" examples/classe-ce2-exemple.xml
      # Page 1: first pupil's French sheet; page 26: the same pupil's Mathematics sheet. The
      # sheet stands a quarter inch (22 pixels at 90 dpi) from the PDF page's corner.
      for page in 1:francais 26:maths; do
        pdftoppm -png -r 90 -f "${page%%:*}" -l "${page%%:*}" -x 22 -y 22 -W 744 -H 760 -singlefile \
          "$scratch/$treatment.pdf" "docs/images/fiche-${page#*:}-$treatment"
      done
    done
    # A whole sheet of paper as the printer gets it from "Imprimer", through a private print server.
    build/bin/zeb_print_sample examples/classe-ce2-exemple.jad "$scratch/imprime.pdf"
    pdftoppm -png -r 60 -singlefile "$scratch/imprime.pdf" docs/images/page-imprimee
    ls docs/images
    ;;
  screenshots)
    setup "${RUN_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    build_only build zeb-screenshots unzdll zebprint
    mkdir -p docs/images
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
      build/bin/zeb-screenshots docs/images examples/classe-ce2-exemple.jad
    ls docs/images
    ;;
  bench)
    setup "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}"
    build build
    for program in build/bin/zeb_bench_import build/bin/zeb_bench_sheet build/bin/zeb_bench_archive \
                   build/bin/zeb_bench_program build/bin/zeb_bench_preview; do
      "$program" --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
    done
    build/bin/zeb_bench_startup_ratio 21
    bash bench/cli-process-time.sh build 30
    /usr/bin/time -v build/bin/zeb-fiches examples/classe-ce2-exemple.xml 2>&1 >/dev/null |
      sed -n 's/^\s*Maximum resident set size (kbytes): /Mémoire maximale de zeb-fiches sur la classe exemple (Kio) : /p'
    QT_QPA_PLATFORM=offscreen /usr/bin/time -v build/bin/zeb_bench_startup \
      examples/classe-ce2-exemple.jad 2>&1 >/dev/null |
      sed -n 's/^\s*Maximum resident set size (kbytes): /Mémoire maximale du programme après un chargement (Kio) : /p'
    ;;
  *)
    sed -n '2,14p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
