# Facts the product relies on, each written once, here: C++ reads them from
# the generated quorbit_facts.h, the package from quorbit_facts.wxi, and the
# deployment scripts and .reg files get them when the build makes them from
# their templates (install/CMakeLists.txt). Registry paths are below
# HKEY_LOCAL_MACHINE, in the 32-bit view the client reads.

# The message handlers, one key each.
set(QUORBIT_HANDLERS_KEY [[SOFTWARE\Quorbit\Message Handlers]])
# Where the client finds its extensions, one value each.
set(QUORBIT_EXTENSIONS_KEY [[Software\Microsoft\Exchange\Client\Extensions]])
# The contexts, 1 to 14 from the left, in which the client loads Quorbit: 6 to 12.
set(QUORBIT_CONTEXT_MAP 00000111111100)
# The value "Outlook Setup Extension" that has every user's client rebuild
# its cache of extensions at its next start.
set(QUORBIT_CACHE_TRIGGER "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX")
# The Active Setup entry that deletes each user's cache marks at logon.
set(QUORBIT_ACTIVE_SETUP_KEY [[Software\Microsoft\Active Setup\Installed Components\{310D2494-6664-4672-A11D-AEDA04695A85}]])

# Every version's package carries this upgrade code, never another: it is
# how a newer package finds the one it replaces (shown in braces).
set(QUORBIT_UPGRADE_CODE FBA41075-2B01-4E65-A032-CE824D1E3A0E)
# The value, in the key that holds the handlers' key, in which the package
# keeps the folder it installed to, for upgrades and repairs to find.
set(QUORBIT_INSTALL_FOLDER_VALUE InstallFolder)

# The key the handlers' key is made in.
string(REGEX REPLACE "[\\][^\\]*$" "" QUORBIT_HANDLERS_PARENT_KEY "${QUORBIT_HANDLERS_KEY}")

# The paths as C string literals.
foreach(fact HANDLERS_KEY HANDLERS_PARENT_KEY EXTENSIONS_KEY ACTIVE_SETUP_KEY)
    string(REPLACE "\\" "\\\\" QUORBIT_${fact}_C "${QUORBIT_${fact}}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorbit_facts.h.in ${CMAKE_BINARY_DIR}/generated/quorbit_facts.h @ONLY)
configure_file(${CMAKE_CURRENT_LIST_DIR}/quorbit_facts.wxi.in ${CMAKE_BINARY_DIR}/generated/quorbit_facts.wxi @ONLY)
# Every program of the project may read the generated headers.
include_directories(${CMAKE_BINARY_DIR}/generated)
