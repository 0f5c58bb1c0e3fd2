@echo off
rem Writes Quorbit.reg, the registration of Quorbit.dll in FOLDER, for
rem computers that get it by registry import rather than by install.cmd:
rem   write-reg.cmd FOLDER [OUTPUT]
rem On 64-bit Windows import it with the 32-bit registry editor,
rem %WINDIR%\SysWOW64\regedit.exe, since the client reads the 32-bit view.
setlocal
if "%~1"=="" (
    echo usage: write-reg.cmd FOLDER [OUTPUT]
    exit /b 2
)
set "DIR=%~1"
if not "%DIR:~-1%"=="\" set "DIR=%DIR%\"
set "OUT=%~2"
if "%OUT%"=="" set "OUT=Quorbit.reg"
set "LINE=4.0;%DIR%Quorbit.dll;1;00000111111100"
set "LINE=%LINE:\=\\%"
rem One line at a time: a ")" in the folder would end a bracketed block.
> "%OUT%" echo Windows Registry Editor Version 5.00
>> "%OUT%" echo.
>> "%OUT%" echo [HKEY_LOCAL_MACHINE\Software\Microsoft\Exchange\Client\Extensions]
>> "%OUT%" echo "Quorbit"="%LINE%"
rem Every user's client rebuilds its cache of extensions at its next start.
>> "%OUT%" echo "Outlook Setup Extension"="4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX"
echo write-reg: wrote %OUT%
exit /b 0
