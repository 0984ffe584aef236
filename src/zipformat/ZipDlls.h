/* The call interface between the unzip component (TZip) and the unzip library it loads at
 * run time (libunzdll.so, unzdll.dll). Plain C, shared by both sides.
 *
 * The records were first laid out for 32-bit pointers. Here every field keeps its place in
 * the order and its value, pointers take their natural width, and the offsets that result
 * are pinned below. Reserved words carry the offset they had in the 32-bit layout. */
#ifndef ZEB_ZIPDLLS_H
#define ZEB_ZIPDLLS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* A flag word: -1 for true, 0 for false. */
typedef int32_t ZipFlag;
#define ZIP_TRUE (-1)
#define ZIP_FALSE 0

#define UNZIP_INTERFACE_LEVEL 160
#define UNZIP_ACTION_TEXT_SIZE 512

/* Action codes of the callback. */
enum UnzipAction {
    UNZIP_ACTION_NONE = 0,
    UNZIP_ACTION_BEGIN_FILE = 1, /* ActionText: member name, ActionValue: its size */
    UNZIP_ACTION_PROGRESS = 2,   /* ActionValue: bytes just processed */
    UNZIP_ACTION_END_BATCH = 3,  /* the run is over */
    UNZIP_ACTION_RESERVED4 = 4,
    UNZIP_ACTION_FILE_COUNT = 5,  /* ActionValue: members in the run */
    UNZIP_ACTION_TOTAL_BYTES = 6, /* ActionValue: bytes in the run; opens the run */
    UNZIP_ACTION_MESSAGE = 7,     /* ActionText: a French message about the run, ActionValue: its code */
    UNZIP_ACTION_PASSWORD = 8,    /* ActionText: member; answer in ActionText, ReplyFlag, ActionValue */
    UNZIP_ACTION_CRC_ERROR = 9,   /* ActionText: member; ReplyFlag answer 1 = extract it anyway */
    UNZIP_ACTION_OVERWRITE = 10,  /* ActionText: member; ReplyFlag bit 0: the disk file is older;
                                     ActionValue answer 1 = overwrite */
    UNZIP_ACTION_SKIPPED = 11     /* ActionText: member that was not extracted */
};

/* ReplyFlag of a password answer (action 8). A caller that sets it hands a password in
 * ActionText whatever it reads, even the member's own name; any other value keeps the older
 * rule, where an empty text or the member's name left in place means no answer. */
#define UNZIP_PASSWORD_GIVEN 1

typedef struct UnzipCallbackInfo {
    int32_t Reserved0;
    void* Caller; /* the command's Caller, handed back unchanged */
    int32_t Reserved8;
    int32_t Reserved12;
    int32_t ActionCode;
    int32_t ReplyFlag;
    int32_t ActionValue;
    char ActionText[UNZIP_ACTION_TEXT_SIZE]; /* NUL-terminated */
} UnzipCallbackInfo;

/* Returns -1 to ask the library to stop, 0 to go on. */
typedef int32_t (*UnzipCallbackFunction)(UnzipCallbackInfo* info);

typedef struct ExtractSpec {
    const char* FileSpec; /* a member name as the component lists it */
    uint8_t Reserved4[68];
} ExtractSpec;

typedef struct UnzipCommand {
    int32_t Reserved0;
    void* Caller;
    int32_t InterfaceLevel; /* UNZIP_INTERFACE_LEVEL */
    UnzipCallbackFunction Callback;
    int32_t Reserved16;
    int32_t Reserved20;
    const char* PasswordText; /* NULL when there is no password */
    ZipFlag Flag28;           /* option bit 2 set, bits 0 and 1 clear */
    int32_t Reserved32;
    int32_t Reserved36;
    ZipFlag Flag40; /* always true */
    int32_t Reserved44;
    ZipFlag Flag48; /* option bit 0 set: overwrite only files older than the archived ones */
    ZipFlag Flag52; /* option bit 1 set, bit 0 clear: the same */
    ZipFlag Flag56; /* option bit 4 set */
    ZipFlag Flag60; /* option bits 0, 1 and 2 all clear */
    int32_t FileSpecCount;
    const char* ArchiveName;    /* the archive's path, UTF-8 */
    ExtractSpec* FileSpecArray; /* FileSpecCount elements, NULL when none */
    uint8_t Reserved76[28];
    int32_t Constant104; /* 3 */
    uint8_t Reserved108[36];
    int32_t Constant144; /* 7 */
} UnzipCommand;

/* The library's entries, looked up by name. UnzDllExec returns the number of members
 * written, or a negative UNZDLL_ERROR_* code. */
typedef int32_t (*UnzDllExecFunction)(UnzipCommand* command);
typedef int32_t (*GetUnzDllVersionFunction)(void);

#define UNZDLL_EXEC_NAME "UnzDllExec"
#define UNZDLL_VERSION_NAME "GetUnzDllVersion"
/* What GetUnzDllVersion answers: a library of another version is not used. */
#define UNZDLL_LIBRARY_VERSION 100
#define UNZDLL_FILE_NAME ZEB_LIBRARY_PREFIX "unzdll" ZEB_LIBRARY_SUFFIX

enum UnzDllError {
    UNZDLL_ERROR_COMMAND = -1,     /* no command, wrong interface level, no callback or archive */
    UNZDLL_ERROR_ARCHIVE = -2,     /* the archive cannot be opened or is inconsistent */
    UNZDLL_ERROR_UNSUPPORTED = -3, /* a member needs a method or encryption we cannot read */
    UNZDLL_ERROR_STOPPED = -4,     /* the callback asked to stop */
    UNZDLL_ERROR_LIMITS = -5       /* the run would exceed the size limits */
};

#ifdef __cplusplus
}
#endif

#if defined(__cplusplus) && defined(__x86_64__)
static_assert(sizeof(void*) == 8);
static_assert(offsetof(UnzipCallbackInfo, Caller) == 8);
static_assert(offsetof(UnzipCallbackInfo, ActionCode) == 24);
static_assert(offsetof(UnzipCallbackInfo, ReplyFlag) == 28);
static_assert(offsetof(UnzipCallbackInfo, ActionValue) == 32);
static_assert(offsetof(UnzipCallbackInfo, ActionText) == 36);
static_assert(sizeof(ExtractSpec) == 80);
static_assert(offsetof(UnzipCommand, Caller) == 8);
static_assert(offsetof(UnzipCommand, InterfaceLevel) == 16);
static_assert(offsetof(UnzipCommand, Callback) == 24);
static_assert(offsetof(UnzipCommand, PasswordText) == 40);
static_assert(offsetof(UnzipCommand, Flag28) == 48);
static_assert(offsetof(UnzipCommand, Flag40) == 60);
static_assert(offsetof(UnzipCommand, Flag48) == 68);
static_assert(offsetof(UnzipCommand, Flag52) == 72);
static_assert(offsetof(UnzipCommand, Flag56) == 76);
static_assert(offsetof(UnzipCommand, Flag60) == 80);
static_assert(offsetof(UnzipCommand, FileSpecCount) == 84);
static_assert(offsetof(UnzipCommand, ArchiveName) == 88);
static_assert(offsetof(UnzipCommand, FileSpecArray) == 96);
static_assert(offsetof(UnzipCommand, Constant104) == 132);
static_assert(offsetof(UnzipCommand, Constant144) == 172);
static_assert(sizeof(UnzipCommand) == 176);
#endif

#endif
