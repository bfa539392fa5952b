/* A data section with a pointer in it: the linker adds a .reloc section,
   which it places after .rsrc. */
int value = 42;
int* pointer = &value;
const char text[] = "a data section";
