#include "pe_tables.h"
#include <cstddef>
#include <cstring>

std::vector<BYTE> ReadFileBytes(const std::string& path)
{
    std::vector<BYTE> bytes;
    HANDLE hFile = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (hFile == INVALID_HANDLE_VALUE)
        return bytes;
    DWORD cb = GetFileSize(hFile, NULL);
    bytes.resize(cb);
    DWORD cbRead = 0;
    if (cb == 0 || !ReadFile(hFile, bytes.data(), cb, &cbRead, NULL) || cbRead != cb)
        bytes.clear();
    CloseHandle(hFile);
    return bytes;
}

namespace {

class Image
{
public:
    explicit Image(const std::vector<BYTE>& bytes) : m_bytes(bytes) {}

    bool Open()
    {
        const IMAGE_DOS_HEADER* pDos = At<IMAGE_DOS_HEADER>(0);
        if (pDos == NULL || pDos->e_magic != IMAGE_DOS_SIGNATURE)
            return false;
        m_pNt = At<IMAGE_NT_HEADERS32>(pDos->e_lfanew);
        if (m_pNt == NULL || m_pNt->Signature != IMAGE_NT_SIGNATURE ||
            m_pNt->OptionalHeader.Magic != IMAGE_NT_OPTIONAL_HDR32_MAGIC)
            return false;
        DWORD offSections = pDos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader) +
                            m_pNt->FileHeader.SizeOfOptionalHeader;
        for (WORD i = 0; i < m_pNt->FileHeader.NumberOfSections; i++)
        {
            const IMAGE_SECTION_HEADER* pSection =
                At<IMAGE_SECTION_HEADER>(offSections + i * sizeof(IMAGE_SECTION_HEADER));
            if (pSection == NULL)
                return false;
            m_sections.push_back(*pSection);
        }
        return true;
    }

    const IMAGE_DATA_DIRECTORY& Directory(int i) const
    {
        return m_pNt->OptionalHeader.DataDirectory[i];
    }

    // File offset of an address in the loaded image, or -1.
    long Offset(DWORD rva) const
    {
        for (const IMAGE_SECTION_HEADER& s : m_sections)
        {
            DWORD cb = s.Misc.VirtualSize ? s.Misc.VirtualSize : s.SizeOfRawData;
            if (rva >= s.VirtualAddress && rva < s.VirtualAddress + cb && rva - s.VirtualAddress < s.SizeOfRawData)
                return (long)(s.PointerToRawData + (rva - s.VirtualAddress));
        }
        return -1;
    }

    template <class T>
    const T* At(long offset) const
    {
        if (offset < 0 || (size_t)offset + sizeof(T) > m_bytes.size())
            return NULL;
        return (const T*)(m_bytes.data() + offset);
    }
    template <class T>
    const T* AtRva(DWORD rva) const
    {
        return At<T>(Offset(rva));
    }

    bool String(DWORD rva, std::string* ps) const
    {
        long off = Offset(rva);
        if (off < 0)
            return false;
        ps->clear();
        for (size_t i = (size_t)off; i < m_bytes.size(); i++)
        {
            if (m_bytes[i] == 0)
                return true;
            ps->push_back((char)m_bytes[i]);
        }
        return false;
    }

private:
    const std::vector<BYTE>& m_bytes;
    const IMAGE_NT_HEADERS32* m_pNt = NULL;
    std::vector<IMAGE_SECTION_HEADER> m_sections;
};

// The names and ordinals of one DLL's import name table.
bool ReadThunks(const Image& image, DWORD rvaThunks, PeImport* pImport)
{
    for (DWORD i = 0;; i++)
    {
        const DWORD* pThunk = image.AtRva<DWORD>(rvaThunks + 4 * i);
        if (pThunk == NULL)
            return false;
        if (*pThunk == 0)
            return true;
        pImport->thunkOffsets.push_back(image.Offset(rvaThunks + 4 * i));
        if (*pThunk & IMAGE_ORDINAL_FLAG32)
            pImport->ordinals.push_back((WORD)(*pThunk & 0xFFFF));
        else
        {
            std::string name;
            image.String(*pThunk + 2, &name);  // after the hint
            pImport->names.push_back(name);
        }
    }
}

}  // namespace

