@echo off
rem Registers Quorbit.dll with the mail client, for every user of this
rem computer, and puts Quorbit.HLP into the Windows help folder when it
rem lies beside this script. Run as an administrator, from the folder that
rem holds Quorbit.dll, or give that folder:  install.cmd [FOLDER]
setlocal
set "DIR=%~dp0"
if not "%~1"=="" set "DIR=%~f1\"
if not exist "%DIR%Quorbit.dll" (
    rem Quoted: a folder such as "Program Files (x86)" would end the block.
    echo install: there is no Quorbit.dll in "%DIR%"
    exit /b 1
)
rem Contexts 6 to 12 of the 14; /reg:32 because the client is a 32-bit
rem program and reads the 32-bit view of the registry on 64-bit Windows.
reg add "HKLM\Software\Microsoft\Exchange\Client\Extensions" /v Quorbit /t REG_SZ /d "4.0;%DIR%Quorbit.dll;1;00000111111100" /f /reg:32 >nul
if errorlevel 1 (
    echo install: could not write the registration; run as an administrator
    exit /b 1
)
echo install: registered %DIR%Quorbit.dll
if exist "%~dp0Quorbit.HLP" (
    copy /y "%~dp0Quorbit.HLP" "%WINDIR%\Help\Quorbit.HLP" >nul
    if errorlevel 1 (
        echo install: could not copy Quorbit.HLP to %WINDIR%\Help
        exit /b 1
    )
    echo install: copied Quorbit.HLP to %WINDIR%\Help
    rem Wine's help viewer looks for a bare name in the Windows folder, not
    rem in its Help folder.
    reg query "HKLM\Software\Wine" >nul 2>nul && copy /y "%~dp0Quorbit.HLP" "%WINDIR%\Quorbit.HLP" >nul
)
echo install: restart the mail client to load the extension
exit /b 0
