/* What libunzdll.so tells its caller through the message action (UNZIP_ACTION_MESSAGE = 7).
 * Plain C, for both sides.
 *
 * ActionText holds a short French sentence for the user, in Windows-1252 like every other
 * text of the interface (the member names in it are the FileSpec texts as the caller gave
 * them, control characters shown as "?"). ActionValue holds one of the codes below, so that
 * the caller can tell the cases apart without reading the sentence.
 *
 * How a run unfolds around the messages:
 *  - Codes 1 to 19 concern the whole run. They are sent before the run opens (before action
 *    6), nothing has been written, and UnzDllExec returns the error named beside the code
 *    right after the message, without action 3: action 3 only closes a run that action 6
 *    opened.
 *  - Codes 20 and up concern one member. The message follows the member's action 1 and is
 *    followed by its action 11; the run goes on with the next member.
 *  - The member is skipped without any message when the caller itself decided it: no to the
 *    overwrite question, a damaged member dropped, an empty answer to the password question,
 *    a FileSpec that names no member (action 11 alone).
 *
 * The password question (action 8) carries the member's name and the attempts left, 3 at
 * first. The caller answers with the password in ActionText and the attempts left after it
 * in ActionValue (0: this one is the last). An empty ActionText, or one left holding the
 * member's name, gives the member up. Whatever the caller answers, a member is asked for
 * three times at most. A password that opens a member is tried first on the next encrypted
 * members.
 */
#ifndef ZEB_UNZDLL_MESSAGES_H
#define ZEB_UNZDLL_MESSAGES_H

#ifdef __cplusplus
extern "C" {
#endif

enum UnzDllMessage {
    /* The run as a whole. */
    UNZDLL_MSG_FOLDER_UNAVAILABLE = 1,     /* the current folder cannot be opened: UNZDLL_ERROR_COMMAND */
    UNZDLL_MSG_ARCHIVE_UNREADABLE = 2,     /* missing, unreadable, not a zip archive: UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_ARCHIVE_SPANNED = 3,        /* spread over several disks: UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_DIRECTORY_DAMAGED = 4,      /* central directory cut short or garbled: UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_DUPLICATE_NAMES = 5,        /* two members with the same name, once converted:
                                              UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_MEMBERS_OVERLAP = 6,        /* a member's data overlaps another's or the directory, or
                                              its local header is missing: UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_INCONSISTENT = 7,           /* libzip refuses the archive or does not see the members our
                                              own reader sees: UNZDLL_ERROR_ARCHIVE */
    UNZDLL_MSG_UNSUPPORTED_METHOD = 8,     /* a requested member's compression method cannot be read:
                                              UNZDLL_ERROR_UNSUPPORTED (one message per member) */
    UNZDLL_MSG_UNSUPPORTED_ENCRYPTION = 9, /* the same for its encryption: UNZDLL_ERROR_UNSUPPORTED */
    UNZDLL_MSG_RUN_TOO_LARGE = 10,         /* the requested members add up to more than 64 MiB:
                                              UNZDLL_ERROR_LIMITS */
    UNZDLL_MSG_ZIP64_TOO_LARGE = 11,       /* a zip64 archive whose sizes, offsets or counts exceed
                                              what the reader takes: UNZDLL_ERROR_ARCHIVE */

    /* One member, skipped. */
    UNZDLL_MSG_NAME_ABSOLUTE = 20,   /* starts with "\" (or "/") */
    UNZDLL_MSG_NAME_DRIVE = 21,      /* starts with a drive letter, "C:" */
    UNZDLL_MSG_NAME_PARENT = 22,     /* has a ".." part: it would leave the extraction folder */
    UNZDLL_MSG_NAME_CONTROL = 23,    /* has a NUL or another control character */
    UNZDLL_MSG_NAME_MALFORMED = 24,  /* empty, or has an empty or "." part */
    UNZDLL_MSG_SYMLINK_MEMBER = 25,  /* archived as a symbolic link */
    UNZDLL_MSG_PATH_NOT_FOLDER = 26, /* a folder of its path is a symbolic link or not a folder */
    UNZDLL_MSG_TARGET_NOT_FILE =
        27, /* its place on disk holds a link, a folder or a device, pipe or socket */
    UNZDLL_MSG_MEMBER_TOO_LARGE = 28, /* declared larger than 64 MiB */
    UNZDLL_MSG_RATIO = 29,            /* over 1 MiB and compressed more than 1000 to 1 */
    UNZDLL_MSG_SIZE_MISMATCH = 30,    /* its data inflates past, or stops short of, its declared size */
    UNZDLL_MSG_DAMAGED = 31,          /* its data cannot be decompressed or read */
    UNZDLL_MSG_WRONG_PASSWORD = 32,   /* encrypted, and the three password attempts failed */
    UNZDLL_MSG_WRITE_FAILED = 33,     /* the disk refused a folder, the file or its renaming */
    UNZDLL_MSG_NAME_NOT_ALLOWED = 34  /* a part of its path is a name this system cannot hold (on
                                         Windows: < > : " | ? *, a final dot or space, CON, NUL...) */
};

#ifdef __cplusplus
}
#endif

#endif
