#!/usr/bin/env bash
# ZEB: set-up, build, run and test, from a fresh Debian 12 machine on.
#
#   ./dev.sh run              install what the programs need, build them, load the sample class, open the program
#   ./dev.sh test [--sanitize|--release]  install what the tests need too, build everything, run every test
#   ./dev.sh package          build for release, make the Debian package and check it with lintian
#   ./dev.sh bench            install what is missing, build, run the benchmarks
#   ./dev.sh fuzz [SECONDS]   fuzz the archive reader, then the unzip library (each 60 s by default) under ASan and UBSan
#   ./dev.sh pictures         remake the README's sheet pictures and printed page from the sample class
#   ./dev.sh screenshots [windows]  remake the README's window pictures, under a virtual display
#                             (windows: the main window of the Windows build, under Wine)
#   ./dev.sh windows          cross-build for Windows, run the tests under Wine, make the ZEB folder,
#                             its zip and the installer, and check the installer under Wine
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
  default-jre-headless libpdfbox2-java  # Apache PDFBox's preflight: every kind of PDF checked as PDF/A-1b
  libactivation-java libjaxb-api-java libcommons-logging-java  # what preflight needs and does not declare
  python3                            # html.parser: reading back the families' web pages
  ghostscript                        # ps2pdf: reading back what a PostScript printer gets
  unzip zip                          # reference extractor for benchmarks, archives in tests
  cups cups-client cups-bsd          # a private print server for the printing tests
  shared-mime-info desktop-file-utils  # the .jad type and menu entry of an installed copy
  passwd                             # useradd: the CI's run of the tests as an ordinary user
  xvfb xauth dbus at-spi2-core python3-pyatspi  # the program read through the accessibility bus, on a virtual display
)
SANITIZE_PACKAGES=(llvm)             # llvm-symbolizer: stack traces of the sanitizers and fuzzer
FUZZ_PACKAGES=(clang libclang-rt-14-dev llvm)  # libFuzzer for the archive reader
PACKAGE_PACKAGES=(file dpkg-dev lintian)       # cpack's Debian package, its dependencies, its check
SCREENSHOT_PACKAGES=(xvfb xauth)               # a virtual display for the screenshots
WINDOWS_PACKAGES=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix  # MinGW-w64: 64-bit Windows programs
  libz-mingw-w64-dev mingw-w64-tools # zlib for Windows (zlib1.dll); the MinGW tools
  googletest                         # GoogleTest's source, built with the Windows compiler
  wine64 xvfb xauth x11-utils        # the tests and the programs under Wine, on a virtual display (xwininfo)
  poppler-utils                      # reading back the PDFs of the Windows programs
  nsis zip librsvg2-bin              # the installer, the zip, the programs' icon from its SVG
)

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

# The Windows build's Qt: Qt Base for MinGW-w64, built from Debian's sources, kept as a tarball in
# the shared toolchains folder (shared/toolchains beside this project's folder, or beside one of
# the folders above it, as for a copy made inside a work folder) with the CMake toolchain it goes
# with, and unpacked once into the user's cache.
windows_qt() {
  local toolchains folder
  folder=$(pwd -P)
  toolchains=$(dirname "$folder")/shared/toolchains
  while [ "$folder" != / ]; do
    folder=$(dirname "$folder")
    if [ -f "$folder/shared/toolchains/mingw64.cmake" ]; then
      toolchains=$folder/shared/toolchains
      break
    fi
  done
  local tarball=${ZEB_QT_MINGW_TARBALL:-$toolchains/qt-6.4.2-mingw64.tar.xz}
  WINDOWS_TOOLCHAIN=${ZEB_MINGW_TOOLCHAIN:-$(dirname "$tarball")/mingw64.cmake}
  local cache=${XDG_CACHE_HOME:-$HOME/.cache}/zeb
  WINDOWS_QT=$cache/$(basename "$tarball" .tar.xz)
  if [ ! -f "$WINDOWS_TOOLCHAIN" ]; then
    echo "La chaîne de compilation pour Windows $WINDOWS_TOOLCHAIN est introuvable : donnez son chemin dans ZEB_MINGW_TOOLCHAIN." >&2
    exit 1
  fi
  [ -f "$WINDOWS_QT/lib/cmake/Qt6/qt.toolchain.cmake" ] && return 0
  if [ ! -f "$tarball" ]; then
    echo "Qt pour Windows est introuvable : ni $WINDOWS_QT, ni l'archive $tarball." >&2
    echo "Donnez le chemin de l'archive qt-6.4.2-mingw64.tar.xz dans ZEB_QT_MINGW_TARBALL." >&2
    exit 1
  fi
  echo "Qt pour Windows : décompression de $tarball dans $cache"
  mkdir -p "$cache"
  local unpacking
  unpacking=$(mktemp -d "$cache/unpacking.XXXXXX")
  if ! tar -C "$unpacking" -xJf "$tarball" || [ ! -d "$unpacking/$(basename "$WINDOWS_QT")" ]; then
    rm -rf "$unpacking"
    echo "L'archive $tarball n'a pas pu être décompressée (ou ne contient pas $(basename "$WINDOWS_QT"))." >&2
    exit 1
  fi
  rm -rf "$WINDOWS_QT"
  mv "$unpacking/$(basename "$WINDOWS_QT")" "$WINDOWS_QT"
  rm -rf "$unpacking"
}

