// not_an_extension.dll: a DLL without the extension's entry point.
extern "C" __declspec(dllexport) int NotAnExtension(void)
{
    return 0;
}
