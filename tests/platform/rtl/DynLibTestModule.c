/* A tiny library that the DynLib tests load by file name from the program's folder. */
int RtlTestAdd(int A, int B) { return A + B + 1000; }
