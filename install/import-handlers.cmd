@echo off
rem Imports message handlers from a registry export, such as the one
rem export-handlers.cmd writes, into the registry view the 32-bit mail
rem client reads: on 64-bit Windows that is the 32-bit view
rem (HKLM\SOFTWARE\Wow6432Node), where a double-click on the file would not
rem put them. Run it as an administrator:
rem   import-handlers.cmd FILE.reg
rem A missing file, a file that is no registry export, one that holds any
rem other key than a handler's (its removals included), or a user who may
rem not change HKLM changes nothing.
setlocal
rem The 32-bit client reads the 32-bit view of the registry. On 64-bit
rem Windows the 32-bit reg.exe works in that view without a switch; XP's
rem reg.exe knows no /reg:32.
set "REG=%WINDIR%\system32\reg.exe"
if exist "%WINDIR%\SysWOW64\reg.exe" set "REG=%WINDIR%\SysWOW64\reg.exe"
set "KEY=HKLM\SOFTWARE\Quorbit\Message Handlers"
if "%~1"=="" (
    echo usage: import-handlers.cmd FILE.reg
    exit /b 2
)
if not exist "%~1" (
    echo import-handlers: there is no file "%~1"
    exit /b 1
)
if not exist "%~dp0check-import.exe" (
    echo import-handlers: check-import.exe is missing; keep it beside this script
    exit /b 1
)
"%~dp0check-import.exe" "%~1"
if errorlevel 2 goto NotImported
if errorlevel 1 goto NotHandlers
rem Whether the handlers may be changed, asked before anything is imported;
rem MADE is what asking created, taken away again if nothing is imported.
set "MADE="
"%REG%" query "%KEY%" >nul 2>nul
if errorlevel 1 set "MADE=%KEY%"
"%REG%" query "HKLM\SOFTWARE\Quorbit" >nul 2>nul
if errorlevel 1 set "MADE=HKLM\SOFTWARE\Quorbit"
"%REG%" add "%KEY%" /f >nul 2>nul
if errorlevel 1 (
    echo import-handlers: only an administrator can change message handlers; run this as an administrator
    exit /b 1
)
"%REG%" import "%~1" >nul 2>nul
rem Not a bracketed block: a ")" in the file name would end it.
if errorlevel 1 goto NotImported
echo import-handlers: imported "%~1"
exit /b 0

:NotHandlers
echo import-handlers: "%~1" holds keys outside %KEY%; nothing was imported
exit /b 1

:NotImported
if defined MADE "%REG%" delete "%MADE%" /f >nul 2>nul
echo import-handlers: "%~1" is not a registry export; nothing was imported
exit /b 1
