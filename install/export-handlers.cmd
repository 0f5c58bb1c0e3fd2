@echo off
rem Writes the message handlers, from the registry view the 32-bit mail
rem client reads, to a registry export for import-handlers.cmd on this or
rem another computer:
rem   export-handlers.cmd FILE.reg
rem An existing FILE.reg is left as it is.
setlocal
rem The 32-bit client reads the 32-bit view of the registry. On 64-bit
rem Windows the 32-bit reg.exe works in that view without a switch; XP's
rem reg.exe knows no /reg:32.
set "REG=%WINDIR%\system32\reg.exe"
if exist "%WINDIR%\SysWOW64\reg.exe" set "REG=%WINDIR%\SysWOW64\reg.exe"
set "KEY=HKLM\SOFTWARE\Quorbit\Message Handlers"
if "%~1"=="" (
    echo usage: export-handlers.cmd FILE.reg
    exit /b 2
)
if exist "%~1" (
    echo export-handlers: "%~1" exists already; give the name of a new file
    exit /b 1
)
"%REG%" query "%KEY%" >nul 2>nul
if errorlevel 1 (
    echo export-handlers: no message handlers are stored on this computer
    exit /b 1
)
"%REG%" export "%KEY%" "%~1" >nul 2>nul
rem Not a bracketed block: a ")" in the file name would end it.
if errorlevel 1 goto NotWritten
echo export-handlers: wrote "%~1"
exit /b 0

:NotWritten
echo export-handlers: could not write "%~1"
exit /b 1