PeTables ReadPeTables(const std::vector<BYTE>& bytes)
{
    PeTables tables;
    Image image(bytes);
    if (!image.Open())
        return tables;

    const IMAGE_DATA_DIRECTORY& exportDir = image.Directory(IMAGE_DIRECTORY_ENTRY_EXPORT);
    if (exportDir.VirtualAddress != 0)
    {
        const IMAGE_EXPORT_DIRECTORY* pExports = image.AtRva<IMAGE_EXPORT_DIRECTORY>(exportDir.VirtualAddress);
        if (pExports == NULL)
            return tables;
        tables.offExportDirectory = image.Offset(exportDir.VirtualAddress);
        tables.ordinalBase = pExports->Base;
        tables.cFunctions = pExports->NumberOfFunctions;
        // A damaged table is not followed far.
        DWORD cNames = pExports->NumberOfNames < 64 ? pExports->NumberOfNames : 64;
        for (DWORD i = 0; i < cNames; i++)
        {
            const DWORD* pNameRva = image.AtRva<DWORD>(pExports->AddressOfNames + 4 * i);
            const WORD* pIndex = image.AtRva<WORD>(pExports->AddressOfNameOrdinals + 2 * i);
            std::string name;
            if (pNameRva == NULL || pIndex == NULL || !image.String(*pNameRva, &name))
                return tables;
            tables.exportNames.push_back(name);
            tables.exportOrdinals.push_back((WORD)(*pIndex + pExports->Base));
        }
    }

    const IMAGE_DATA_DIRECTORY& importDir = image.Directory(IMAGE_DIRECTORY_ENTRY_IMPORT);
    for (DWORD off = importDir.VirtualAddress; importDir.VirtualAddress != 0;
         off += sizeof(IMAGE_IMPORT_DESCRIPTOR))
    {
        const IMAGE_IMPORT_DESCRIPTOR* pDesc = image.AtRva<IMAGE_IMPORT_DESCRIPTOR>(off);
        if (pDesc == NULL)
            return tables;
        if (pDesc->Name == 0)
            break;
        PeImport import;
        if (!image.String(pDesc->Name, &import.dll))
            return tables;
        import.offName = image.Offset(pDesc->Name);
        if (!ReadThunks(image, pDesc->OriginalFirstThunk ? pDesc->OriginalFirstThunk : pDesc->FirstThunk, &import))
            return tables;
        tables.imports.push_back(import);
    }

    // Delay-loaded DLLs (a Visual C++ build's /DELAYLOAD) are imports too.
    const IMAGE_DATA_DIRECTORY& delayDir = image.Directory(IMAGE_DIRECTORY_ENTRY_DELAY_IMPORT);
    for (DWORD off = delayDir.VirtualAddress; delayDir.VirtualAddress != 0;
         off += sizeof(IMAGE_DELAYLOAD_DESCRIPTOR))
    {
        const IMAGE_DELAYLOAD_DESCRIPTOR* pDesc = image.AtRva<IMAGE_DELAYLOAD_DESCRIPTOR>(off);
        if (pDesc == NULL)
            return tables;
        if (pDesc->DllNameRVA == 0)
            break;
        PeImport import;
        import.fDelayed = true;
        if (!image.String(pDesc->DllNameRVA, &import.dll))
            return tables;
        import.offName = image.Offset(pDesc->DllNameRVA);
        if (!ReadThunks(image, pDesc->ImportNameTableRVA, &import))
            return tables;
        tables.imports.push_back(import);
    }
    tables.fValid = true;
    return tables;
}

std::vector<std::string> ExtensionTableProblems(const PeTables& tables)
{
    static const char* const systemDlls[] = {"kernel32.dll", "user32.dll", "gdi32.dll", "advapi32.dll",
                                             "comdlg32.dll", "comctl32.dll", "mapi32.dll", "msvcrt.dll"};
    // System functions whose answer is not what the DLL must rely on:
    // under Terminal Server each user has a Windows folder of their own.
    static const char* const shunnedFunctions[] = {"GetWindowsDirectoryA"};
    std::vector<std::string> problems;
    if (!tables.fValid)
    {
        problems.push_back("not a readable 32-bit image");
        return problems;
    }
    if (tables.cFunctions != 1 || tables.exportNames.size() != 1)
        problems.push_back("exports " + std::to_string(tables.cFunctions) + " functions under " +
                           std::to_string(tables.exportNames.size()) + " names, not one");
    for (size_t i = 0; i < tables.exportNames.size(); i++)
    {
        const std::string& name = tables.exportNames[i];
        if (name.find('@') != std::string::npos || (!name.empty() && name[0] == '_'))
            problems.push_back("decorated export name " + name);
        else if (name != "ExchEntryPoint")
            problems.push_back("unexpected export " + name);
        if (tables.exportOrdinals[i] != 1)
            problems.push_back(name + " is at ordinal " + std::to_string(tables.exportOrdinals[i]));
    }
    for (const PeImport& import : tables.imports)
    {
        bool fSystem = false;
        for (const char* szDll : systemDlls)
            if (lstrcmpiA(import.dll.c_str(), szDll) == 0)
                fSystem = true;
        if (!fSystem)
            problems.push_back("imports " + import.dll + ", not a system DLL");
        for (const std::string& name : import.names)
            for (const char* szShunned : shunnedFunctions)
                if (name == szShunned)
                    problems.push_back("imports " + name);
        if (lstrcmpiA(import.dll.c_str(), "mapi32.dll") == 0)
        {
            for (const std::string& name : import.names)
                problems.push_back("imports " + name + " from mapi32 by name");
            for (WORD ordinal : import.ordinals)
                if (ordinal != 13 && ordinal != 17 && ordinal != 45 && ordinal != 129)
                    problems.push_back("imports mapi32 ordinal " + std::to_string(ordinal));
        }
    }
    return problems;
}
