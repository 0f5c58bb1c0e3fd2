' Prints the product code, version and upgrade code of a package file, as
' Windows Installer reads them: every build of a package has a product code
' of its own, and a repair, or Group Policy, asks for the very file whose
' product is installed.
'   cscript //nologo package-codes.vbs C:\Packages\Quorbit-1.2.0.0.msi
Option Explicit
Dim installer, database, view, record, name
If WScript.Arguments.Count <> 1 Then
    Complain "usage: cscript //nologo package-codes.vbs FILE.msi"
    WScript.Quit 2
End If
Set installer = CreateObject("WindowsInstaller.Installer")
On Error Resume Next
Set database = installer.OpenDatabase(WScript.Arguments(0), 0)
' Not the error number alone: some hosts leave it 0 for a failed call.
If Err.Number <> 0 Or Not IsObject(database) Then
    Complain "package-codes: """ & WScript.Arguments(0) & """ is no Windows Installer package"
    WScript.Quit 1
End If
On Error GoTo 0
For Each name In Array("ProductCode", "ProductVersion", "UpgradeCode")
    Set view = database.OpenView("SELECT `Value` FROM `Property` WHERE `Property` = '" & name & "'")
    view.Execute
    Set record = view.Fetch
    If record Is Nothing Then
        WScript.Echo name & " (none)"
    Else
        WScript.Echo name & " " & record.StringData(1)
    End If
Next

' To the error output; where there is none (wscript.exe, a double-click),
' in a box.
Sub Complain(text)
    On Error Resume Next
    WScript.StdErr.WriteLine text
    If Err.Number <> 0 Then WScript.Echo text
End Sub
