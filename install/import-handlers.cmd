@echo off
rem Imports message handlers from a registry export, such as the one
rem export-handlers.cmd writes, into the registry view the 32-bit mail
rem client reads: on 64-bit Windows that is the 32-bit view
rem (HKLM\SOFTWARE\Wow6432Node), where a double-click on the file would not
rem put them. Run it as an administrator:
rem   import-handlers.cmd FILE.reg
rem A missing file, a file that is no registry export, or a user who may not
rem change HKLM changes nothing.
setlocal
set "KEY=HKLM\SOFTWARE\Quorbit\Message Handlers"
if "%~1"=="" (
    echo usage: import-handlers.cmd FILE.reg
    exit /b 2
)
if not exist "%~1" (
    echo import-handlers: there is no file "%~1"
    exit /b 1
)
rem Whether the handlers may be changed, asked before anything is imported;
rem MADE is what asking created, taken away again if nothing is imported.
set "MADE="
reg query "%KEY%" /reg:32 >nul 2>nul
if errorlevel 1 set "MADE=%KEY%"
reg query "HKLM\SOFTWARE\Quorbit" /reg:32 >nul 2>nul
if errorlevel 1 set "MADE=HKLM\SOFTWARE\Quorbit"
reg add "%KEY%" /f /reg:32 >nul 2>nul
if errorlevel 1 (
    echo import-handlers: only an administrator can change message handlers; run this as an administrator
    exit /b 1
)
reg import "%~1" /reg:32 >nul 2>nul
rem Not a bracketed block: a ")" in the file name would end it.
if errorlevel 1 goto NotImported
echo import-handlers: imported "%~1"
exit /b 0

:NotImported
if defined MADE reg delete "%MADE%" /f /reg:32 >nul 2>nul
echo import-handlers: "%~1" is not a registry export; nothing was imported
exit /b 1
