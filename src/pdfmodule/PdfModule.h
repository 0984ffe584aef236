#pragma once

// What zeb-fiches and its PDF writing module, loaded at run time, share: the module's file
// name, its one entry point and the table of functions it returns. Only a run that writes a
// PDF loads the module, and with it Qt's libraries.
//
// Documents cross as C++ objects: the program builds them, the module calls their virtual
// functions with its own canvas. Both are built together, by the same compiler, from the same
// headers; the version below keeps a program and a module of different builds apart.

#include "sheet/Document.h"

#include <cstddef>
#include <cstdint>

namespace zeb::pdfmodule {

inline constexpr char FileName[] = ZEB_LIBRARY_PREFIX "zebpdf" ZEB_LIBRARY_SUFFIX;
inline constexpr char EntryName[] = "ZebPdfModule";
// Answers Version, as every module of the program does when it is loaded.
inline constexpr char VersionEntry[] = "ZebPdfModuleVersion";

// Raised whenever this table or what crosses it (Document, Canvas, PageView) changes.
inline constexpr std::uint32_t Version = 1;

struct Engine; // the module's, opaque to the program

// Receives a failure's French UTF-8 message; called at most once per call that fails.
using ReportFailure = void (*)(void* context, const char* message, std::size_t size);

struct Functions {
    std::uint32_t version;
    // Starts the PDF writing for the run, from the main thread. Null on failure.
    Engine* (*start)(ReportFailure report, void* context);
    // Ends it, from the thread that started it, once every write has returned.
    void (*stop)(Engine* engine);
    // The documents' pages in one PDF, `file` (UTF-8), written completely or not at all,
    // readable by the user only. May run on several threads at once. Returns the page count, or -1 on
    // failure.
    int (*write)(const Engine* engine, const char* file, const Document* const* documents, std::size_t count,
                 const char* title, std::size_t titleSize, ReportFailure report, void* context);
};

// The entry point: the table when the program asks for this module's version, null otherwise.
using EntryFunction = const Functions* (*)(std::uint32_t version);

} // namespace zeb::pdfmodule
