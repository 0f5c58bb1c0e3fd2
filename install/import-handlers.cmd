@echo off
rem Imports message handlers from a registry export, such as the one
rem export-handlers.cmd writes, into the registry view the 32-bit mail
rem client reads: on 64-bit Windows that is the 32-bit view
rem (HKLM\SOFTWARE\Wow6432Node), where a double-click on the file would not
rem put them. Run it as an administrator:
rem   import-handlers.cmd FILE.reg
rem A missing file, a file that is no registry export, one that holds any
rem other key than a handler's (its removals included) or anything else it
rem cannot read, or a user who may not change HKLM changes nothing.
rem handler-import.exe, beside this script, reads the file once and writes
rem what it read; no other program reads the file.
setlocal
rem A variable of that name from the caller would hide the exit code.
set "ERRORLEVEL="
if "%~1"=="" (
    echo usage: import-handlers.cmd FILE.reg
    exit /b 2
)
if not exist "%~dp0handler-import.exe" (
    echo import-handlers: handler-import.exe is missing; keep it beside this script
    exit /b 1
)
"%~dp0handler-import.exe" "%~1"
set "RC=%ERRORLEVEL%"
if "%RC%"=="0" exit /b 0
if "%RC%"=="1" exit /b 1
rem Any other code, a negative one from a crash say, is no answer of its own.
echo import-handlers: handler-import.exe stopped with exit code %RC%; the handlers may be half imported
exit /b 1
