@echo off
rem Registers Quorbit.dll with the mail client, for every user of this
rem computer. Its help files, the handler editor and the scripts stay
rem beside it, where it finds them. Run as an administrator, from the
rem folder that holds Quorbit.dll, or give that folder:  install.cmd [FOLDER]
setlocal
rem The 32-bit client reads the 32-bit view of the registry. On 64-bit
rem Windows the 32-bit reg.exe works in that view without a switch; XP's
rem reg.exe knows no /reg:32.
set "REG=%WINDIR%\system32\reg.exe"
if exist "%WINDIR%\SysWOW64\reg.exe" set "REG=%WINDIR%\SysWOW64\reg.exe"
set "DIR=%~dp0"
if not "%~1"=="" set "DIR=%~f1\"
if not exist "%DIR%Quorbit.dll" (
    rem Quoted: a folder such as "Program Files (x86)" would end the block.
    echo install: there is no Quorbit.dll in "%DIR%"
    exit /b 1
)
rem Contexts 6 to 12 of the 14.
"%REG%" add "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v Quorbit /t REG_SZ /d "4.0;%DIR%Quorbit.dll;1;00000111111100" /f >nul
if errorlevel 1 (
    echo install: could not write the registration; run as an administrator
    exit /b 1
)
rem Every user's client rebuilds its cache of extensions at its next start.
"%REG%" add "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v "Outlook Setup Extension" /t REG_SZ /d "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX" /f >nul
echo install: registered %DIR%Quorbit.dll
echo install: restart the mail client to load the extension
exit /b 0