# configure_windows DIR [cmake options...]: the Windows build, for release, warnings as errors,
# the tests on (run under Wine), the benchmarks off. The Linux build folder `build` is given for
# what the tests compare the Windows programs with.
configure_windows() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZEB_WERROR=ON \
    -DZEB_BUILD_TESTS=ON -DZEB_BUILD_BENCHMARKS=OFF -DZEB_HOST_BUILD="$PWD/build" \
    -DCMAKE_TOOLCHAIN_FILE="$WINDOWS_QT/lib/cmake/Qt6/qt.toolchain.cmake" \
    -DQT_CHAINLOAD_TOOLCHAIN_FILE="$WINDOWS_TOOLCHAIN" "$@" >/dev/null
}

command=${1:-}
case "$command" in
  setup)
    setup "${RUN_PACKAGES[@]}" "${TEST_PACKAGES[@]}" "${SANITIZE_PACKAGES[@]}" "${FUZZ_PACKAGES[@]}" \
      "${PACKAGE_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
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
    # The sample's French synthesis pages (table, synthesis, first groups page), the
    # Mathematics item analysis (with its items outside every objective) and the first French
    # page of the least successful items, each a whole page at 80 dpi.
    build/bin/zeb-fiches --synthese "$scratch/synthese.pdf" --subject french examples/classe-ce2-exemple.xml
    build/bin/zeb-fiches --items "$scratch/items-maths.pdf" --subject maths examples/classe-ce2-exemple.xml
    build/bin/zeb-fiches --items "$scratch/items-francais.pdf" --subject french examples/classe-ce2-exemple.xml
    for picture in synthese:1:synthese-tableau synthese:2:synthese-classe synthese:3:synthese-groupes \
      items-maths:1:analyse-items items-francais:2:items-moins-reussis; do
      IFS=: read -r pdf page name <<<"$picture"
      pdftoppm -png -r 80 -f "$page" -l "$page" -singlefile "$scratch/$pdf.pdf" "docs/images/$name"
    done
    # A whole sheet of paper as the printer gets it from "Imprimer", through a private print server.
    build/bin/zeb_print_sample examples/classe-ce2-exemple.jad "$scratch/imprime.pdf"
    pdftoppm -png -r 60 -singlefile "$scratch/imprime.pdf" docs/images/page-imprimee
    ls docs/images
    ;;
  screenshots)
    if [ "${2:-}" = windows ]; then
      # The main window as Windows draws it (its own style, the fonts Wine gives), from the
      # Windows build's picture tool with the programs' DLLs beside it.
      setup "${RUN_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
      windows_qt
      configure_windows build-windows
      cmake --build build-windows -j "$(nproc)" --target zeb-screenshots "${PROGRAM_TARGETS[@]}"
      cmake --install build-windows --prefix build-windows/screenshots >/dev/null
      cp build-windows/bin/zeb-screenshots.exe build-windows/screenshots/
      pictures=$(mktemp -d)
      trap 'rm -rf "$pictures"' EXIT
      # A Wine folder of the pictures' own, where the Liberation fonts stand in for Times New Roman
      # and Arial (tools/wine-run).
      QT_QPA_PLATFORM=windows xvfb-run -a -s "-screen 0 1280x1024x24" \
        tools/wine-run --prefix "$PWD/build-windows/wine-screenshots" -- build-windows/screenshots/zeb-screenshots.exe \
        "Z:$pictures" examples/classe-ce2-exemple.jad
      cp "$pictures/fenetre-principale.png" docs/images/fenetre-principale-windows.png
      ls -l docs/images/fenetre-principale-windows.png
      exit 0
    fi
    setup "${RUN_PACKAGES[@]}" "${SCREENSHOT_PACKAGES[@]}"
    build_only build zeb-screenshots unzdll zebprint
    mkdir -p docs/images
    QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 1280x1024x24" \
      build/bin/zeb-screenshots docs/images examples/classe-ce2-exemple.jad
    ls docs/images
    ;;
  windows)
    setup "${RUN_PACKAGES[@]}" "${WINDOWS_PACKAGES[@]}"
    windows_qt
    # zeb-fiches of the Linux build and the libraries it loads: the Windows one must write the
    # same files.
    build_only build zeb-fiches unzdll zebpdf
    configure_windows build-windows
    cmake --build build-windows -j "$(nproc)"
    ctest --test-dir build-windows --output-on-failure -j "$(nproc)"
    cmake --build build-windows --target zeb_windows_packages
    packaging/windows/check-installer.sh build-windows/ZEB-2.0-installation.exe examples/classe-ce2-exemple.jad
    du -sh --apparent-size build-windows/windows-folder/ZEB build-windows/ZEB-2.0-windows.zip \
      build-windows/ZEB-2.0-installation.exe
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
    sed -n '2,17p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
    ;;
esac
