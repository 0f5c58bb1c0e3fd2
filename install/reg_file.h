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
    REGFILE_OUTSIDE_ROOT,       // a key, or a removal, of another key
    REGFILE_CONTROL_CHARACTER,  // a NUL or another control character
    REGFILE_NOT_TEXT,           // bytes the ANSI code page has no characters for
    REGFILE_NOT_A_LINE,         // not a key, a value, a comment or a blank line
    REGFILE_VALUE_WITHOUT_KEY,  // a value before any key, or after a removal
    REGFILE_BAD_VALUE,          // a value whose name or data cannot be read
    REGFILE_NO_MEMORY
} REGREFUSAL;

// Where reading stopped, and why.
typedef struct tagREGFILEREAD
{
    REGREFUSAL refusal;
    int iLine;         // the line refused, from 1
    WCHAR chControl;   // REGFILE_CONTROL_CHARACTER: which
    REGOP* pFirst;     // REGFILE_READ: the changes, allocated on hHeap
} REGFILEREAD;

// Reads the file's bytes: UTF-16 after its byte order mark, otherwise text
// in the ANSI code page. Lines end at CR LF, CR or LF, found on the bytes
// before any conversion. Fills *pRead, which the caller has zeroed.
void ReadRegFile(HANDLE hHeap, const BYTE* pb, DWORD cb, REGFILEREAD* pRead);

// The root as a file names it.
extern const WCHAR c_wszHandlersRoot[];

#endif
