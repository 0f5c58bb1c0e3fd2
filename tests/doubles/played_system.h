// The product's replaceable system calls as a test plays them. A fixture
// holds one: it starts from the registry's and the token's own calls and
// from a handler editor start that is recorded, never made, and a handler
// program start that is recorded, then made; and puts back what was there
// when it goes.
#ifndef QUORBIT_TEST_PLAYED_SYSTEM_H
#define QUORBIT_TEST_PLAYED_SYSTEM_H

#include "system_calls.h"
#include <string>
#include <vector>

class PlayedSystem
{
public:
    PlayedSystem();
    ~PlayedSystem();
    PlayedSystem(const PlayedSystem&) = delete;
    PlayedSystem& operator=(const PlayedSystem&) = delete;

    // The store's create and delete calls answer ERROR_ACCESS_DENIED, as
    // Windows does below HKLM keys a standard user may not change; Wine
    // checks neither.
    void RefuseCreates(bool fRefuse);
    void RefuseDeletes(bool fRefuse);
    void RefuseCreateAndDelete(bool fRefuse)
    {
        RefuseCreates(fRefuse);
        RefuseDeletes(fRefuse);
    }
    // The store's writes of szValue answer ERROR_ACCESS_DENIED cTimes times
    // (-1: every time), as a key whose rights change between the open and a
    // write would; NULL writes everything again.
    void RefuseValueWrites(const char* szValue, int cTimes);
    // The token answers as Windows Vista and 7 do: whether the process's
    // registry writes are virtualized, and its elevation type
    // (TokenElevationTypeDefault 1, Full 2, Limited 3); 0 plays Windows XP,
    // where both queries fail.
    void PlayToken(bool fVirtualized, DWORD dwElevationType);
    // MAPI has no memory for the property readers' buffers.
    void RefuseMapiAllocations();

    // Each handler editor start asked for: "<verb> <file>", and
    // " (waited for)" when the process handle was asked for too.
    static std::vector<std::string> editorStarts;
    // Each handler program start, as it was asked for: "flags <8 hex
    // digits>, no handles inherited, startup <cb> bytes", with ", security
    // given" after the handles, " with fields set" after the bytes where
    // more than cb is set, and ", environment given" where it is not the
    // client's own.
    static std::vector<std::string> launches;

private:
    SYSTEMCALLS m_saved;
};

#endif
