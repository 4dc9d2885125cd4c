/* A DLL that the tests put beside their program, as someone might plant one. */
__declspec(dllexport) int TarnwickPlantedExport(void) { return 1; }
