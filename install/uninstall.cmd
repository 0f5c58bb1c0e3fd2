@echo off
rem Removes the mail client's registration of Quorbit.dll; the folder it
rem stands in, with its help files, is the administrator's to delete. The
rem handlers below HKLM\SOFTWARE\Quorbit stay, for a later installation.
rem Says what it removed; exit code 1, with the reason, when it could not.
setlocal
rem The 32-bit client reads the 32-bit view of the registry. On 64-bit
rem Windows the 32-bit reg.exe works in that view without a switch; XP's
rem reg.exe knows no /reg:32.
set "REG=%WINDIR%\system32\reg.exe"
if exist "%WINDIR%\SysWOW64\reg.exe" set "REG=%WINDIR%\SysWOW64\reg.exe"
set "KEY=HKLM\Software\Microsoft\Exchange\Client\Extensions"
"%REG%" query "%KEY%" /v Quorbit >nul 2>nul
if errorlevel 1 (
    echo uninstall: Quorbit.dll is not registered; nothing to remove
    exit /b 0
)
"%REG%" delete "%KEY%" /v Quorbit /f >nul 2>nul
if errorlevel 1 (
    echo uninstall: could not remove the registration of Quorbit.dll; run as an administrator
    exit /b 1
)
echo uninstall: removed the registration of Quorbit.dll, the value Quorbit in %KEY%
rem Every user's client drops Quorbit from its cache of extensions at its
rem next start.
"%REG%" add "%KEY%" /v "Outlook Setup Extension" /t REG_SZ /d "4.0;Outxxx.dll;7;000000000000000;0000000000;OutXXX" /f >nul 2>nul
if errorlevel 1 (
    echo uninstall: could not tell the mail client to drop Quorbit.dll; run as an administrator
    exit /b 1
)
echo uninstall: restart the mail client; it no longer loads Quorbit.dll
exit /b 0
