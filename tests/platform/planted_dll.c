/* A DLL that an attacker could plant in a program's current folder; the
   DLL-search test loads it by name before and after restricting the search. */
__declspec(dllexport) int planted_dll_marker(void)
{
    return 42;
}
