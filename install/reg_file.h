// A registry export (what reg export and regedit write) read into the
// changes it asks for below HKEY_LOCAL_MACHINE\SOFTWARE\Quorbit\Message
// Handlers, and nothing else: a file that names any other key, or holds
// anything the reader does not know, is refused whole, with its line.
#ifndef QUORBIT_REG_FILE_H
#define QUORBIT_REG_FILE_H

#include <windows.h>

typedef enum tagREGOPKIND
{
    REGOP_KEY,          // [key]: the key, created when missing
    REGOP_DELETE_KEY,   // [-key]: the key and everything below it
    REGOP_SET_VALUE,    // "name"=data
    REGOP_DELETE_VALUE  // "name"=-
} REGOPKIND;

// One change, in the order of the file. Key names are relative to the
// handlers' root: "" is the root itself.
typedef struct tagREGOP
{
    REGOPKIND kind;
    int iLine;
    const WCHAR* pwszKey;
    const WCHAR* pwszValue;  // "" for the key's default value
    DWORD dwType;
    const BYTE* pbData;
    DWORD cbData;
    struct tagREGOP* pNext;
} REGOP;

typedef enum tagREGREFUSAL
{
    REGFILE_READ,               // all of it was read
    REGFILE_NOT_AN_EXPORT,      // no header of version 4 or 5
    REGFILE_ENCODING,           // text in an encoding the reader refuses, see REGFILEREAD
    REGFILE_OUTSIDE_ROOT,       // a key, or a removal, of another key
    REGFILE_CONTROL_CHARACTER,  // a NUL, or a control character outside a key's name or a quoted text
    REGFILE_NOT_TEXT,           // bytes the ANSI code page has no characters for
    REGFILE_NOT_A_LINE,         // not a key, a value, a comment or a blank line
    REGFILE_VALUE_WITHOUT_KEY,  // a value before any key, or after a removal
    REGFILE_BAD_VALUE,          // a value whose name or data cannot be read
    REGFILE_WOW6432NODE,        // a key named Wow6432Node below the root
    REGFILE_TOO_DEEP,           // a key more than REG_MAX_LEVELS levels deep
    REGFILE_NAME_TOO_LONG,      // a key name of more than REG_MAX_NAME characters
    REGFILE_PATH_TOO_LONG,      // a key's whole name of more than REG_MAX_PATH characters
    REGFILE_VALUE_NAME_TOO_LONG,  // a value name of more than REG_MAX_VALUE_NAME characters
    REGFILE_LINK_VALUE,         // a value of type hex(6), REG_LINK: what makes a key a registry link
    REGFILE_CUT_SHORT,          // UTF-16 that ends in the middle of a character
    REGFILE_NO_MEMORY
} REGREFUSAL;

// What the registry takes: levels of keys below HKEY_LOCAL_MACHINE, the
// characters of one key's name, and of its whole name from
// HKEY_LOCAL_MACHINE on, with room for the Wow6432Node that 64-bit Windows
// puts in it and the registry's own longer spelling of the hive.
#define REG_MAX_LEVELS 512
#define REG_MAX_NAME 255
#define REG_MAX_PATH 32700
#define REG_MAX_VALUE_NAME 16383

typedef enum tagREGENCODING
{
    REGENC_UTF8,            // with or without its byte order mark
    REGENC_UTF16_NO_BOM,    // little-endian, without a byte order mark
    REGENC_UTF16_BIG_ENDIAN
} REGENCODING;

// Where reading stopped, and why.
typedef struct tagREGFILEREAD
{
    REGREFUSAL refusal;
    int iLine;         // the line refused, from 1; REGFILE_READ: the lines read
    WCHAR chControl;   // REGFILE_CONTROL_CHARACTER: which
    REGENCODING encoding;  // REGFILE_ENCODING: which
    REGOP* pFirst;     // REGFILE_READ: the changes, allocated on hHeap
} REGFILEREAD;

// Reads the file's bytes: UTF-16 after its byte order mark, otherwise text
// in the ANSI code page. Lines end at CR LF, CR or LF, found on the bytes
// before any conversion; a Ctrl-Z that ends the file, as old editors save
// it, is no part of it. UTF-8 (text that reads as UTF-8, with characters
// beyond ASCII), big-endian UTF-16 and UTF-16 without its byte order mark
// are refused before any line is read. Fills *pRead, which the caller has
// zeroed.
void ReadRegFile(HANDLE hHeap, const BYTE* pb, DWORD cb, REGFILEREAD* pRead);

// A terminated copy of cch characters at p, on hHeap; NULL without memory.
WCHAR* CopyRegText(HANDLE hHeap, const WCHAR* p, int cch);

// The handlers' root below HKEY_LOCAL_MACHINE. A file names it with
// HKEY_LOCAL_MACHINE in front, or, as the 64-bit regedit shows it, with
// Wow6432Node after its first part.
extern const WCHAR c_wszHandlersKey[];
// "HKEY_LOCAL_MACHINE\", as a file names the predefined key.
extern const WCHAR c_wszMachine[];

#endif
